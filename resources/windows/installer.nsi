; The Windows installer: Sentak for all users in Program Files\Sentak, a Start-menu shortcut, an
; optional start at every login (the machine's Run entry) and an uninstaller in "Installed apps".
; The build passes VERSION, PUBLISHER, ICON, FILES and RECORD (the generated macros, the
; service's name and the record of what is installed, see cmake/InstallerFiles.cmake) and OUTFILE
; with -D.
;
; Nothing is written or deleted until every file to replace or delete can be: a Sentak of another
; user's session, which this setup cannot close, keeps sentak.exe open, and a setup that failed
; halfway would leave old and new files mixed.
;
; Before anything else, the installation folder is made one only administrators can change: every
; user starts sentak.exe from it at login, and administrators start sentak-control.exe elevated.
; So it must hold nothing that an earlier installation of Sentak did not put there, and no one
; else may be able to put another folder in its place through a folder above it.
; Nothing is deleted or written through a link (a junction or symbolic link) in the folder, which
; could lead an administrator's deletion or write anywhere.
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
!include TextFunc.nsh
!include WinCore.nsh
!include Win\WinError.nsh
!include Win\WinNT.nsh
!include WinMessages.nsh
!include ${FILES}
!include "${__FILEDIR__}/folder_permissions.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sentak"
; Sentak's own key: ServiceName names the one service its elevated helper acts on, in a place only
; administrators can write.
!define SENTAK_KEY "Software\Sentak"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The title of the program's hidden main window, which closes the program as its Exit command does.
!define MAIN_WINDOW "wxTaskBarIcon Test Dialog"
!define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
; What the installer needs of a running Sentak: to wait for it, and its image's name.
!define /math WAIT_AND_NAME ${SYNCHRONIZE} | ${PROCESS_QUERY_LIMITED_INFORMATION}
!define OPEN_EXISTING 3
; The installation folder's permissions: owner Administrators; full control for Administrators and
; SYSTEM, read and execute for Users; protected from what the folder above grants, and inherited
; by everything in it.
!define FOLDER_SDDL "O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
!define SE_FILE_OBJECT 1
!define OWNER_DACL_PROTECTED 0x80000005 ; OWNER_, DACL_ and PROTECTED_DACL_SECURITY_INFORMATION
!define OWNER_DACL 5
; What a Windows error code is for a folder that is itself a link.
!define ERROR_REPARSE_POINT_ENCOUNTERED 4395

; What this installation installed, one path below $INSTDIR a line.
!define RECORD_NAME "installed-files.txt"

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
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE ProtectChosenFolder
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
LangString CloseRunning ${LANG_ENGLISH} "Sentak is running. Setup closes it to continue.$\n$\n\
Choose OK to close it, or Cancel to leave it running and change nothing."
LangString CloseRunning ${LANG_GERMAN} "Sentak läuft. Zum Fortfahren beendet das Setup es.$\n$\n\
Wählen Sie OK, um es zu beenden, oder Abbrechen, um es weiterlaufen zu lassen und nichts zu \
ändern."
LangString CloseRunning ${LANG_FRENCH} "Sentak est en cours d'exécution. Le programme \
d'installation le ferme pour continuer.$\n$\n\
Choisissez OK pour le fermer, ou Annuler pour le laisser ouvert sans rien modifier."
LangString FileInUse ${LANG_ENGLISH} "$\"$lockedFile$\" is in use, perhaps by Sentak running for \
another user of this computer. Nothing has been changed.$\n$\n\
Close Sentak in every session (or sign the other users out), then choose Retry."
LangString FileInUse ${LANG_GERMAN} "$\"$lockedFile$\" wird verwendet, vielleicht von Sentak in \
der Sitzung eines anderen Benutzers dieses Computers. Es wurde nichts geändert.$\n$\n\
Beenden Sie Sentak in jeder Sitzung (oder melden Sie die anderen Benutzer ab) und wählen Sie dann \
$\"Wiederholen$\"."
LangString FileInUse ${LANG_FRENCH} "$\"$lockedFile$\" est utilisé, peut-être par Sentak ouvert \
par un autre utilisateur de cet ordinateur. Rien n'a été modifié.$\n$\n\
Quittez Sentak dans chaque session (ou déconnectez les autres utilisateurs), puis réessayez."
LangString LinkInTheWay ${LANG_ENGLISH} "$\"$lockedFile$\" is a link to another place, through \
which Setup does not write. Nothing has been changed.$\n$\n\
Remove the link (or let Setup install into another folder), then choose Retry."
LangString LinkInTheWay ${LANG_GERMAN} "$\"$lockedFile$\" ist eine Verknüpfung zu einem anderen Ort, \
über die das Setup nicht schreibt. Es wurde nichts geändert.$\n$\n\
Entfernen Sie die Verknüpfung (oder installieren Sie in einen anderen Ordner) und wählen Sie dann \
$\"Wiederholen$\"."
LangString LinkInTheWay ${LANG_FRENCH} "$\"$lockedFile$\" est un lien vers un autre emplacement, \
à travers lequel le programme d'installation n'écrit pas. Rien n'a été modifié.$\n$\n\
Supprimez le lien (ou installez dans un autre dossier), puis réessayez."
LangString FolderNotProtected ${LANG_ENGLISH} "Setup cannot make $\"$INSTDIR$\" a folder that only \
administrators can change (error $folderError), and installs nothing there.$\n$\n\
Choose a folder of its own that is not a link, such as one in Program Files."
LangString FolderNotProtected ${LANG_GERMAN} "Das Setup kann $\"$INSTDIR$\" nicht zu einem Ordner \
machen, den nur Administratoren ändern können (Fehler $folderError), und installiert dort \
nichts.$\n$\n\
Wählen Sie einen eigenen Ordner, der keine Verknüpfung ist, etwa einen in $\"Programme$\"."
LangString FolderNotProtected ${LANG_FRENCH} "Le programme d'installation ne peut pas faire de \
$\"$INSTDIR$\" un dossier que seuls les administrateurs peuvent modifier (erreur $folderError), et \
n'y installe rien.$\n$\n\
Choisissez un dossier qui lui soit propre et qui ne soit pas un lien, par exemple dans \
$\"Program Files$\"."
LangString FolderNotEmpty ${LANG_ENGLISH} "$\"$INSTDIR$\" already holds files and is not an \
earlier installation of Sentak. Setup installs nothing there: files it did not write would run \
with Sentak.$\n$\n\
Choose an empty or a new folder, such as one in Program Files."
LangString FolderNotEmpty ${LANG_GERMAN} "$\"$INSTDIR$\" enthält bereits Dateien und ist keine \
frühere Installation von Sentak. Das Setup installiert dort nichts: Dateien, die es nicht \
geschrieben hat, würden mit Sentak ausgeführt.$\n$\n\
Wählen Sie einen leeren oder einen neuen Ordner, etwa einen in $\"Programme$\"."
LangString FolderNotEmpty ${LANG_FRENCH} "$\"$INSTDIR$\" contient déjà des fichiers et n'est pas \
une installation antérieure de Sentak. Le programme d'installation n'y installe rien : des \
fichiers qu'il n'a pas écrits s'exécuteraient avec Sentak.$\n$\n\
Choisissez un dossier vide ou nouveau, par exemple dans $\"Program Files$\"."
LangString AboveIsLink ${LANG_ENGLISH} "$\"$aboveFolder$\", a folder above $\"$INSTDIR$\", is a \
link to another place, which could later lead elsewhere. Setup installs nothing there.$\n$\n\
Choose a folder with no link on its path, such as one in Program Files."
LangString AboveIsLink ${LANG_GERMAN} "$\"$aboveFolder$\", ein Ordner oberhalb von $\"$INSTDIR$\", \
ist eine Verknüpfung zu einem anderen Ort, die später anderswohin führen könnte. Das Setup \
installiert dort nichts.$\n$\n\
Wählen Sie einen Ordner ohne Verknüpfung in seinem Pfad, etwa einen in $\"Programme$\"."
LangString AboveIsLink ${LANG_FRENCH} "$\"$aboveFolder$\", un dossier au-dessus de \
$\"$INSTDIR$\", est un lien vers un autre emplacement, qui pourrait plus tard mener ailleurs. Le \
programme d'installation n'y installe rien.$\n$\n\
Choisissez un dossier sans lien dans son chemin, par exemple dans $\"Program Files$\"."
LangString AboveNotProtected ${LANG_ENGLISH} "$\"$aboveFolder$\", a folder above \
$\"$INSTDIR$\", can be changed not only by administrators but also by $aboveAccount, who could \
put another folder in place of Sentak's. Setup installs nothing there.$\n$\n\
Choose a folder that only administrators can change, such as one in Program Files."
LangString AboveNotProtected ${LANG_GERMAN} "$\"$aboveFolder$\", ein Ordner oberhalb von \
$\"$INSTDIR$\", kann nicht nur von Administratoren, sondern auch von $aboveAccount geändert \
werden, der einen anderen Ordner an die Stelle des Ordners von Sentak setzen könnte. Das Setup \
installiert dort nichts.$\n$\n\
Wählen Sie einen Ordner, den nur Administratoren ändern können, etwa einen in $\"Programme$\"."
LangString AboveNotProtected ${LANG_FRENCH} "$\"$aboveFolder$\", un dossier au-dessus de \
$\"$INSTDIR$\", peut être modifié non seulement par les administrateurs, mais aussi par \
$aboveAccount, qui pourrait mettre un autre dossier à la place de celui de Sentak. Le programme \
d'installation n'y installe rien.$\n$\n\
Choisissez un dossier que seuls les administrateurs peuvent modifier, par exemple dans \
$\"Program Files$\"."
LangString AboveUnknown ${LANG_ENGLISH} "Setup cannot tell who may change $\"$aboveFolder$\", a \
folder above $\"$INSTDIR$\" (error $folderError), and installs nothing there.$\n$\n\
Choose a folder inside one that exists, such as Program Files."
LangString AboveUnknown ${LANG_GERMAN} "Das Setup kann nicht feststellen, wer $\"$aboveFolder$\", \
einen Ordner oberhalb von $\"$INSTDIR$\", ändern darf (Fehler $folderError), und installiert dort \
nichts.$\n$\n\
Wählen Sie einen Ordner in einem bestehenden, etwa in $\"Programme$\"."
LangString AboveUnknown ${LANG_FRENCH} "Le programme d'installation ne peut pas déterminer qui peut \
modifier $\"$aboveFolder$\", un dossier au-dessus de $\"$INSTDIR$\" (erreur $folderError), et \
n'y installe rien.$\n$\n\
Choisissez un dossier dans un dossier existant, par exemple dans $\"Program Files$\"."
LangString RestartToFinish ${LANG_ENGLISH} "Some files of Sentak are in use and are removed when \
the computer restarts. Restart it to finish the removal."
LangString RestartToFinish ${LANG_GERMAN} "Einige Dateien von Sentak werden verwendet und beim \
Neustart des Computers entfernt. Starten Sie ihn neu, um die Deinstallation abzuschließen."
LangString RestartToFinish ${LANG_FRENCH} "Certains fichiers de Sentak sont utilisés et seront \
supprimés au redémarrage de l'ordinateur. Redémarrez-le pour terminer la désinstallation."
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
Var closeAnswered
Var lockedFile
Var recordPlain
Var folderError
Var folderRefusal
Var aboveFolder
Var aboveAccount
Var ownSid

; Closes every running Sentak of this desktop that runs from this installation, as its Exit
; command would, through WM_CLOSE to its hidden main window, and waits for each to end. A window of
; that title from any other program is left alone. The user is asked first, and nothing is sent
; when they cancel. Never kills: when one does not end, the user may retry or cancel, and a
; silent run cancels, which aborts with nothing changed.
!macro CLOSE_SENTAK un
Function ${un}CloseSentak
    StrCpy $5 0 ; the window after which to look
    ${Do}
        System::Call "user32::FindWindowExW(p 0, p r5, p 0, w '${MAIN_WINDOW}') p .r0"
        ${If} $0 = 0
            Return
        ${EndIf}
        StrCpy $5 $0
        System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1)"
        System::Call "kernel32::OpenProcess(i ${WAIT_AND_NAME}, i 0, i r1) p .r2"
        ${If} $2 = 0
            ${Continue}
        ${EndIf}
        StrCpy $4 ""
        System::Call "kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r4, *i ${NSIS_MAX_STRLEN})"
        ${If} $4 != "$INSTDIR\sentak.exe" ; compared ignoring case, as the system names files
            System::Call "kernel32::CloseHandle(p r2)"
            ${Continue}
        ${EndIf}
        ${If} $closeAnswered != 1
            MessageBox MB_OKCANCEL|MB_ICONQUESTION "$(CloseRunning)" /SD IDOK IDOK +3
            System::Call "kernel32::CloseHandle(p r2)"
            Abort "$(CloseRunning)"
            StrCpy $closeAnswered 1
        ${EndIf}
        System::Call "user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)"
        System::Call "kernel32::WaitForSingleObject(p r2, i 10000) i .r3"
        System::Call "kernel32::CloseHandle(p r2)"
        ${If} $3 <> ${WAIT_OBJECT_0}
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunning)" /SD IDCANCEL IDRETRY retry
            Abort "$(StillRunning)"
            retry:
        ${EndIf}
        StrCpy $5 0 ; the windows have changed: look again from the first
    ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_SENTAK ""
