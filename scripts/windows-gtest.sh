#!/usr/bin/env bash
# Builds GoogleTest for 64-bit Windows from the sources of Debian's googletest package
# (/usr/src/googletest), with the MinGW-w64 toolchain in cmake/mingw-w64-x86_64.cmake, and
# installs it into <cache>/prefix, for the unit tests that run under Wine:
#   scripts/windows-gtest.sh <cache>
# A second run only checks that the build is there and up to date.
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 <cache folder>" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
toolchain="$here/../cmake/mingw-w64-x86_64.cmake"
src=/usr/src/googletest
[ -f "$src/CMakeLists.txt" ] || { echo "windows-gtest: $src missing (Debian package googletest)" >&2; exit 1; }
mkdir -p "$1"
cache=$(cd "$1" && pwd)
prefix="$cache/prefix"

options=(-DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF)
stamp_text="$(printf '%s\n' "${options[@]}"; dpkg-query -W -f='${Version}\n' googletest; cat "$toolchain")"
if [ -f "$prefix/.built" ] && [ "$(cat "$prefix/.built")" = "$stamp_text" ]; then
  echo "windows-gtest: up to date in $prefix" >&2
  exit 0
fi

echo "windows-gtest: building $src for x86_64-w64-mingw32" >&2
rm -rf "$cache/build" "$prefix"
cmake -S "$src" -B "$cache/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_INSTALL_PREFIX="$prefix" "${options[@]}" >"$cache/configure.log" ||
  { cat "$cache/configure.log" >&2; exit 1; }
cmake --build "$cache/build" -j"${JOBS:-2}" >"$cache/build.log" ||
  { tail -50 "$cache/build.log" >&2; exit 1; }
cmake --install "$cache/build" >/dev/null
printf '%s' "$stamp_text" >"$prefix/.built"
echo "windows-gtest: installed in $prefix" >&2
