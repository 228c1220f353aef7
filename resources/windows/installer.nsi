; The Windows installer: Sentak for all users in Program Files\Sentak, a Start-menu shortcut, an
; optional start at every login (the machine's Run entry) and an uninstaller in "Installed apps".
; The build passes VERSION, PUBLISHER, ICON, FILES (the generated lists of what is installed, see
; cmake/InstallerFiles.cmake) and OUTFILE with -D.
;
; Command line: /S installs silently; /NOAUTOSTART leaves the start at login off. An upgrade
; keeps the earlier choice unless /NOAUTOSTART says otherwise.

Unicode true
Target amd64-unicode
ManifestSupportedOS all
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma
; The name ends in "setup.exe" so that users recognise it; the manifest names every supported
; Windows, so no compatibility shims apply.
!pragma warning disable 9000

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include WinMessages.nsh
!include ${FILES}

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sentak"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The title of the program's hidden main window, which closes the program as its Exit command does.
!define MAIN_WINDOW "wxTaskBarIcon Test Dialog"
!define SYNCHRONIZE 0x00100000
!define WAIT_OBJECT_0 0

Name "Sentak"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Sentak"
; An upgrade goes where the earlier installation is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Sentak ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "Sentak"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Sentak ${VERSION} Setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipDirectoryOnUpgrade
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartAsUser
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "French"

LangString StartAtLogin ${LANG_ENGLISH} "Start Sentak when I log in"
LangString StartAtLogin ${LANG_GERMAN} "Sentak bei der Anmeldung starten"
LangString StartAtLogin ${LANG_FRENCH} "Démarrer Sentak à l'ouverture de session"
LangString StillRunning ${LANG_ENGLISH} "Sentak is still running and does not close.$\n$\n\
Close it from its tray menu (hold Shift, right-click the icon, $\"Exit tray application$\"), then \
choose Retry."
LangString StillRunning ${LANG_GERMAN} "Sentak läuft noch und lässt sich nicht beenden.$\n$\n\
Beenden Sie es über das Menü seines Symbols im Infobereich (Umschalttaste halten, Rechtsklick auf \
das Symbol, $\"Anwendung im Infobereich beenden$\") und wählen Sie dann $\"Wiederholen$\"."
LangString StillRunning ${LANG_FRENCH} "Sentak est toujours en cours d'exécution et ne se ferme \
pas.$\n$\n\
Quittez-le depuis le menu de son icône dans la zone de notification (maintenez Maj, clic droit sur \
l'icône, $\"Quitter l'application de la zone de notification$\"), puis réessayez."

Var earlierInstallation

; Closes every running Sentak of this desktop as its Exit command would, through WM_CLOSE to its
; hidden main window, and waits for each to end. Never kills: when one does not end, the user may
; retry or cancel, and a silent run cancels, which aborts with nothing changed.
!macro CLOSE_SENTAK un
Function ${un}CloseSentak
    ${Do}
        FindWindow $0 "" "${MAIN_WINDOW}"
        ${If} $0 = 0
            Return
        ${EndIf}
        System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1)"
        System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2"
        System::Call "user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)"
        System::Call "kernel32::WaitForSingleObject(p r2, i 10000) i .r3"
        System::Call "kernel32::CloseHandle(p r2)"
        ${If} $3 <> ${WAIT_OBJECT_0}
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunning)" /SD IDCANCEL IDRETRY retry
            Abort "$(StillRunning)"
            retry:
        ${EndIf}
    ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_SENTAK ""
!insertmacro CLOSE_SENTAK "un."

; Through the shell, so that Sentak runs as the user who logged in, not elevated like this setup.
Function StartAsUser
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\sentak.exe"'
FunctionEnd

Section "-Sentak"
    Call CloseSentak
    !insertmacro SENTAK_INSTALL_FILES
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ; The shortcut starts Sentak in its folder.
    SetOutPath "$INSTDIR"
    CreateShortcut "$SMPROGRAMS\Sentak.lnk" "$INSTDIR\sentak.exe"
    ; The section below puts it back when chosen.
    DeleteRegValue HKLM "${RUN_KEY}" "Sentak"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Sentak"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\sentak.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "$(StartAtLogin)" StartAtLoginSection
    WriteRegStr HKLM "${RUN_KEY}" "Sentak" '"$INSTDIR\sentak.exe"'
SectionEnd

; Section indexes are known only below the sections.
Function .onInit
    SetShellVarContext all
    ReadRegStr $earlierInstallation HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $earlierInstallation != ""
        ReadRegStr $0 HKLM "${RUN_KEY}" "Sentak"
        ${If} $0 == ""
            !insertmacro UnselectSection ${StartAtLoginSection}
        ${EndIf}
    ${EndIf}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NOAUTOSTART" $1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${StartAtLoginSection}
    ${EndIf}
FunctionEnd

Function SkipDirectoryOnUpgrade
    ${If} $earlierInstallation != ""
        Abort
    ${EndIf}
FunctionEnd

Function un.onInit
    SetShellVarContext all
FunctionEnd

; Exactly what the installer made; a folder that holds anything else stays.
Section "Uninstall"
    Call un.CloseSentak
    !insertmacro SENTAK_UNINSTALL_FILES
    Delete "$INSTDIR\uninstall.exe"
    Delete "$SMPROGRAMS\Sentak.lnk"
    DeleteRegValue HKLM "${RUN_KEY}" "Sentak"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    RMDir "$INSTDIR"
SectionEnd
