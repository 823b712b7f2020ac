#!/usr/bin/env bash
# Builds the program, lays out a ready program folder in out/Tavrik (both executables, the
# "Графика" folder with the seven bitmaps, the "Отчет" folder for the reports) and starts it there.
#   ./run.sh        starts Tavrik2 (32 bits per pixel)
#   ./run.sh 1      starts Tavrik1 (16 bits per pixel)
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
need_packages build-essential cmake libsdl2-dev

build=build-release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVRIK_BUILD_TESTS=OFF -DTAVRIK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target Tavrik1 Tavrik2
cmake --install "$build" --prefix out/Tavrik >/dev/null

program=Tavrik2
[ "${1:-2}" = "1" ] && program=Tavrik1
cd out/Tavrik
echo "Starting $program in $(pwd); reports go to $(pwd)/Отчет" >&2
exec "./$program"
