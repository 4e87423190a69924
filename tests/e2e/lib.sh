# Shared helpers of the end-to-end scenarios: each scenario copies the
# program into a folder of its own (the program keeps its files beside its
# executable), runs it under Wine in the build's prefix on the test display,
# and drives it with ui_driver.
set -euo pipefail
E2E_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BIN="${QUORVEL_BIN:-$E2E_ROOT/build/win/bin}"
SCREENS="${QUORVEL_SCREENS:-$E2E_ROOT/build/screens}"
export WINEPREFIX="${QUORVEL_WINEPREFIX:-$E2E_ROOT/build/win/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$SCREENS"
"$E2E_ROOT/scripts/wine-prefix" "$WINEPREFIX"

SCENARIO="$(basename "$0" .sh)"
WORK="$(cd "$BIN/.." && pwd)/e2e/$SCENARIO"
rm -rf "$WORK"
mkdir -p "$WORK"
cp "$BIN/QuorvelPhotoManager.exe" "$WORK/"
APP_PID=""

fail() { echo "FAIL [$SCENARIO]: $*" >&2; exit 1; }

drv() { wine "$BIN/ui_driver.exe" "$@" | tr -d '\r'; }

start_app() {
  ( cd "$WORK" && exec wine "$WORK/QuorvelPhotoManager.exe" "$@" ) &
  APP_PID=$!
}

# Waits up to $2 seconds (30 by default) for the program to end and checks
# that its exit code is $1.
expect_exit() {
  local want="$1" limit="${2:-30}" rc=0
  local waited=0
  while kill -0 "$APP_PID" 2>/dev/null; do
    sleep 0.1; waited=$((waited + 1))
    [ "$waited" -le $((limit * 10)) ] || fail "the program did not end within $limit s"
  done
  wait "$APP_PID" || rc=$?
  [ "$rc" = "$want" ] || fail "exit code $rc, expected $want"
}

expect_eq() {
  [ "$1" = "$2" ] || fail "$3: got '$1', expected '$2'"
}

# Captures the screen once it is still: every window has painted, and two
# captures in a row agree (an animation that never rests keeps the last one).
screenshot() {
  local prev="$WORK/.shot-a.ppm" cur="$WORK/.shot-b.ppm" i
  drv settle - >/dev/null 2>&1 || true
  /usr/bin/import -window root "ppm:$prev" 2>/dev/null || { echo "screenshot $1 failed" >&2; return 0; }
  for i in $(seq 1 20); do
    /usr/bin/import -window root "ppm:$cur" 2>/dev/null || break
    cmp -s "$prev" "$cur" && break
    mv "$cur" "$prev"
  done
  [ -s "$cur" ] || cur="$prev"
  /usr/bin/convert "ppm:$cur" "$SCREENS/$1.png" 2>/dev/null || echo "screenshot $1 failed" >&2
  rm -f "$prev" "$cur"
}

cleanup_app() {
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then kill "$APP_PID" 2>/dev/null || true; fi
}
trap cleanup_app EXIT

# The simulated handheld, registered in the prefix from this scenario's
# folder, with its settings in $WORK/handheld.ini (the arguments are extra
# key=value lines). Received pictures land in $WORK/received, the trace in
# $WORK/trace.txt.
use_handheld() {
  cp "$BIN/handheld_sim.dll" "$WORK/"
  wine regsvr32 /s "$(winepath -w "$WORK/handheld_sim.dll")"
  mkdir -p "$WORK/received"
  rm -f "$WORK/trace.txt"
  {
    echo "received_dir=$(winepath -w "$WORK/received")"
    echo "trace_file=$(winepath -w "$WORK/trace.txt")"
    for line in "$@"; do echo "$line"; done
  } > "$WORK/handheld.ini"
  export QUORVEL_SIM_CONFIG="$(winepath -w "$WORK/handheld.ini")"
}

MAIN="Quorvel Photo Manager"