!insertmacro CLOSE_SENTAK "un."

; Sets $R1 to 1 when the installation folder or any part of the path $R9 below it is a reparse
; point (a junction or a symbolic link, which a deletion or a write would follow out of the
; folder), else to 0.
!macro THROUGH_LINK un
Function ${un}ThroughLink
    StrCpy $R1 0
    StrCpy $R2 $R9
    ${Do}
        StrCpy $R3 "$INSTDIR\$R2"
        ${If} $R2 == "" ; the folder itself, without a "\" that would lead through it
            StrCpy $R3 $INSTDIR
        ${EndIf}
        System::Call "kernel32::GetFileAttributesW(w R3) i .R3"
        ${If} $R3 <> ${INVALID_FILE_ATTRIBUTES}
        ${AndIf} $R3 & ${FILE_ATTRIBUTE_REPARSE_POINT}
            StrCpy $R1 1
        ${EndIf}
        ${If} $R2 == ""
            Return
        ${EndIf}
        ${GetParent} $R2 $R2
    ${Loop}
FunctionEnd
!macroend
!insertmacro THROUGH_LINK ""
!insertmacro THROUGH_LINK "un."

; For ${LineFind}: notes in $lockedFile the path of the line $R9 when a link is in its way.
Function FindLink
    ${TrimNewLines} $R9 $R9
    Call ThroughLink
    ${If} $R1 = 1
        StrCpy $lockedFile "$INSTDIR\$R9"
        Push StopLineFind
    ${Else}
        Push ""
    ${EndIf}
