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

# Libraries and headers come only from the target's root and the prefixes handed in with
# CMAKE_PREFIX_PATH (SDL2), never from the build machine's /usr, which has a Linux SDL2 of its own.
# A prefix listed as a root too is searched as it stands instead of being re-rooted.
set(CMAKE_FIND_ROOT_PATH /usr/${TAVRIK_MINGW_TRIPLET} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config is the build machine's own: let it see only the target's .pc files.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${TAVRIK_MINGW_TRIPLET}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# -static takes winpthread statically too; the two -static-lib* flags alone would leave it a DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

