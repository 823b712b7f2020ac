#!/usr/bin/env bash
# Builds GoogleTest for 64-bit Windows from the sources of Debian's googletest package
# (/usr/src/googletest), with the MinGW-w64 toolchain in cmake/mingw-w64-x86_64.cmake, and
# installs it into <cache>/prefix, for the unit tests that run under Wine:
#   scripts/windows-gtest.sh <cache>
# A second run only checks that the build is there and up to date.
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 <cache folder>" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/windows-install.sh"
toolchain="$here/../cmake/mingw-w64-x86_64.cmake"
src=/usr/src/googletest
[ -f "$src/CMakeLists.txt" ] || { echo "windows-gtest: $src missing (Debian package googletest)" >&2; exit 1; }
mkdir -p "$1"
cache=$(cd "$1" && pwd)

options=(-DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF)
stamp_text="$(printf '%s\n' "${options[@]}"; dpkg-query -W -f='${Version}\n' googletest; cat "$toolchain")"
install_for_windows windows-gtest "$src" "$src" "$cache" "$stamp_text" "" "${options[@]}"
