#!/usr/bin/env bash
# Runs one end-to-end scenario against the real program: starts a virtual X server of its own on
# a free display, lays out a fresh start folder (the programs, "Графика", an empty "Отчет"), runs
# the driver in it, and removes the server and the folder again however the run ends.
#
#   run_scenario.sh --driver PATH --graphics DIR (--screen WxH | --xorg CASE) --artifacts DIR \
#                   [--wine PREFIX] --program PATH [--program PATH ...] -- SCENARIO ARGS...
#
# --wine: the programs are the Windows build's, run under Wine in the Wine prefix PREFIX.
#
# --screen starts Xvfb with one screen of that size; --xorg starts X.Org on the dummy driver with
# the modes of CASE (xorg_dummy.sh), for the scenarios of the display's refresh rate.
#
# The driver is run as DRIVER SCENARIO ARGS... --folder START-FOLDER --artifacts DIR; failing
# comparisons leave their images, and the programs their standard error, in the artifacts folder.
set -euo pipefail

driver="" graphics="" screen="" xorg="" artifacts="" wine="" programs=()
while [[ $# -gt 0 ]]; do
  case "$1" in
    --driver) driver="$2"; shift 2 ;;
    --graphics) graphics="$2"; shift 2 ;;
    --screen) screen="$2"; shift 2 ;;
    --xorg) xorg="$2"; shift 2 ;;
    --artifacts) artifacts="$2"; shift 2 ;;
    --program) programs+=("$2"); shift 2 ;;
    --wine) wine="$2"; shift 2 ;;
    --) shift; break ;;
    *) echo "run_scenario.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [[ -z "$driver" || -z "$graphics" || -z "$screen$xorg" || -z "$artifacts" || $# -lt 1 ]]; then
  echo "run_scenario.sh: missing arguments" >&2
  exit 2
fi
tools=(xdotool setxkbmap)
[[ -n "$screen" ]] && tools+=(Xvfb)
for tool in "${tools[@]}"; do
  if ! command -v "$tool" >/dev/null; then
    echo "run_scenario.sh: $tool is missing; install it with: apt-get install xvfb xdotool x11-xkb-utils" >&2
    exit 1
  fi
done
. "$(dirname "$0")/xorg_dummy.sh"
if [[ -n "$wine" ]]; then
  # Wine keeps the display's modes in the server of the prefix, which outlives its last program by
  # a few seconds: one left by an earlier scenario would describe that scenario's X server.
  WINEPREFIX=$(cd "$wine" && pwd) /usr/lib/wine/wineserver -w
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrik-e2e.XXXXXX")
xvfb_pid=""
cleanup() {
  local rc=$?
  xorg_dummy_stop
  if [[ -n "$xvfb_pid" ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [[ -n "$xorg" ]]; then
  rc=0
  xorg_dummy_start "$xorg" "$work/xorg" || rc=$?
  [[ $rc -eq 0 ]] || exit "$rc"
  echo "X.Org on the dummy driver on $DISPLAY, case $xorg:"
  xrandr --current | grep -E '^ +[0-9]' || true
else
  # The server picks a free display itself and writes its number to the file; -terminate ends it
  # should every client go away without this script (a runner that kills the script outright).
  Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp -terminate 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
      echo "run_scenario.sh: Xvfb did not start:" >&2
      cat "$work/xvfb.log" >&2
      exit 1
    fi
    sleep 0.1
  done
  display=$(head -n1 "$work/display" | tr -d '[:space:]')
  if [[ -z "$display" ]]; then
    echo "run_scenario.sh: Xvfb gave no display number" >&2
    exit 1
  fi
  export DISPLAY=":$display"
  echo "virtual X server on $DISPLAY, screen ${screen}x24"
fi

folder="$work/start"
mkdir -p "$folder/Отчет"
cp -r "$graphics" "$folder/Графика"
for p in "${programs[@]}"; do cp "$p" "$folder/"; done

rm -rf "$artifacts"
mkdir -p "$artifacts"
launcher=()
[[ -n "$wine" ]] && launcher=(--wine "$wine")
"$driver" "$@" --folder "$folder" --artifacts "$artifacts" "${launcher[@]}"
