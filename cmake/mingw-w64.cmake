# Cross-building the Windows program on Debian with MinGW-w64 (g++-mingw-w64-x86-64,
# binutils-mingw-w64-x86-64):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake && cmake --build build-win
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_korrapp_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_korrapp_mingw}-gcc)
set(CMAKE_CXX_COMPILER ${_korrapp_mingw}-g++)
set(CMAKE_RC_COMPILER ${_korrapp_mingw}-windres)
set(CMAKE_DLLTOOL ${_korrapp_mingw}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${_korrapp_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every executable of the build gets the C and C++ runtimes linked in: without them
# beside it, Windows (and Wine) cannot start it, and Wine says nothing of why.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# No OpenCL SDK for MinGW here: the host's Khronos headers serve, and the import
# library for OpenCL.dll is made at build time (cmake/opencl_import_library.cmake).
set(KORRAPP_OPENCL_HEADERS /usr/include CACHE PATH "Folder that holds the Khronos CL/ headers")

# Wine runs the build's own tools, such as the sample pair generator, where it is installed.
find_program(KORRAPP_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KORRAPP_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORRAPP_WINE64})
endif()
