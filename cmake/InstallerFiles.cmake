# Writes what the installer puts down, from a staged installation: the NSIS macro
# SENTAK_INSTALL_FILES; the record of the installed files (one path below the installation folder
# a line, the uninstaller included), which the installation keeps so that a later upgrade or the
# uninstaller removes exactly these; and SENTAK_UNINSTALL_FILES, the same removal for an
# installation whose record has gone missing.
#   cmake -DSTAGE=<staged installation> -DOUTPUT=<file.nsh> -DRECORD=<file.txt>
#         -P InstallerFiles.cmake

file(GLOB_RECURSE files RELATIVE ${STAGE} ${STAGE}/*)
list(SORT files)
set(install "!macro SENTAK_INSTALL_FILES\n")
set(uninstall "!macro SENTAK_UNINSTALL_FILES\n")
set(record)
foreach(file IN LISTS files)
    cmake_path(GET file PARENT_PATH folder)
    string(REPLACE "/" "\\" windows_file "${file}")
    string(REPLACE "/" "\\" windows_folder "${folder}")
    if(folder)
        set(windows_folder "\\${windows_folder}")
    endif()
    string(APPEND install "    SetOutPath \"$INSTDIR${windows_folder}\"\n"
                          "    File \"${STAGE}/${file}\"\n")
    string(APPEND uninstall "    StrCpy $R9 \"${windows_file}\"\n    Call un.RemoveInstalled\n")
    string(APPEND record "${windows_file}\r\n")
endforeach()
string(APPEND record "uninstall.exe\r\n")

# Only the exact spelling, within the first 1024 bytes, and a name the service manager accepts.
set(service_name Quenthal)
if(EXISTS ${STAGE}/Resources/brand.json)
    file(READ ${STAGE}/Resources/brand.json brand LIMIT 1024)
    if(brand MATCHES "\"servicename\": \"([^\"]*)\"")
        set(named "${CMAKE_MATCH_1}")
        string(LENGTH "${named}" length)
        if(length GREATER 0 AND length LESS_EQUAL 256 AND NOT named MATCHES "[/\\]")
            set(service_name "${named}")
        endif()
    endif()
endif()
string(REPLACE "$" "$$" service_name "${service_name}")  # NSIS would expand it

file(WRITE ${OUTPUT} "!define SERVICE_NAME \"${service_name}\"\n"
                     "${install}!macroend\n${uninstall}!macroend\n")
file(WRITE ${RECORD} "${record}")