FunctionEnd

; For ${LineFind}: notes in $lockedFile the installed file of the line $R9 when it exists and
; another process has it open (a running program, a reader that does not share writing). A file
; behind a link is left alone, as its removal is.
Function FindLockedFile
    ${TrimNewLines} $R9 $R9
    Call ThroughLink
    ${If} $R9 != ""
    ${AndIf} $R1 = 0
    ${AndIf} ${FileExists} "$INSTDIR\$R9"
        System::Call "kernel32::CreateFileW(w '$INSTDIR\$R9', i ${GENERIC_WRITE}, i 0, p 0, i ${OPEN_EXISTING}, i 0, p 0) p .r0"
        ${If} $0 = ${INVALID_HANDLE_VALUE}
            StrCpy $lockedFile "$INSTDIR\$R9"
            Push StopLineFind
            Return
        ${EndIf}
        System::Call "kernel32::CloseHandle(p r0)"
    ${EndIf}
    Push ""
FunctionEnd

; Aborts, with nothing changed, when a link is in the way of a file to install, or unless every
; file of both lists that exists can be written.
Function CheckFilesFree
    ${Do}
        StrCpy $lockedFile ""
        ${LineFind} "$PLUGINSDIR\installing.txt" "/NUL" "1:-1" FindLink
        ${If} $lockedFile != ""
            MessageBox MB_RETRYCANCEL|MB_ICONSTOP "$(LinkInTheWay)" /SD IDCANCEL IDRETRY +2
            Abort "$(LinkInTheWay)"
            ${Continue}
        ${EndIf}
        ${LineFind} "$PLUGINSDIR\installing.txt" "/NUL" "1:-1" FindLockedFile
        ${If} $lockedFile == ""
        ${AndIf} ${FileExists} "$PLUGINSDIR\earlier.txt"
            ${LineFind} "$PLUGINSDIR\earlier.txt" "/NUL" "1:-1" FindLockedFile
        ${EndIf}
        ${If} $lockedFile == ""
            Return
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONSTOP "$(FileInUse)" /SD IDCANCEL IDRETRY +2
        Abort "$(FileInUse)"
    ${Loop}
