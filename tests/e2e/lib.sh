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
WORK="$E2E_ROOT/build/win/e2e/$SCENARIO"
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

# Waits for the program to end and checks its exit code.
expect_exit() {
  local want="$1" rc=0
  local waited=0
  while kill -0 "$APP_PID" 2>/dev/null; do
    sleep 0.2; waited=$((waited + 1))
    [ "$waited" -lt 150 ] || fail "program did not end"
  done
  wait "$APP_PID" || rc=$?
  [ "$rc" = "$want" ] || fail "exit code $rc, expected $want"
}

expect_eq() {
  [ "$1" = "$2" ] || fail "$3: got '$1', expected '$2'"
}

screenshot() {
  sleep 0.5
  /usr/bin/import -window root "$SCREENS/$1.png" 2>/dev/null || echo "screenshot $1 failed" >&2
}

cleanup_app() {
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then kill "$APP_PID" 2>/dev/null || true; fi
}
trap cleanup_app EXIT
