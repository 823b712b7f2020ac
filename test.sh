#!/usr/bin/env bash
# Builds everything and runs every test: the unit tests (headless), the end-to-end tests of the
# real program under a virtual X server, and the unit tests once more under AddressSanitizer and
# UndefinedBehaviorSanitizer. Installs what is missing (as root) or prints the command to do so.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
need_packages build-essential cmake libsdl2-dev libgtest-dev libbenchmark-dev xvfb xdotool x11-xkb-utils libx11-dev libxtst-dev

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DTAVRIK_SANITIZE=ON -DTAVRIK_BUILD_BENCH=OFF >/dev/null
cmake --build build-sanitize -j"$jobs" --target core_tests shell_tests Tavrik2
(cd build-sanitize && ctest --output-on-failure -j"$jobs" -L unit)
