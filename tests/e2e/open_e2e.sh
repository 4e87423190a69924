#!/usr/bin/env bash
# The ways to open a picture besides the Open button, and the keyboard: a
# picture on the command line (a quoted path with spaces, the log switch
# behind it); files dropped on the window and on the preview panes (the first
# file of several, a folder passed over, a file of another kind as Open takes
# it); a second start that hands its picture to the running instance, also
# while a modal dialog is open; Ctrl+O, + and - on both keyboards, and the
# arrow keys panning by one line step.
source "$(dirname "$0")/lib.sh"

make_card "$WORK/my card.png" 300 400
make_card "$WORK/card.png" 600 100
make_card "$WORK/small.png" 100 80
make_card "$WORK/фото.png" 120 90
echo "not a picture" > "$WORK/notes.txt"
mkdir -p "$WORK/folder"
win() { winepath -w "$1"; }
size() { echo "$(drv text "$MAIN" 1011) $(drv text "$MAIN" 1012)"; }
# A second start with picture $1, which must end by itself with exit code 0.
second_start() {
  ( cd "$WORK" && exec wine "$WORK/QuorvelPhotoManager.exe" "$(win "$1")" ) &
  local pid=$! i
  for i in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  if kill -0 "$pid" 2>/dev/null; then
    local box; box="$(drv msgbox "$MAIN" 1000 || true)"
    fail "the second start did not end by itself (message: '$box')"
  fi
  wait "$pid" || fail "the second start ended with $?"
}

start_app "$(win "$WORK/my card.png")" log
drv wait "$MAIN - my card.png" 20000 >/dev/null || fail "the picture on the command line did not open"
expect_eq "$(size)" "300 400" "size of the command-line picture"
expect_eq "$(enabled_set)" "10110111" "buttons after a command-line picture"

# Drops: on the window, several entries: the folder is passed over and the
# first file with a picture extension opens, not the notes before it.
drv drop "$MAIN" 0 "$(win "$WORK/folder")" "$(win "$WORK/notes.txt")" "$(win "$WORK/card.png")" "$(win "$WORK/small.png")" \
  || fail "drop failed"
wait_title "$MAIN - card.png"
expect_eq "$(offset_of 139 140)" "-180 30 600 100" "dropped picture centred"
for pane in 139 138; do
  drv drop "$MAIN" "$pane" "$(win "$WORK/small.png")" || fail "drop on pane $pane failed"
  wait_eq 'echo "$(drv title "$MAIN") $(size)"' "$MAIN - small.png 100 80" "drop on pane $pane"
  drv drop "$MAIN" "$pane" "$(win "$WORK/card.png")"
  wait_title "$MAIN - card.png"
done
drv drop "$MAIN" 0 "$(win "$WORK/notes.txt")"
wait_eq 'echo "$(drv title "$MAIN") $(size)"' "$MAIN - notes.txt 0 0" "a file of another kind"
# A name outside the ANSI code page opens by its short name.
drv drop "$MAIN" 0 "$(win "$WORK/фото.png")"
wait_eq size "120 90" "a dropped picture whose name is not ANSI"

# Keys: + and - on both keyboards zoom by a tenth; arrows pan by a line step
# (5 pixels) where the picture overhangs, and nowhere else.
drv drop "$MAIN" 0 "$(win "$WORK/card.png")"
wait_eq 'echo "$(drv title "$MAIN") $(size)"' "$MAIN - card.png 600 100" "card dropped again"
drv key "$MAIN" plus;     expect_eq "$(size)" "660 110" "+ zooms in"
drv key "$MAIN" minus;    expect_eq "$(size)" "594 99" "- zooms out"
drv key "$MAIN" add;      expect_eq "$(size)" "653 108" "keypad + zooms in"
drv key "$MAIN" subtract; expect_eq "$(size)" "588 98" "keypad - zooms out"
x0="$(offset_of 139 140 | cut -d' ' -f1)"
drv key "$MAIN" right
expect_eq "$(offset_of 139 140 | cut -d' ' -f1)" "$((x0 - 5))" "right arrow pans one step"
drv key "$MAIN" right
drv key "$MAIN" left
expect_eq "$(offset_of 139 140 | cut -d' ' -f1)" "$((x0 - 5))" "left arrow pans back"
y0="$(offset_of 139 140 | cut -d' ' -f2)"
drv key "$MAIN" down
expect_eq "$(offset_of 139 140 | cut -d' ' -f2)" "$y0" "no vertical overhang, no vertical pan"
screenshot open-keys

# Ctrl+O opens the file dialog.
drv key "$MAIN" ctrl+o
drv openfile "Open" "$(win "$WORK/my card.png")" 20000 || fail "Ctrl+O showed no file dialog"
drv gone "Open" 10000 || fail "file dialog stayed open"
wait_title "$MAIN - my card.png"

# A second start with a picture hands it over and ends quietly.
second_start "$WORK/small.png"
wait_eq 'echo "$(drv title "$MAIN") $(size)"' "$MAIN - small.png 100 80" "picture handed to the running instance"
if drv msgbox "$MAIN" 1000 >/dev/null 2>&1; then fail "the second start showed a message"; fi
second_start "$WORK/фото.png"
wait_eq size "120 90" "a handed picture whose name is not ANSI"

# While the Image size dialog is open the handed picture waits; Escape lets
# it in, with its own size.
title_before="$(drv title "$MAIN")"
drv click "$MAIN" 1005
drv wait "Image size" 10000 >/dev/null || fail "no Image size dialog"
second_start "$WORK/card.png"
expect_eq "$(drv title "$MAIN")" "$title_before" "nothing opens under a modal dialog"
drv key "Image size" escape
drv gone "Image size" 5000 || fail "Image size stayed open"
wait_eq 'echo "$(drv title "$MAIN") $(size)"' "$MAIN - card.png 600 100" "handed picture opened after the dialog"

drv close "$MAIN"
expect_exit 0
echo "open: ok"
