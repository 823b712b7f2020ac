# The configure, build and install of a CMake source tree for 64-bit Windows, with the MinGW-w64
# toolchain in cmake/mingw-w64-x86_64.cmake. Sourced by windows-sdl2.sh and windows-gtest.sh:
#   install_for_windows TAG SOURCE LABEL CACHE STAMP_TEXT WITNESS [CMAKE OPTION ...]
# installs SOURCE into CACHE/prefix, built in CACHE/build with its logs beside it, unless
# CACHE/prefix/.built holds STAMP_TEXT already and WITNESS (a file below the prefix; empty for
# none) is there. TAG begins its messages on standard error, LABEL names the source in them.
install_for_windows() {
  local tag=$1 src=$2 label=$3 cache=$4 stamp_text=$5 witness=$6
  shift 6
  local toolchain prefix="$cache/prefix"
  toolchain="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../cmake/mingw-w64-x86_64.cmake"
  if [ -f "$prefix/.built" ] && [ "$(cat "$prefix/.built")" = "$stamp_text" ] &&
     { [ -z "$witness" ] || [ -f "$prefix/$witness" ]; }; then
    echo "$tag: up to date in $prefix ($label)" >&2
    return 0
  fi

  echo "$tag: building $label for x86_64-w64-mingw32" >&2
  rm -rf "$cache/build" "$prefix"
  cmake -S "$src" -B "$cache/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"$cache/configure.log" ||
    { cat "$cache/configure.log" >&2; exit 1; }
  cmake --build "$cache/build" -j"${JOBS:-2}" >"$cache/build.log" ||
    { tail -50 "$cache/build.log" >&2; exit 1; }
  cmake --install "$cache/build" >/dev/null
  printf '%s' "$stamp_text" >"$prefix/.built"
  echo "$tag: installed in $prefix" >&2
}
