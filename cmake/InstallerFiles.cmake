# Writes what the installer puts down and its uninstaller takes away, from a staged installation:
# two NSIS macros, SENTAK_INSTALL_FILES and SENTAK_UNINSTALL_FILES, so that the uninstaller
# removes exactly the files installed and then each folder that is left empty.
#   cmake -DSTAGE=<staged installation> -DOUTPUT=<file.nsh> -P InstallerFiles.cmake

file(GLOB_RECURSE files RELATIVE ${STAGE} ${STAGE}/*)
list(SORT files)
set(install "!macro SENTAK_INSTALL_FILES\n")
set(uninstall "!macro SENTAK_UNINSTALL_FILES\n")
set(folders)
foreach(file IN LISTS files)
    cmake_path(GET file PARENT_PATH folder)
    string(REPLACE "/" "\\" windows_file "${file}")
    string(REPLACE "/" "\\" windows_folder "${folder}")
    if(folder)
        set(windows_folder "\\${windows_folder}")
    endif()
    string(APPEND install "    SetOutPath \"$INSTDIR${windows_folder}\"\n"
                          "    File \"${STAGE}/${file}\"\n")
    string(APPEND uninstall "    Delete \"$INSTDIR\\${windows_file}\"\n")
    # The folder and every folder above it inside the installation.
    while(folder)
        list(APPEND folders ${folder})
        cmake_path(GET folder PARENT_PATH folder)
    endwhile()
endforeach()
# Deepest first: in reverse order a folder comes before the one that holds it.
list(REMOVE_DUPLICATES folders)
list(SORT folders)
list(REVERSE folders)
foreach(folder IN LISTS folders)
    string(REPLACE "/" "\\" windows_folder "${folder}")
    string(APPEND uninstall "    RMDir \"$INSTDIR\\${windows_folder}\"\n")
endforeach()
file(WRITE ${OUTPUT} "${install}!macroend\n${uninstall}!macroend\n")
