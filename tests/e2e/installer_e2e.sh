#!/usr/bin/env bash
# The release as a Windows user meets it: scripts/package builds the portable
# zip and the installer; the installer runs silently in a temporary profile
# (a fresh Wine prefix with its own home), puts the program, the read-me, the
# shortcuts, the "Send to" entry and the uninstaller in place, and the
# installed program starts; a picture opens through the "Send to" entry's
# command line; the silent uninstaller removes the program and its shortcuts
# and keeps "Sent Pictures" and "email.dat", which go only when the user ticks
# the uninstaller's box; installing twice over itself loses nothing.
source "$(dirname "$0")/lib.sh"

QUORVEL_DIST="$WORK/dist" QUORVEL_PACKAGE_BIN="$BIN" "$E2E_ROOT/scripts/package" >"$WORK/package.log" 2>&1 ||
  fail "scripts/package failed: $(tail -n 5 "$WORK/package.log")"
version="$(sed -nE 's/^#define QUORVEL_VERSION_TEXT "([^"]+)".*/\1/p' "$E2E_ROOT/resources/version.h")"
setup="$WORK/dist/QuorvelPhotoManager-$version-setup.exe"
zip="$WORK/dist/QuorvelPhotoManager-$version-portable.zip"
[ -f "$setup" ] || fail "no $setup"
python3 - "$zip" <<'PY' || fail "the zip does not hold exactly the program and its read-me"
import sys, zipfile
names = sorted(n for n in zipfile.ZipFile(sys.argv[1]).namelist() if not n.endswith("/"))
sys.exit(names != ["Quorvel Photo Manager/QuorvelPhotoManager.exe", "Quorvel Photo Manager/ReadMe.txt"])
PY

# The temporary profile.
export HOME="$WORK/home"
export WINEPREFIX="$WORK/prefix"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$HOME"
"$E2E_ROOT/scripts/wine-prefix" "$WINEPREFIX"
stop_prefix() { cleanup_app; wineserver -k >/dev/null 2>&1 || true; }
trap stop_prefix EXIT

winvar() { wine cmd /c echo "%$1%" | tr -d '\r'; }
inst_win="$(winvar LOCALAPPDATA)\\Programs\\Quorvel Photo Manager"
inst="$(winepath -u "$inst_win")"
programs="$(winepath -u "$(winvar APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs")"
sendto="$(winepath -u "$(winvar APPDATA)\\Microsoft\\Windows\\SendTo")"
desktop="$(winepath -u "$(winvar USERPROFILE)\\Desktop")"
shortcuts=("$programs/Quorvel Photo Manager.lnk" "$sendto/Quorvel Photo Manager.lnk" "$desktop/Quorvel Photo Manager.lnk")
uninst_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuorvelPhotoManager'

wine "$setup" /S || fail "silent install failed"
for f in QuorvelPhotoManager.exe ReadMe.txt Uninstall.exe; do [ -f "$inst/$f" ] || fail "$f not installed"; done
expect_eq "$(ls "$inst" | tr '\n' ' ')" "QuorvelPhotoManager.exe ReadMe.txt Uninstall.exe " "installed files"
for s in "${shortcuts[@]}"; do [ -f "$s" ] || fail "no shortcut $s"; done
wine reg query "$uninst_key" /v DisplayVersion 2>/dev/null | grep -q "$version" || fail "not listed in the installed programs"
wine reg query "$uninst_key" /v UninstallString 2>/dev/null | grep -q 'Uninstall.exe' || fail "no uninstall command"

# The installed program starts and shows its main window.
( cd "$HOME" && exec wine "$inst/QuorvelPhotoManager.exe" ) &
APP_PID=$!
drv wait "$MAIN" 30000 >/dev/null || fail "the installed program showed no window"
[ -d "$inst/Sent Pictures" ] || fail "no Sent Pictures folder beside the installed program"
screenshot installed-main
drv close "$MAIN"
expect_exit 0

# "Send to": the entry's target with the picture's path behind it, as the
# shell starts it.
make_card "$WORK/sent card.png" 200 100
mapfile -t link < <(drv shortcut "$(winepath -w "$sendto/Quorvel Photo Manager.lnk")")
expect_eq "$(winepath -u "${link[0]}")" "$inst/QuorvelPhotoManager.exe" "Send to target"
( cd "$HOME" && exec wine "${link[0]}" ${link[1]:+${link[1]}} "$(winepath -w "$WORK/sent card.png")" ) &
APP_PID=$!
title="$(drv wait "$MAIN - sent card.png" 30000)" || fail "Send to did not open the picture"
drv close "$MAIN"
expect_exit 0

# The user's files.
echo "handheld@example.com" >"$inst/email.dat"
cp "$WORK/sent card.png" "$inst/Sent Pictures/kept.jpg"
user_sums() { (cd "$inst" && md5sum email.dat "Sent Pictures/kept.jpg"); }
before="$(user_sums)"

# Twice over itself: the program is replaced, the user's files stay.
for round in 1 2; do
  wine "$setup" /S || fail "install over itself ($round) failed"
  expect_eq "$(user_sums)" "$before" "user files after install $round"
  [ -f "$inst/QuorvelPhotoManager.exe" ] || fail "program missing after install $round"
done

# Silent uninstall: the uninstaller runs a copy of itself and returns at once.
wine "$inst/Uninstall.exe" /S
# Its last step takes it off the list of installed programs.
off_the_list() { [ ! -e "$inst/Uninstall.exe" ] && ! wine reg query "$uninst_key" >/dev/null 2>&1; }
wait_for off_the_list "the silent uninstaller did not finish"
for f in QuorvelPhotoManager.exe ReadMe.txt Uninstall.exe; do [ ! -e "$inst/$f" ] || fail "$f left behind"; done
for s in "${shortcuts[@]}"; do [ ! -e "$s" ] || fail "shortcut left behind: $s"; done
expect_eq "$(user_sums)" "$before" "user files after uninstall"

# The uninstaller's box, ticked, deletes the user's files and the folder.
wine "$setup" /S || fail "reinstall failed"
wine "$inst/Uninstall.exe" &
drv wait "Uninstall" 20000 >/dev/null || fail "no uninstaller window"
drv click "Uninstall" 1                     # Next: the components page
# The page is up once its list of parts holds the keyboard focus.
tree_id() { drv children "Uninstall" | awk '$2 == "SysTreeView32" && / visible / { print $1; exit }'; }
wait_for '[ -n "$(tree_id)" ] && [ "$(drv focus "Uninstall")" = "$(tree_id)" ]' \
  "no components page with the focus in its list"
tree="$(tree_id)"
unticked="$(drv treestate "Uninstall" "$tree" 1)"
drv key "Uninstall" down
drv key "Uninstall" space                   # tick "Also delete my ..."
wait_for '[ "$(drv treestate "Uninstall" "$tree" 1)" != "$unticked" ]' "the user files' box did not tick"
screenshot uninstall-ticked
drv click "Uninstall" 1
wait_for '[ ! -e "$inst" ]' "ticked uninstall left files in $inst" 30
drv click "Uninstall" 1 || true             # Close
echo "installer: ok"