# Opens a picture through the program's own file dialog and waits until the
# window shows it: the picture is decoded on a thread of its own, and the
# title names it once it is ready.
open_picture() {
  drv click "$MAIN" 1004 || fail "Open picture is not clickable"
  drv openfile "Open" "$(winepath -w "$1")" 20000 || fail "no file dialog"
  drv gone "Open" 10000 || fail "file dialog stayed open"
  wait_title "$MAIN - $(basename "$1")"
}
# Waits up to $4 seconds (20 by default) for the output of the command $1
# (evaluated) to be $2; fails with $3 otherwise.
wait_eq() {
  local i got=""
  for i in $(seq 1 $((${4:-20} * 5))); do
    got="$(eval "$1" 2>/dev/null || true)"
    [ "$got" = "$2" ] && return 0
    sleep 0.2
  done
  fail "$3: got '$got', expected '$2'"
}
# Waits up to $3 seconds (20 by default) for the shell condition $1
# (evaluated) to hold; fails with $2 otherwise. A step that shows something
# does not happen waits with it for the event that proves the program has
# handled the input.
wait_for() {
  local i
  for i in $(seq 1 $((${3:-20} * 5))); do
    eval "$1" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  fail "$2"
}
# Waits up to a minute for the main window's title to be exactly $1.
wait_title() {
  local i
  for i in $(seq 1 300); do
    [ "$(drv title "$MAIN" 2>/dev/null)" = "$1" ] && return 0
    sleep 0.2
  done
  fail "the title is '$(drv title "$MAIN")', expected '$1'"
}

# A test card of W x H: coloured quadrants and a black grid every 20 pixels.
make_card() {
  local out="$1" w="$2" h="$3"
  local hw=$((w / 2)) hh=$((h / 2)) grid=() x y
  for ((x = 0; x < w; x += 20)); do grid+=(-draw "line $x,0 $x,$((h - 1))"); done
  for ((y = 0; y < h; y += 20)); do grid+=(-draw "line 0,$y $((w - 1)),$y"); done
  /usr/bin/convert -size "${w}x${h}" xc:white \
    -fill '#d02020' -draw "rectangle 0,0 $((hw - 1)),$((hh - 1))" \
    -fill '#20a020' -draw "rectangle $hw,0 $((w - 1)),$((hh - 1))" \
    -fill '#2040d0' -draw "rectangle 0,$hh $((hw - 1)),$((h - 1))" \
    -fill '#e0c020' -draw "rectangle $hw,$hh $((w - 1)),$((h - 1))" \
    -stroke black "${grid[@]}" -depth 8 "$out"
}

rect_of() { drv rect "$MAIN" "$1"; }
# Position and size of pane $1 relative to pane $2: x y width height.
offset_of() {
  local a b
  read -r -a a <<<"$(rect_of "$1")"
  read -r -a b <<<"$(rect_of "$2")"
  echo "$((a[0] - b[0])) $((a[1] - b[1])) $((a[2] - a[0])) $((a[3] - a[1]))"
}
# The enabled state of the eight buttons, one digit each, in the order
# connect disconnect open size send mail zoom-in zoom-out.
enabled_set() {
  local out="" id
  for id in 1002 1003 1004 1005 1006 1008 1031 1030; do out+="$(drv enabled "$MAIN" "$id")"; done
  echo "$out"
}
# Sets (or, with an empty value, removes) one key of the simulated handheld's
# settings; they are read at every Connect.
sim_set() {
  sed -i "/^$1=/d" "$WORK/handheld.ini"
  [ -z "$2" ] || echo "$1=$2" >>"$WORK/handheld.ini"
}
# Waits up to 10 s for the status bar to show $1.
wait_status() {
  local i
  for i in $(seq 1 40); do
    [ "$(drv status "$MAIN")" = "$1" ] && return 0
    sleep 0.25
  done
  fail "status is '$(drv status "$MAIN")', expected '$1': $(cat "$WORK/trace.txt" 2>/dev/null)"
}
