#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, in a Wine prefix of its own:
#   scripts/windows-wine.sh <prefix folder> <program.exe> [arguments...]
#   scripts/windows-wine.sh <prefix folder>            (only makes the prefix)
# The program's exit code is this script's, and its process is this script's too (exec), so a
# signal to it reaches the program. Programs with a window need DISPLAY to name an X server
# (Xvfb will do).
#
# The prefix is made on first use (wineboot --init: some 10 to 20 seconds and about 700 MB,
# since Debian's Wine copies its DLLs into it). Mono and Gecko are switched off, so Wine never
# offers to install them in a dialog that would wait for a click; so is the menu builder, which
# would write desktop entries into the home folder.
#
# Start no persistent wineserver (wineserver -p) around this: the service processes it keeps
# alive inherit the first program's standard output and error, and a pipe reading them then
# never ends. Without one, Wine's processes end with the program.
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: $0 <prefix folder> [<program.exe> [arguments...]]" >&2; exit 2; }
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || { echo "windows-wine: $wine missing (Debian package wine64)" >&2; exit 2; }

mkdir -p "$1"
export WINEPREFIX
WINEPREFIX=$(cd "$1" && pwd)
shift
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "windows-wine: setting up the Wine prefix $WINEPREFIX" >&2
  # Its output is Wine's own chatter; the services it starts must not hold the caller's pipes.
  "$wine" wineboot --init </dev/null >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
fi

[ $# -gt 0 ] || exit 0
exec "$wine" "$@"
