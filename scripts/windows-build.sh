#!/usr/bin/env bash
# Cross-builds the program for 64-bit Windows from the same sources, with Debian's MinGW-w64,
# and packs the program folder an examiner unzips:
#   scripts/windows-build.sh [--tests] [build folder]        (default: build-windows)
# 1. installs the Debian packages it needs (as root; otherwise prints the command),
# 2. builds SDL2 for Windows into <build folder>/sdl2 (kept there: later runs only check it),
# 3. configures and builds Tavrik1.exe and Tavrik2.exe in <build folder>; with --tests also
#    GoogleTest (<build folder>/gtest), the unit tests tests/core_tests.exe and
#    tests/shell_tests.exe, which the Linux build runs under Wine (tests/wine), and
#    tests/hold_file.exe, which holds a file open there as a spreadsheet does,
# 4. lays out the program folder in <build folder>/Tavrik and packs it as
#    <build folder>/Tavrik-windows-x64.zip: the two programs, tavrik-protocol.exe, "Графика" with
#    the seven bitmaps, an empty "Отчет" and README.txt for the examiner.
# The executables need nothing beside them but the "Графика" folder: SDL2, libgcc, libstdc++ and
# winpthread are linked in statically. scripts/windows-wine.sh runs them under Wine.
# TAVRIK_WERROR=ON turns compiler warnings into errors, as in CI.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh

tests=OFF
if [ "${1:-}" = "--tests" ]; then
  tests=ON
  shift
fi
# dpkg-dev unpacks the SDL2 source package; libarchive-tools packs the zip file; googletest holds
# the sources of GoogleTest.
packages=(cmake make dpkg-dev g++-mingw-w64-x86-64-posix libarchive-tools)
[ "$tests" = ON ] && packages+=(googletest)
need_packages "${packages[@]}"

build=${1:-build-windows}
mkdir -p "$build"
build=$(cd "$build" && pwd)
jobs=${JOBS:-$(nproc)}
start=$SECONDS

JOBS=$jobs scripts/windows-sdl2.sh "$build/sdl2"
prefixes="$build/sdl2/prefix"
targets=(Tavrik1 Tavrik2 tavrik-protocol)
if [ "$tests" = ON ]; then
  JOBS=$jobs scripts/windows-gtest.sh "$build/gtest"
  prefixes="$prefixes;$build/gtest/prefix"
  targets+=(core_tests shell_tests hold_file)
fi

cmake -S . -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$prefixes" \
  -DCMAKE_BUILD_TYPE=Release -DTAVRIK_WERROR="${TAVRIK_WERROR:-OFF}" \
  -DTAVRIK_BUILD_TESTS=$tests -DTAVRIK_BUILD_BENCH=OFF -DTAVRIK_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

folder="$build/Tavrik"
zip="$build/Tavrik-windows-x64.zip"
rm -rf "$folder" "$zip"
cmake --install "$build" --prefix "$folder" --strip >/dev/null
# For Notepad: UTF-8 with a byte-order mark, CR LF line ends.
{ printf '\xEF\xBB\xBF'; sed 's/$/\r/' packaging/windows/README.txt; } >"$folder/README.txt"
# Names in a zip file are read in the DOS code page unless flagged as UTF-8. Info-ZIP's zip
# writes UTF-8 names without the flag, so Windows would unpack "Графика" garbled; bsdtar sets it.
(cd "$build" && LC_ALL=C.UTF-8 bsdtar --format zip --options zip:hdrcharset=UTF-8 \
  -cf "$zip" Tavrik)
echo "windows-build: $zip ($((SECONDS - start)) s)" >&2
