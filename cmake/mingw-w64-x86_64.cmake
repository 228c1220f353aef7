# Cross-compiles for 64-bit Windows with Debian's MinGW-w64.
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DwxWidgets_CONFIG_EXECUTABLE=$(scripts/build-wxmsw --print-config)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_HOST x86_64-w64-mingw32)
# The posix-threads flavour: its libstdc++ has std::thread and std::mutex, and the toolkit in the
# cache was built with it, so both share one runtime.
find_program(CMAKE_C_COMPILER NAMES ${MINGW_HOST}-gcc-posix ${MINGW_HOST}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${MINGW_HOST}-g++-posix ${MINGW_HOST}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${MINGW_HOST}-windres windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_HOST})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests run the .exe files through Wine.
find_program(CMAKE_CROSSCOMPILING_EMULATOR NAMES wine64 wine)

# The toolkit: wxMSW built by scripts/build-wxmsw into the cache, found through its wx-config.
set(wxWidgets_CONFIG_OPTIONS --host=${MINGW_HOST})
if(NOT wxWidgets_CONFIG_EXECUTABLE)
    if(DEFINED ENV{SENTAK_CACHE})
        set(wxWidgets_CONFIG_EXECUTABLE $ENV{SENTAK_CACHE}/wxmsw-3.2/install/bin/wx-config)
    else()
        set(wxWidgets_CONFIG_EXECUTABLE $ENV{HOME}/.cache/sentak/wxmsw-3.2/install/bin/wx-config)
    endif()
endif()
# Its headers live outside the MinGW root; as a root of its own they are searched unmoved.
cmake_path(GET wxWidgets_CONFIG_EXECUTABLE PARENT_PATH wxWidgets_BIN_DIR)
cmake_path(GET wxWidgets_BIN_DIR PARENT_PATH wxWidgets_PREFIX)
list(APPEND CMAKE_FIND_ROOT_PATH ${wxWidgets_PREFIX})