FunctionEnd

; For ${LineFind}: clears $recordPlain when the line $R9 is not a plain name below $INSTDIR (a
; "..", ":" or wildcard, or a leading "\" or "/"). A record is a file in the installation folder,
; which may be writable by anyone, and its lines are deleted with administrator rights.
!macro CHECK_RECORD un
Function ${un}CheckRecordLine
    ${TrimNewLines} $R9 $R9
    StrCpy $0 $R9 1
    ${If} $0 == "\"
    ${OrIf} $0 == "/"
        StrCpy $recordPlain 0
    ${EndIf}
    StrCpy $1 0
    ${Do}
        StrCpy $0 $R9 1 $1
        StrCpy $2 $R9 2 $1
        ${If} $0 == ":"
        ${OrIf} $0 == "*"
        ${OrIf} $0 == "?"
        ${OrIf} $2 == ".."
            StrCpy $recordPlain 0
        ${EndIf}
        IntOp $1 $1 + 1
    ${LoopUntil} $0 == ""
    ${If} $recordPlain == 0
        Push StopLineFind
    ${Else}
        Push ""
    ${EndIf}
FunctionEnd
; Whether every line of the record $0 is plain: $recordPlain 1 or 0.
Function ${un}CheckRecord
    StrCpy $recordPlain 1
    ${LineFind} $0 "/NUL" "1:-1" ${un}CheckRecordLine
FunctionEnd
!macroend
!insertmacro CHECK_RECORD ""
!insertmacro CHECK_RECORD "un."

; Deletes the installed file $R9 (a path below $INSTDIR), then each of its folders that is left
; empty. With /REBOOTOK in the uninstaller: what is in use goes at the next restart. A path
; through a link stays: what the link leads to is not this installation's.
!macro REMOVE_INSTALLED un reboot
Function ${un}RemoveInstalled
    ${TrimNewLines} $R9 $R9
    Call ${un}ThroughLink
    ${If} $R9 == ""
    ${OrIf} $R1 = 1
        Return
    ${EndIf}
    Delete ${reboot} "$INSTDIR\$R9"
    ${GetParent} "$R9" $R0
    ${DoWhile} $R0 != ""
        ; A folder only waits for the restart when a file in it does.
        ${If} ${RebootFlag}
            RMDir ${reboot} "$INSTDIR\$R0"
        ${Else}
            RMDir "$INSTDIR\$R0"
        ${EndIf}
        ${GetParent} "$R0" $R0
    ${Loop}
FunctionEnd
Function ${un}RemoveInstalledLine
    Call ${un}RemoveInstalled
    ClearErrors ; a folder still in use is no reason for ${LineFind} to stop
    Push ""
FunctionEnd
!macroend
!insertmacro REMOVE_INSTALLED "" ""
!insertmacro REMOVE_INSTALLED "un." "/REBOOTOK"

; Makes $INSTDIR, made if missing, a folder only administrators can change (see FOLDER_SDDL), and
; everything in it the same; a folder that is a link is refused before what it leads to changes.
; Sets $folderError to 0, or to the Windows error code of why not, having removed the folder when
; it made it.
Function ProtectFolder
    StrCpy $5 0
    ${IfNot} ${FileExists} "$INSTDIR\*.*"
        StrCpy $5 1
    ${EndIf}
    CreateDirectory "$INSTDIR"
    StrCpy $R9 ""
    Call ThroughLink
    StrCpy $folderError ${ERROR_REPARSE_POINT_ENCOUNTERED}
    ${If} $R1 = 0
        StrCpy $folderError ${ERROR_NOT_ENOUGH_MEMORY} ; all converting a constant can fail of
        System::Call "advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w '${FOLDER_SDDL}', i 1, *p .r1, p 0) i .r0"
        ${If} $0 <> 0
            System::Call "advapi32::GetSecurityDescriptorOwner(p r1, *p .r2, *i .r4)"
            System::Call "advapi32::GetSecurityDescriptorDacl(p r1, *i .r4, *p .r3, *i .r4)"
            StrCpy $4 $INSTDIR
            System::Call "advapi32::SetNamedSecurityInfoW(w r4, i ${SE_FILE_OBJECT}, i ${OWNER_DACL_PROTECTED}, p r2, p 0, p r3, p 0) i .r0"
            StrCpy $folderError $0
            System::Call "kernel32::LocalFree(p r1)"
        ${EndIf}
    ${EndIf}
    ${If} $folderError <> 0
    ${AndIf} $5 = 1
        RMDir "$INSTDIR"
    ${EndIf}
FunctionEnd

; Sets $2 and $3 as WhoElseMayChange does for the folder $R0, and $folderError to 0, or to the
; Windows error code of why its permissions cannot be read.
Function WhoElseMayChangeFolder
    StrCpy $1 $ownSid
    StrCpy $2 ""
    System::Call "advapi32::GetNamedSecurityInfoW(w R0, i ${SE_FILE_OBJECT}, i ${OWNER_DACL}, \
        p 0, p 0, p 0, p 0, *p .r0) i .r9"
    StrCpy $folderError $9
    ${If} $9 = 0
        Call WhoElseMayChange
        System::Call "kernel32::LocalFree(p r0)"
    ${EndIf}
FunctionEnd

; Sets $folderRefusal to why $INSTDIR is refused, or to "". Refused: a folder that holds anything
; and is not an earlier installation, whose files would stay with whatever permissions they were
; given; and a folder below a link, or below one that someone else than administrators can change,
; who could put another folder in its place for every user's login, the elevated helper and the
; uninstaller to run. So is a folder below one that does not exist: made, it would take what the
; folder above passes on, and a drive's root lets every user change what is made in it.
Function CheckFolder
    StrCpy $folderRefusal ""
    ; An earlier installation: the one the uninstall entry names (0.1.0 kept no record), or one
    ; with the record that only administrators can change, as this setup leaves it.
    ${DirState} $INSTDIR $0
    ${If} $0 = 1
    ${AndIf} $INSTDIR != $earlierInstallation
        StrCpy $R0 $INSTDIR
        Call WhoElseMayChangeFolder
        ${IfNot} ${FileExists} "$INSTDIR\${RECORD_NAME}"
        ${OrIf} $folderError <> 0
        ${OrIf} $2 != ""
            StrCpy $folderRefusal "$(FolderNotEmpty)"
            Return
        ${EndIf}
    ${EndIf}
    StrCpy $R0 $INSTDIR
    ${Do}
        ${GetParent} $R0 $R0
        ${If} $R0 == ""
            Return
        ${EndIf}
        StrCpy $R1 $R0 1 -1
        ${If} $R1 == ":" ; "C:" is the drive's current folder, "C:\" its root
            StrCpy $R0 "$R0\"
        ${EndIf}
        StrCpy $aboveFolder $R0
        System::Call "kernel32::GetFileAttributesW(w R0) i .r0"
        ${If} $0 <> ${INVALID_FILE_ATTRIBUTES}
        ${AndIf} $0 & ${FILE_ATTRIBUTE_REPARSE_POINT}
            StrCpy $folderRefusal "$(AboveIsLink)"
            Return
        ${EndIf}
        Call WhoElseMayChangeFolder
        ${If} $folderError <> 0
            StrCpy $folderRefusal "$(AboveUnknown)"
            Return
        ${ElseIf} $2 != ""
            StrCpy $aboveAccount $3
            StrCpy $folderRefusal "$(AboveNotProtected)"
            Return
        ${EndIf}
    ${LoopUntil} $R1 == ":"
FunctionEnd

; Refuses what CheckFolder refuses, with nothing written: on the directory page the user may then
; choose another folder; a silent setup or an upgrade ends.
Function RefuseUnsafeFolder
    Call CheckFolder
    ${If} $folderRefusal != ""
        MessageBox MB_OK|MB_ICONSTOP "$folderRefusal" /SD IDOK
        Abort "$folderRefusal"
    ${EndIf}
FunctionEnd

; Leaving the directory page: a folder that cannot be protected is refused, and the user may
; choose another.
Function ProtectChosenFolder
    Call RefuseUnsafeFolder
    Call ProtectFolder
    ${If} $folderError <> 0
        MessageBox MB_OK|MB_ICONSTOP "$(FolderNotProtected)"
        Abort
    ${EndIf}
FunctionEnd

; Through the shell, so that Sentak runs as the user who logged in, not elevated like this setup.
Function StartAsUser
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\sentak.exe"'
FunctionEnd

Section "-Sentak"
    ; Again for a silent install or an upgrade, which show no directory page; and once more when
    ; protected, since until then anyone could still have put a file in it.
    Call RefuseUnsafeFolder
    Call ProtectFolder
    ${If} $folderError <> 0
        MessageBox MB_OK|MB_ICONSTOP "$(FolderNotProtected)" /SD IDOK
        Abort "$(FolderNotProtected)"
    ${EndIf}
    Call RefuseUnsafeFolder
    Call CloseSentak
    InitPluginsDir
    ; What is written, the record itself included.
    File "/oname=$PLUGINSDIR\installing.txt" "${RECORD}"
    FileOpen $0 "$PLUGINSDIR\installing.txt" a
    FileWrite $0 "${RECORD_NAME}$\r$\n"
    FileClose $0
    ; What the earlier installation holds: its record, or what 0.1.0, which kept none, installed.
    ; A record with any line that is not a plain name is not ours to follow: then what 0.1.0 and
    ; this version install.
    ${If} ${FileExists} "$INSTDIR\${RECORD_NAME}"
        CopyFiles /SILENT "$INSTDIR\${RECORD_NAME}" "$PLUGINSDIR\earlier.txt"
        StrCpy $0 "$PLUGINSDIR\earlier.txt"
        Call CheckRecord
        ${If} $recordPlain != 1
            File "/oname=$PLUGINSDIR\earlier.txt" "installed-0.1.0.txt"
            ${FileJoin} "$PLUGINSDIR\earlier.txt" "$PLUGINSDIR\installing.txt" ""
        ${EndIf}
    ${ElseIf} $earlierInstallation != ""
        File "/oname=$PLUGINSDIR\earlier.txt" "installed-0.1.0.txt"
    ${EndIf}
    Call CheckFilesFree
    ; The earlier files first, so that those the new version dropped are gone with them.
    ${If} ${FileExists} "$PLUGINSDIR\earlier.txt"
        ${LineFind} "$PLUGINSDIR\earlier.txt" "/NUL" "1:-1" RemoveInstalledLine
    ${EndIf}
    ; And what is about to be written, so that each file is made anew with the folder's
    ; permissions, not kept with those of a file put there before the folder was protected.
    ${LineFind} "$PLUGINSDIR\installing.txt" "/NUL" "1:-1" RemoveInstalledLine
    !insertmacro SENTAK_INSTALL_FILES
    WriteUninstaller "$INSTDIR\uninstall.exe"
    File "/oname=$INSTDIR\${RECORD_NAME}" "${RECORD}"
    ; The shortcut starts Sentak in its folder.
    SetOutPath "$INSTDIR"
    CreateShortcut "$SMPROGRAMS\Sentak.lnk" "$INSTDIR\sentak.exe"
    ; The section below puts it back when chosen.
    DeleteRegValue HKLM "${RUN_KEY}" "Sentak"

    WriteRegStr HKLM "${SENTAK_KEY}" "ServiceName" "${SERVICE_NAME}"
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
    ; The account this setup runs as, for WhoElseMayChange.
    System::Call "advapi32::OpenProcessToken(p -1, i ${TOKEN_QUERY}, *p .r0) i .r1"
    ${If} $1 <> 0
        System::Alloc 256
        Pop $1
        System::Call "advapi32::GetTokenInformation(p r0, i 1, p r1, i 256, *i .r2) i .r3" ; TokenUser
        System::Call "kernel32::CloseHandle(p r0)"
        ${If} $3 <> 0
            System::Call "*$1(p .r4)"
            Call SidString
            StrCpy $ownSid $2
        ${EndIf}
        System::Free $1
    ${EndIf}
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

; Exactly what the installer made, as its record lists it (or, when the record is missing or
; not plain names, as this uninstaller knows it), but nothing through a link; a folder that holds
; anything else stays. A file in use (Sentak of another session) goes at the next restart, which
; the user is told of, and a silent run says with its exit code.
Section "Uninstall"
    Call un.CloseSentak
    InitPluginsDir
    StrCpy $recordPlain 0
    ; A copy, so that what is followed is what was checked.
    ${If} ${FileExists} "$INSTDIR\${RECORD_NAME}"
        CopyFiles /SILENT "$INSTDIR\${RECORD_NAME}" "$PLUGINSDIR\installed.txt"
        StrCpy $0 "$PLUGINSDIR\installed.txt"
        Call un.CheckRecord
    ${EndIf}
    ${If} $recordPlain == 1
        ${LineFind} "$PLUGINSDIR\installed.txt" "/NUL" "1:-1" un.RemoveInstalledLine
    ${Else}
        !insertmacro SENTAK_UNINSTALL_FILES
        StrCpy $R9 "uninstall.exe"
        Call un.RemoveInstalled
    ${EndIf}
    StrCpy $R9 "${RECORD_NAME}"
    Call un.RemoveInstalled
    Delete "$SMPROGRAMS\Sentak.lnk"
    DeleteRegValue HKLM "${RUN_KEY}" "Sentak"
    DeleteRegKey HKLM "${SENTAK_KEY}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${If} ${RebootFlag}
        RMDir /REBOOTOK "$INSTDIR"
        MessageBox MB_OK|MB_ICONINFORMATION "$(RestartToFinish)" /SD IDOK
        SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED} ; what Windows installers exit with then
    ${Else}
        RMDir "$INSTDIR"
    ${EndIf}
SectionEnd
