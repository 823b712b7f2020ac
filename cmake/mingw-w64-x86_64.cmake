# Cross build for 64-bit Windows with Debian's MinGW-w64 (package g++-mingw-w64-x86-64-posix).
# The posix variant of the compiler is used because std::thread, std::mutex and friends exist
# only there (the win32 variant has no C++11 threads). libgcc, libstdc++ and winpthread are linked
# statically, so the executables need no MinGW DLL beside them: only the system's own DLLs.
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DCMAKE_PREFIX_PATH=<SDL2 prefix>
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(TAVRIK_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVRIK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVRIK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVRIK_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${TAVRIK_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${TAVRIK_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries and headers come only from the target's root and the prefixes handed in with
# CMAKE_PREFIX_PATH (SDL2), never from the build machine's /usr, which has a Linux SDL2 of its own.
# A prefix listed as a root too is searched as it stands instead of being re-rooted.
set(CMAKE_FIND_ROOT_PATH /usr/${TAVRIK_MINGW_TRIPLET} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static takes winpthread statically too; the two -static-lib* flags alone would leave it a DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Tests built for the target run under Wine on the build machine.
find_program(TAVRIK_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(TAVRIK_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVRIK_WINE64})
endif()
