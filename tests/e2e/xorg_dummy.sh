#!/usr/bin/env bash
# A real X.Org server on the dummy video driver, for the tests of how the program copes with the
# display's refresh rate. Unlike Xvfb it offers a list of modes with their refresh rates and lets
# a client switch between them through RandR, as the driver of a monitor does. It has no vertical
# sync: presents return at once, so the program paces itself by its timer there.
#
# Cases, the desktop's mode first:
#   144      1280x720 at 143.86 Hz only
#   144+60   1280x720 at 143.86 Hz; 1280x720 and 1024x576 at 60.00 Hz
#   75       1280x720 at 75.00 Hz only
#   50       1280x720 at 50.00 Hz only
#
# Run:    xorg_dummy.sh CASE [COMMAND ARGS...]
#         starts the server on a free display, runs COMMAND with DISPLAY set (without a command it
#         prints the display and waits until it is interrupted), and stops the server again.
# Source: . xorg_dummy.sh; xorg_dummy_start CASE WORK-DIR   sets DISPLAY and XORG_DUMMY_PID;
#         xorg_dummy_stop                                     stops the server.
#
# The server must run as root: X.Org takes a configuration file from an arbitrary path only then.
# Without input devices of its own it still has XTest's virtual keyboard and pointer.

# The modes of a case, one "WIDTH HEIGHT RATE" a line.
xorg_dummy_modes() {
  case "$1" in
    144) echo "1280 720 143.86" ;;
    144+60) printf '%s\n' "1280 720 143.86" "1280 720 60.00" "1024 576 60.00" ;;
    75) echo "1280 720 75.00" ;;
    50) echo "1280 720 50.00" ;;
    *) return 1 ;;
  esac
}

# The configuration of a case on standard output. Each modeline has short blanking and a pixel
# clock in whole kHz that gives the rate to a hundredth of a hertz. The monitor accepts only
# narrow bands of line and frame rates around these modes, which keeps out the server's own list
# of standard modes; the server allows 1 % about each band, so the vertical blanking (40 lines)
# is chosen to keep the line rates clear of its 1280x720 at 59.86 Hz.
xorg_dummy_config() {
  local modes
  modes=$(xorg_dummy_modes "$1") || return 1
  awk -v modes="$modes" 'BEGIN {
    n = split(modes, line, "\n")
    for (i = 1; i <= n; ++i) {
      split(line[i], f, " ")
      w = f[1]; h = f[2]; rate = f[3]
      ht = w + 160; vt = h + 40
      khz = int(rate * ht * vt / 1000 + 0.5)
      name[i] = sprintf("%dx%d_%s", w, h, rate)
      modeline[i] = sprintf("  Modeline \"%s\" %.3f %d %d %d %d %d %d %d %d +HSync +VSync",
                            name[i], khz / 1000, w, w + 48, w + 80, ht, h, h + 3, h + 8, vt)
      hs = khz / ht; vr = khz * 1000 / (ht * vt)
      hsync = hsync (i > 1 ? ", " : "") sprintf("%.2f-%.2f", hs - 0.05, hs + 0.05)
      vrefresh = vrefresh (i > 1 ? ", " : "") sprintf("%.2f-%.2f", vr - 0.02, vr + 0.02)
      if (w > vw) vw = w
      if (h > vh) vh = h
      names = names sprintf(" \"%s\"", name[i])
    }
    print "Section \"ServerFlags\""
    print "  Option \"AutoAddDevices\" \"false\""
    print "  Option \"AutoEnableDevices\" \"false\""
    print "  Option \"DontVTSwitch\" \"true\""
    print "EndSection"
    print "Section \"Device\""
    print "  Identifier \"dummy\""
    print "  Driver \"dummy\""
    print "  VideoRam 65536"
    print "  Option \"Monitor-DUMMY0\" \"monitor\""
    print "EndSection"
    print "Section \"Monitor\""
    print "  Identifier \"monitor\""
    print "  HorizSync " hsync
    print "  VertRefresh " vrefresh
    print "  Option \"ReducedBlanking\" \"true\""
    print "  Option \"PreferredMode\" \"" name[1] "\""
    for (i = 1; i <= n; ++i) print modeline[i]
    print "EndSection"
    print "Section \"Screen\""
    print "  Identifier \"screen\""
    print "  Device \"dummy\""
    print "  Monitor \"monitor\""
    print "  DefaultDepth 24"
    print "  SubSection \"Display\""
    print "    Depth 24"
    print "    Virtual " vw " " vh
    print "    Modes" names
    print "  EndSubSection"
    print "EndSection"
    print "Section \"ServerLayout\""
    print "  Identifier \"layout\""
    print "  Screen \"screen\""
    print "EndSection"
  }'
}

