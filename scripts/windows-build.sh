#!/usr/bin/env bash
# Cross-builds the program for 64-bit Windows from the same sources, with Debian's MinGW-w64:
#   scripts/windows-build.sh [build folder]        (default: build-windows)
# 1. installs the Debian packages it needs (as root; otherwise prints the command),
# 2. builds SDL2 for Windows into <build folder>/sdl2 (kept there: later runs only check it),
# 3. configures and builds Tavrik1.exe and Tavrik2.exe in <build folder>,
# 4. lays out the program folder in out/Tavrik-windows and packs it as out/Tavrik-windows.zip.
# The executables need nothing beside them but the "Графика" folder: SDL2, libgcc, libstdc++ and
# winpthread are linked in statically. scripts/windows-wine.sh runs them under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
# dpkg-dev unpacks the SDL2 source package; libarchive-tools packs the zip file; wine64, xvfb
# and xdotool run the programs here.
need_packages cmake make dpkg-dev g++-mingw-w64-x86-64-posix libarchive-tools \
  wine64 xvfb xdotool libxrender1 libxrandr2 libxi6 libxcursor1

build=${1:-build-windows}
mkdir -p "$build"
build=$(cd "$build" && pwd)
jobs=${JOBS:-$(nproc)}

JOBS=$jobs scripts/windows-sdl2.sh "$build/sdl2"

cmake -S . -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$build/sdl2/prefix" \
  -DCMAKE_BUILD_TYPE=Release \
  -DTAVRIK_BUILD_TESTS=OFF -DTAVRIK_BUILD_BENCH=OFF -DTAVRIK_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target Tavrik1 Tavrik2

rm -rf out/Tavrik-windows out/Tavrik-windows.zip
cmake --install "$build" --prefix out/Tavrik-windows --strip >/dev/null
# Names in a zip file are read in the DOS code page unless flagged as UTF-8. Info-ZIP's zip
# writes UTF-8 names without the flag, so Windows would unpack "Графика" garbled; bsdtar sets it.
(cd out && LC_ALL=C.UTF-8 bsdtar --format zip --options zip:hdrcharset=UTF-8 \
  -cf Tavrik-windows.zip Tavrik-windows)
echo "Windows program folder: $PWD/out/Tavrik-windows (packed: out/Tavrik-windows.zip)" >&2
