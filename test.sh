#!/usr/bin/env bash
# Builds everything and runs every test: the unit tests (headless), the end-to-end tests of the
# real program under a virtual X server, the Windows build (Tavrik-windows-x64.zip) with its unit
# tests and end-to-end tests under Wine, and the unit tests once more under AddressSanitizer and
# UndefinedBehaviorSanitizer. Installs what is missing (as root) or prints the command to do so.
# TAVRIK_SKIP_WINDOWS=1 leaves the Windows build and its tests out, and says so.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
# X.Org's dummy driver, xrandr and X DAMAGE: the end-to-end tests of the display's refresh rate.
# Python and LibreOffice's spreadsheet (no desktop parts, about 80 MB): the timing record read back.
need_packages build-essential cmake libsdl2-dev libgtest-dev libbenchmark-dev xvfb xdotool \
  libx11-dev libxtst-dev libxdamage-dev xfonts-base xserver-xorg-core xserver-xorg-video-dummy \
  x11-xserver-utils x11-xkb-utils libfreetype-dev fonts-dejavu-core python3 libreoffice-calc-nogui chromium poppler-utils

jobs=$(nproc)
# CI holds the code to a warning-free build; elsewhere a newer compiler's new warnings stay warnings.
werror=OFF
[ -n "${CI:-}" ] && werror=ON

# The Windows build: the program folder's zip, and the unit tests that run under Wine.
skip_windows=""
if [ "${TAVRIK_SKIP_WINDOWS:-}" = 1 ]; then
  skip_windows="test.sh: the Windows build and its tests were SKIPPED (TAVRIK_SKIP_WINDOWS=1)"
  echo "$skip_windows" >&2
  windows_build=""
else
  # Wine and the libraries its X11 and OpenGL drivers load.
  need_packages wine64 libgl1 libgl1-mesa-dri libxrender1 libxrandr2 libxi6 libxcursor1 \
    libxcomposite1 libxfixes3 libxinerama1 libxxf86vm1
  TAVRIK_WERROR=$werror JOBS=$jobs scripts/windows-build.sh --tests build-windows
  windows_build=$PWD/build-windows
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIK_BUILD_E2E=ON -DTAVRIK_WERROR=$werror \
  -DTAVRIK_WINDOWS_BUILD="$windows_build" >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DTAVRIK_SANITIZE=ON -DTAVRIK_BUILD_BENCH=OFF \
  -DTAVRIK_BUILD_E2E=OFF -DTAVRIK_WERROR=$werror >/dev/null
cmake --build build-sanitize -j"$jobs" --target core_tests shell_tests Tavrik2
(cd build-sanitize && ctest --output-on-failure -j"$jobs" -L unit)
[ -z "$skip_windows" ] || echo "$skip_windows" >&2
