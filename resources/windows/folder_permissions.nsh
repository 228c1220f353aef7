; Whether only administrators can change a folder on the way to the installation folder, decided
; from the folder's security descriptor alone, so that it can be tried on descriptors of any shape
; (tests/folder_permissions.nsi does). Needs LogicLib.

; The rights by which someone could put another folder in place of one on the path: deleting or
; renaming the folder (DELETE) or what it holds (FILE_DELETE_CHILD), or giving themselves either
; (WRITE_DAC, WRITE_OWNER, GENERIC_ALL). Making new entries (write, append, GENERIC_WRITE)
; replaces nothing that exists, and every drive's root lets all users make folders in it.
!define REPLACING_RIGHTS 0x100D0040
!define TRUSTED_INSTALLER "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
!define ACCESS_ALLOWED_ACE_TYPE 0
!define ACCESS_DENIED_ACE_TYPE 1
!define INHERIT_ONLY_ACE 8

; Sets $2 to the SID at $4 as a string, "?" when it is none.
Function SidString
    StrCpy $2 "?"
    System::Call "advapi32::ConvertSidToStringSidW(p r4, *p .r5) i .r9"
    ${If} $9 <> 0
        System::Call "kernel32::lstrcpynW(w .r2, p r5, i ${NSIS_MAX_STRLEN})"
        System::Call "kernel32::LocalFree(p r5)"
    ${EndIf}
FunctionEnd

; The same, but "" when the SID stands for administrators: Administrators, SYSTEM,
; TrustedInstaller, CREATOR OWNER (a placeholder that only inherited entries turn into their maker)
; and $1, the administrator who runs this setup, whose own account owns what they make (Windows'
; default) and who could install anywhere anyway.
Function TrustedSid
    Call SidString
    ${If} $2 == "S-1-5-32-544"
    ${OrIf} $2 == "S-1-5-18"
    ${OrIf} $2 == "${TRUSTED_INSTALLER}"
    ${OrIf} $2 == "S-1-3-0"
    ${OrIf} $2 == $1
        StrCpy $2 ""
    ${EndIf}
FunctionEnd

; Sets $2 to "" when only administrators can change the folder whose security descriptor is $0,
; else to the SID of someone else who can: its owner (who may always change its permissions), or
; the first entry of its DACL that grants one of REPLACING_RIGHTS. $3 is then their account's
; name, or the SID when it has none. Entries only inherited by what the folder holds
; (inherit-only) and denials are passed over; any other kind of entry than a plain grant is
; taken as everyone's (folders carry none). Uses $4 to $9.
Function WhoElseMayChange
    System::Call "advapi32::GetSecurityDescriptorOwner(p r0, *p .r4, *i .r5)"
    Call TrustedSid
    ${If} $2 == ""
        System::Call "advapi32::GetSecurityDescriptorDacl(p r0, *i .r5, *p .r6, *i .r7)"
        StrCpy $2 "S-1-1-0" ; Everyone: without a DACL, anyone may do anything
        ${If} $5 <> 0
        ${AndIf} $6 <> 0
            StrCpy $2 ""
            StrCpy $7 0
            ${Do}
                System::Call "advapi32::GetAce(p r6, i r7, *p .r8) i .r9"
                ${If} $9 = 0
                ${OrIf} $2 != ""
                    ${ExitDo}
                ${EndIf}
                IntOp $7 $7 + 1
                System::Call "*$8(&i1 .r5, &i1 .r9, &i2, i .r4)" ; type, flags, size, mask
                IntOp $9 $9 & ${INHERIT_ONLY_ACE}
                IntOp $4 $4 & ${REPLACING_RIGHTS}
                ${If} $9 <> 0
                ${OrIf} $4 = 0
                ${OrIf} $5 = ${ACCESS_DENIED_ACE_TYPE}
                    ${Continue}
                ${EndIf}
                StrCpy $2 "S-1-1-0"
                ${If} $5 = ${ACCESS_ALLOWED_ACE_TYPE}
                    IntPtrOp $4 $8 + 8 ; the SID after the header and the mask
                    Call TrustedSid
                ${EndIf}
            ${Loop}
        ${EndIf}
    ${EndIf}
    StrCpy $3 $2
    ${If} $2 != ""
        System::Call "advapi32::ConvertStringSidToSidW(w r2, *p .r4) i .r9"
        ${If} $9 <> 0
            System::Call "advapi32::LookupAccountSidW(p 0, p r4, w .r5, *i ${NSIS_MAX_STRLEN}, \
                w .r6, *i ${NSIS_MAX_STRLEN}, *i .r7) i .r9"
            System::Call "kernel32::LocalFree(p r4)"
            ${If} $9 <> 0
                StrCpy $3 "$6\$5"
                ${IfThen} $6 == "" ${|} StrCpy $3 $5 ${|}
            ${EndIf}
        ${EndIf}
    ${EndIf}
FunctionEnd