# Starts the server of case $1 with its files in the folder $2; sets DISPLAY and XORG_DUMMY_PID.
xorg_dummy_start() {
  local case_name="$1" dir="$2"
  if [[ $(id -u) -ne 0 ]]; then
    echo "xorg_dummy.sh: X.Org with a configuration of its own must run as root" >&2
    return 77
  fi
  if [[ ! -e /usr/lib/xorg/modules/drivers/dummy_drv.so ]] || ! command -v Xorg >/dev/null ||
     ! command -v xrandr >/dev/null; then
    echo "xorg_dummy.sh: missing; install with: apt-get install xserver-xorg-core" \
      "xserver-xorg-video-dummy x11-xserver-utils" >&2
    return 1
  fi
  mkdir -p "$dir"
  xorg_dummy_config "$case_name" >"$dir/xorg.conf" || {
    echo "xorg_dummy.sh: unknown case $case_name (144, 144+60, 75, 50)" >&2
    return 2
  }
  : >"$dir/display"
  # -noreset: the server keeps its mode when the last client goes, so that a test sees what the
  # program left behind rather than a freshly reset server.
  Xorg -config "$dir/xorg.conf" -configdir "$dir" -noreset -nolisten tcp -logfile "$dir/xorg.log" \
    -displayfd 3 3>"$dir/display" >"$dir/xorg.out" 2>&1 &
  XORG_DUMMY_PID=$!
  # Should the caller be killed outright, the server goes a second later.
  local caller=$$
  (
    trap '' HUP INT
    while kill -0 "$caller" 2>/dev/null && kill -0 "$XORG_DUMMY_PID" 2>/dev/null; do sleep 1; done
    kill "$XORG_DUMMY_PID" 2>/dev/null
  ) >/dev/null 2>&1 </dev/null &
  local i number=""
  for i in $(seq 100); do
    number=$(head -n1 "$dir/display" 2>/dev/null | tr -d '[:space:]')
    [[ -n "$number" ]] && DISPLAY=":$number" xrandr -q >/dev/null 2>&1 && break
    if ! kill -0 "$XORG_DUMMY_PID" 2>/dev/null; then
      echo "xorg_dummy.sh: X.Org did not start:" >&2
      grep -E '\(EE\)' "$dir/xorg.log" >&2 || cat "$dir/xorg.out" >&2
      XORG_DUMMY_PID=""
      return 1
    fi
    sleep 0.1
  done
  if [[ -z "$number" ]]; then
    echo "xorg_dummy.sh: X.Org gave no display number within 10 s" >&2
    xorg_dummy_stop
    return 1
  fi
  export DISPLAY=":$number"
}

xorg_dummy_stop() {
  if [[ -n "${XORG_DUMMY_PID:-}" ]]; then
    kill "$XORG_DUMMY_PID" 2>/dev/null || true
    wait "$XORG_DUMMY_PID" 2>/dev/null || true
    XORG_DUMMY_PID=""
  fi
}

if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
  set -euo pipefail
  if [[ $# -lt 1 ]]; then
    echo "usage: xorg_dummy.sh CASE [COMMAND ARGS...]   (CASE: 144, 144+60, 75, 50)" >&2
    exit 2
  fi
  case_name="$1"
  shift
  work=$(mktemp -d "${TMPDIR:-/tmp}/xorg-dummy.XXXXXX")
  trap 'rc=$?; xorg_dummy_stop; rm -rf "$work"; exit $rc' EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  rc=0
  xorg_dummy_start "$case_name" "$work" || rc=$?
  [[ $rc -eq 0 ]] || exit "$rc"
  echo "X.Org on the dummy driver, case $case_name, on $DISPLAY"
  if [[ $# -gt 0 ]]; then
    "$@"
  else
    echo "$DISPLAY"
    while kill -0 "$XORG_DUMMY_PID" 2>/dev/null; do sleep 1; done
  fi
fi
