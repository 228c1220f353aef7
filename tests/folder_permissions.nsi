; The installer's decision whether only administrators can change a folder above the installation
; folder, on descriptors that Wine's files never have. Writes each wrong answer to failures.txt
; beside it. Build: makensis -DOUTFILE=<exe> folder_permissions.nsi
Target amd64-unicode
SilentInstall silent
OutFile "${OUTFILE}"
!include LogicLib.nsh
!include "${__FILEDIR__}/../resources/windows/folder_permissions.nsh"

!define ADMIN "S-1-5-21-1-2-3-1000" ; the administrator who runs the setup
!macro EXPECT who sddl
    System::Call "advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w '${sddl}', i 1, *p .r0, p 0)"
    Call WhoElseMayChange
    System::Call "kernel32::LocalFree(p r0)"
    ${IfThen} $2 != "${who}" ${|} FileWrite $R0 "${sddl}: $2 ($3), not ${who}$\r$\n" ${|}
!macroend

Section
    FileOpen $R0 "$EXEDIR\failures.txt" w
    StrCpy $1 ${ADMIN}
    ; Program Files and the drive's root as Windows sets them up: users may read, and make folders
    ; in the root; what both pass on to what they hold is not theirs.
    !insertmacro EXPECT "" "O:${TRUSTED_INSTALLER}D:PAI(A;;FA;;;${TRUSTED_INSTALLER})\
        (A;CIIO;GA;;;${TRUSTED_INSTALLER})(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)\
        (A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)"
    !insertmacro EXPECT "" "O:SYD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)\
        (A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)"
    ; A folder the administrator made in the root: it took in the users' right to change it.
    !insertmacro EXPECT "S-1-5-11" "O:${ADMIN}D:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)\
        (A;OICIID;0x1200a9;;;BU)(A;ID;0x1301bf;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)"
    ; A user's folder, however protected; a user allowed to delete what it holds, or to change its
    ; permissions (a denial to others is no grant); no DACL at all.
    !insertmacro EXPECT "S-1-5-21-1-2-3-1001" "O:S-1-5-21-1-2-3-1001D:P(A;;FA;;;BA)"
    !insertmacro EXPECT "S-1-5-32-545" "O:BAD:(D;;SD;;;WD)(A;;0x1200e9;;;BU)"
    !insertmacro EXPECT "S-1-5-21-1-2-3-1001" "O:BAD:(A;;FA;;;BA)(A;;WD;;;S-1-5-21-1-2-3-1001)"
    !insertmacro EXPECT "S-1-1-0" "O:BA"
    FileClose $R0
SectionEnd
