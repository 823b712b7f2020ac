#!/usr/bin/env bash
# Builds SDL2 for 64-bit Windows from Debian's own source package, with the MinGW-w64 toolchain
# in cmake/mingw-w64-x86_64.cmake, and installs it into <cache>/prefix:
#   scripts/windows-sdl2.sh <cache>
# The source package is fetched with apt-get from the mirrors this machine already uses, as
# deb-src entries in a list of the script's own: the machine's apt configuration, lists and
# caches are left alone. Source and build stay in <cache>, so a second run only checks them.
#
# SDL2 is built as a static library (libSDL2.a and libSDL2main.a): each program is then one .exe
# that needs nothing but Windows' own DLLs, so a program folder cannot be broken by a missing or
# mismatched SDL2.dll. Only what the program uses is built: video (with its message boxes and the
# Direct3D, OpenGL and software renderers), events, timers, threads; no audio, joystick, haptic,
# sensor or power.
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 <cache folder>" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/windows-install.sh"
toolchain="$here/../cmake/mingw-w64-x86_64.cmake"
mkdir -p "$1"
cache=$(cd "$1" && pwd)

# The build is redone whenever these options or the toolchain file change.
sdl_options=(
  -DCMAKE_BUILD_TYPE=Release
  -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_STATIC_PIC=OFF -DSDL_TEST=OFF
  -DSDL_AUDIO=OFF -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF
  -DSDL_POWER=OFF -DSDL_VULKAN=OFF -DSDL_OPENGLES=OFF
  -DSDL_VIDEO=ON -DSDL_RENDER=ON -DSDL_EVENTS=ON -DSDL_TIMERS=ON -DSDL_THREADS=ON
  -DSDL_OPENGL=ON -DSDL_DIRECTX=ON -DSDL_RENDER_D3D=ON
)
stamp_text="$(printf '%s\n' "${sdl_options[@]}"; cat "$toolchain")"

# --- the source package ----------------------------------------------------------------------

# deb-src twins of the machine's own "deb" entries, in one-line format, from the deb822 files in
# sources.list.d and from sources.list. Only a Signed-By that names a key file is carried over.
source_lines() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && enabled != "no" && uris != "" && suites != "") {
          n = split(uris, u, " "); m = split(suites, s, " ")
          opt = (signed ~ /^\// ? "[signed-by=" signed "] " : "")
          for (i = 1; i <= n; i++) for (j = 1; j <= m; j++)
            print "deb-src " opt u[i] " " s[j] " " comps
        }
        types = uris = suites = comps = signed = enabled = ""; field = ""
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^[ \t]/   { next }   # continuation of a field we do not need (an inline key)
      {
        field = tolower($1); sub(/:$/, "", field)
        value = $0; sub(/^[^:]*:[ \t]*/, "", value)
        if (field == "types") types = value
        else if (field == "uris") uris = value
        else if (field == "suites") suites = value
        else if (field == "components") comps = value
        else if (field == "signed-by") signed = value
        else if (field == "enabled") enabled = tolower(value)
      }
      END { flush() }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n 's/^[ \t]*deb[ \t]\+/deb-src /p' "$f"
  done
}

apt_dir="$cache/apt"
apt_opts=(
  -o Dir::Etc::SourceList="$apt_dir/sources.list"
  -o Dir::Etc::SourceParts=-
  -o Dir::State::Lists="$apt_dir/lists"
  -o Dir::Cache="$apt_dir/cache"
  -o APT::Sandbox::User="$(id -un)"
)

fetch_source() {
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$cache/src"
  source_lines | sort -u >"$apt_dir/sources.list"
  if [ ! -s "$apt_dir/sources.list" ]; then
    echo "windows-sdl2: no deb entries found in /etc/apt to derive a source mirror from" >&2
    exit 1
  fi
  echo "windows-sdl2: fetching the libsdl2 source package from:" >&2
  sed 's/^/  /' "$apt_dir/sources.list" >&2
  apt-get "${apt_opts[@]}" -qq update
  # Unpacked and checked (hashes from the signed Release) by apt-get and dpkg-source.
  (cd "$cache/src" && apt-get "${apt_opts[@]}" -qq source libsdl2 >&2)
  # The package lists served only this download.
  rm -rf "$apt_dir/lists" "$apt_dir/cache"
}

source_dir() {
  local d
  for d in "$cache"/src/libsdl2-*/; do
    [ -f "$d/CMakeLists.txt" ] && { echo "${d%/}"; return 0; }
  done
  return 1
}

src=$(source_dir) || { fetch_source; src=$(source_dir); }

# --- the build -------------------------------------------------------------------------------

install_for_windows windows-sdl2 "$src" "$(basename "$src")" "$cache" "$stamp_text" \
  lib/libSDL2.a "${sdl_options[@]}"
