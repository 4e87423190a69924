#!/usr/bin/env bash
# Picture preparation judged from outside. The program's image operations
# run under Wine in tests/win/prepare_tool; what they make is checked with
# decoders that are not ours (ImageMagick and libjpeg-turbo's djpeg):
#  * pictures of all five formats made by ImageMagick (several kinds each)
#    load at their size and with ImageMagick's pixels; transparency is white
#    on every path;
#  * the prepared JPEG is a baseline JPEG of the crop's size whose pixels
#    match ImageMagick's own cut of the test card for each crop case (and do
#    not match it one pixel off); the file is named after the picture;
#  * 1-pixel stripes shrunk 15 times by the preview and by the preparation
#    come out grey;
#  * truncated, empty and huge-header files, and the broken and valid sample
#    pictures that Debian ships (gdk-pixbuf-tests, the Go image test data
#    with PngSuite, fetched with apt-get download into build/), neither crash
#    the operations nor make them allocate without bound.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BIN="${QUORVEL_BIN:-$ROOT/build/win/bin}"
export WINEPREFIX="${QUORVEL_WINEPREFIX:-$ROOT/build/win/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
SCENARIO=image_prep_e2e
WORK="$(dirname "$BIN")/e2e/$SCENARIO"
DEBS="$ROOT/build/debs"
CONVERT=/usr/bin/convert IDENTIFY=/usr/bin/identify COMPARE=/usr/bin/compare DJPEG=/usr/bin/djpeg

fail() { echo "FAIL [$SCENARIO]: $*" >&2; exit 1; }
checks=0
pass() { checks=$((checks + 1)); echo "ok $checks - $*"; }

for t in "$CONVERT" "$IDENTIFY" "$COMPARE" "$DJPEG"; do
  [ -x "$t" ] || fail "$t is missing (scripts/setup installs imagemagick and libjpeg-turbo-progs)"
done
[ -f "$BIN/prepare_tool.exe" ] || fail "$BIN/prepare_tool.exe is not built"

XVFB_PID=""
if [ -z "${DISPLAY:-}" ]; then
  read -r DISPLAY XVFB_PID < <("$ROOT/scripts/xvfb-start")
  export DISPLAY
fi
cleanup() { if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi; }
trap cleanup EXIT
"$ROOT/scripts/wine-prefix" "$WINEPREFIX"

rm -rf "$WORK"
mkdir -p "$WORK/in" "$WORK/out"
cd "$WORK"

win() { printf 'Z:%s' "${1//\//\\}"; }
tool() { wine "$BIN/prepare_tool.exe" "$@" | tr -d '\r'; }
# First line of the tool's answer (the last one is its peak memory); sed
# reads to the end, so no writer in the pipe dies of a closed pipe.
tool1() { tool "$@" | sed -n 1p; }
size_of() { "$IDENTIFY" -format '%w %h' "$1[0]"; }
# Mean colour of a region as "R G B" (0..255).
mean_rgb() {
  "$CONVERT" "$1" -crop "$2" +repage -format '%[fx:int(255*mean.r+.5)] %[fx:int(255*mean.g+.5)] %[fx:int(255*mean.b+.5)]' info:
}
# Normalised root mean square difference of two pictures.
# (compare exits 1 when the pictures differ at all; that is no error here)
rmse() { { "$COMPARE" -metric RMSE "$1" "$2" null: 2>&1 || true; } | sed -E 's/.*\(([0-9.e+-]+)\).*/\1/'; }
lt() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
near_white() { # "R G B" all at least $2
  local r g b; read -r r g b <<<"$1"; [ "$r" -ge "$2" ] && [ "$g" -ge "$2" ] && [ "$b" -ge "$2" ]
}

# ---------------------------------------------------------------- formats
"$CONVERT" -seed 7 -size 300x200 plasma:fractal -blur 0x1 in/photo.png
"$CONVERT" in/photo.png BMP3:in/photo24.bmp
"$CONVERT" in/photo.png -colors 200 -type Palette BMP3:in/photo8.bmp
"$CONVERT" in/photo.png -colors 16 -type Palette BMP3:in/photo4.bmp
"$CONVERT" in/photo.png -depth 16 in/photo16.png
"$CONVERT" in/photo.png -interlace PNG in/photo-interlaced.png
"$CONVERT" in/photo.png in/photo.gif
"$CONVERT" in/photo.png -quality 90 in/photo.jpg
"$CONVERT" in/photo.png -quality 90 -interlace Plane in/photo-progressive.jpg
"$CONVERT" in/photo.png -colorspace Gray -quality 90 in/photo-gray.jpg
"$CONVERT" in/photo.png -compress None in/photo-none.tif
"$CONVERT" in/photo.png -compress LZW in/photo-lzw.tif
"$CONVERT" in/photo.png -compress Zip in/photo-zip.tif
"$CONVERT" in/photo.png -compress JPEG in/photo-jpeg.tif
for f in photo24.bmp photo8.bmp photo4.bmp photo.png photo16.png photo-interlaced.png photo.gif photo.jpg \
         photo-progressive.jpg photo-gray.jpg photo-none.tif photo-lzw.tif photo-zip.tif; do
  got="$(tool1 info "$(win "$WORK/in/$f")")"
  [ "$got" = "ok $(size_of "in/$f")" ] || fail "$f: info says '$got', ImageMagick says $(size_of "in/$f")"
  [ "$(tool1 load "$(win "$WORK/in/$f")" "$(win "$WORK/out/$f.bmp")")" = ok ] || fail "$f: load"
  "$CONVERT" "in/$f" -background white -flatten "out/$f.ref.png"
  d="$(rmse "out/$f.bmp" "out/$f.ref.png")"
  limit=0.004
  case "$f" in *.jpg) limit=0.02 ;; esac  # JPEG decoders may upsample chroma differently
  lt "$d" "$limit" || fail "$f: decoded pixels differ from ImageMagick's (RMSE $d)"
  pass "$f loads at $(size_of "in/$f") with ImageMagick's pixels (RMSE $d)"
done
# The imaging service under Wine cannot decode JPEG inside TIFF: that file
# takes the undecodable path (or, where it can, decodes at its size).
got="$(tool1 info "$(win "$WORK/in/photo-jpeg.tif")")"
case "$got" in
  fail) pass "JPEG-compressed TIFF takes the undecodable path" ;;
  "ok 300 200") pass "JPEG-compressed TIFF decodes at its size" ;;
  *) fail "JPEG-compressed TIFF: '$got'" ;;
esac

# ----------------------------------------------------------- transparency
# Left half transparent, top right opaque red, bottom right half-transparent black.
"$CONVERT" -size 64x64 xc:none -fill red -draw 'rectangle 32,0 63,31' \
  -fill 'rgba(0,0,0,0.5)' -draw 'rectangle 32,32 63,63' in/alpha.png
"$CONVERT" in/alpha.png PNG8:in/alpha-palette.png
"$CONVERT" in/alpha.png in/alpha.gif
"$CONVERT" in/alpha.png -compress LZW in/alpha.tif
for f in alpha.png alpha-palette.png alpha.gif alpha.tif; do
  tool1 fitted "$(win "$WORK/in/$f")" 64 64 "$(win "$WORK/out/$f.fitted.bmp")" >/dev/null
  tool1 load "$(win "$WORK/in/$f")" "$(win "$WORK/out/$f.load.bmp")" >/dev/null
  got="$(tool1 prepare "$(win "$WORK/in/$f")" 0 0 128 128 320 240 "$(win "$WORK/out")")"
  [ "${got%% *}" = written ] || fail "$f: $got"
  "$DJPEG" -outfile "out/$f.prepared.ppm" "out/${f%%.*}.jpg"
  for img in "out/$f.fitted.bmp:4x56+2+4" "out/$f.load.bmp:4x56+2+4" "out/$f.prepared.ppm:16x100+8+14"; do
    m="$(mean_rgb "${img%%:*}" "${img##*:}")"
    near_white "$m" 250 || fail "$f: transparent area of ${img%%:*} is $m, not white"
  done
  m="$(mean_rgb "out/$f.fitted.bmp" 16x16+40+8)"
  read -r r g b <<<"$m"
  [ "$r" -ge 240 ] && [ "$g" -le 15 ] && [ "$b" -le 15 ] || fail "$f: the opaque red came out $m"
  pass "$f: transparent areas white in the loaded, fitted and prepared pictures"
done
m="$(mean_rgb out/alpha.png.load.bmp 16x16+40+40)"
read -r r g b <<<"$m"
[ $((r - 128)) -le 2 ] && [ $((128 - r)) -le 2 ] || fail "half-transparent black over white came out $m"
pass "half-transparent black is composited over white ($m)"

# ------------------------------------------------- the prepared picture
# A test card: white, a black grid every 40 pixels, coloured blocks.
"$CONVERT" -size 800x1000 xc:white -fill none -stroke black -strokewidth 1 \
  -draw "$(for x in $(seq 0 40 799); do printf 'line %d,0 %d,999 ' "$x" "$x"; done)" \
  -draw "$(for y in $(seq 0 40 999); do printf 'line 0,%d 799,%d ' "$y" "$y"; done)" -stroke none \
  -fill '#E00000' -draw 'rectangle 50,60 109,119' -fill '#00B000' -draw 'rectangle 200,100 279,179' \
  -fill '#0000E0' -draw 'rectangle 300,300 379,379' -fill '#E0C000' -draw 'rectangle 20,400 99,479' \
  -fill '#00B0C0' -draw 'rectangle 130,20 169,39' -fill '#C000C0' -draw 'rectangle 330,130 369,209' \
  in/bigcard.png
for s in 400x500 200x150 400x150 200x500 400x300 320x240; do
  "$CONVERT" in/bigcard.png -crop "$s+0+0" +repage "in/card$s.png"
done
geom() { printf '%+d%+d' "$1" "$2"; }  # ImageMagick's offset for a cut at (x, y), beyond the picture too
# name card left top W H screenW screenH -> expected crop geometry
crop_case() {
  local what="$1" card="$2" left="$3" top="$4" w="$5" h="$6" sw="$7" sh="$8" cx="$9" cy="${10}" cw="${11}" ch="${12}"
  local out="$WORK/out/crop" ; rm -rf "$out"; mkdir -p "$out"
  local got; got="$(tool1 prepare "$(win "$WORK/in/$card.png")" "$left" "$top" "$w" "$h" "$sw" "$sh" "$(win "$out")")"
  [ "$got" = "written $(win "$out")\\$card.jpg" ] || fail "$what: $got"
  "$DJPEG" -verbose -outfile "$out/p.ppm" "$out/$card.jpg" 2>"$out/djpeg.txt" || fail "$what: djpeg refused the file"
  grep -q 'Start Of Frame 0xc0' "$out/djpeg.txt" || fail "$what: not a baseline JPEG: $(grep 'Start Of Frame' "$out/djpeg.txt")"
  [ "$(size_of "$out/p.ppm")" = "$cw $ch" ] || fail "$what: size $(size_of "$out/p.ppm"), expected $cw $ch"
  local resize=()
  if [ "$(size_of "in/$card.png")" != "$w $h" ]; then resize=(-filter Catrom -resize "${w}x${h}!"); fi
  ref() { "$CONVERT" "in/$card.png" "${resize[@]}" -background white -extent "${cw}x${ch}$(geom "$1" "$2")" "$3"; }
  ref "$cx" "$cy" "$out/ref.png"
  ref "$((cx + 1))" "$cy" "$out/ref-x.png"
  ref "$cx" "$((cy + 1))" "$out/ref-y.png"
  local d dx dy
  d="$(rmse "$out/p.ppm" "$out/ref.png")"; dx="$(rmse "$out/p.ppm" "$out/ref-x.png")"; dy="$(rmse "$out/p.ppm" "$out/ref-y.png")"
  lt "$d" 0.04 || fail "$what: differs from ImageMagick's cut (RMSE $d)"
  lt "$(awk -v a="$d" 'BEGIN { print 1.5 * a }')" "$dx" || fail "$what: one pixel right matches as well ($d vs $dx)"
  lt "$(awk -v a="$d" 'BEGIN { print 1.5 * a }')" "$dy" || fail "$what: one pixel down matches as well ($d vs $dy)"
  pass "$what: baseline JPEG ${cw}x${ch}, cut at ($cx, $cy) (RMSE $d; one pixel off $dx, $dy)"
}
crop_case "larger than the screen, beyond left and top" card400x500 -10 -20 400 500 320 240 10 20 320 240
crop_case "smaller both ways: sent whole" card200x150 60 45 200 150 320 240 0 0 200 150
crop_case "wider only" card400x150 -30 45 400 150 320 240 30 0 320 150
crop_case "taller only" card200x500 60 -100 200 500 320 240 0 100 200 240
crop_case "exactly the screen" card320x240 0 0 320 240 320 240 0 0 320 240
crop_case "placed right of the screen's edge: white beyond the picture" card400x300 20 5 400 300 320 240 -20 -5 320 240
crop_case "zoomed in twice" card400x500 -100 -200 800 1000 320 240 100 200 320 240
crop_case "shrunk to 0.7" card400x500 -15 -25 280 350 240 160 15 25 240 160
m="$(mean_rgb "$WORK/out/crop/p.ppm" 20x20+$((50 * 7 / 10 - 15 + 10))+$((60 * 7 / 10 - 25 + 10)))"
read -r r g b <<<"$m"
[ "$r" -ge 180 ] && [ "$g" -le 60 ] && [ "$b" -le 60 ] || fail "the red block is not where the crop puts it: $m"
pass "the red block lands where the crop puts it ($m)"

# The name: the file name cut before its first dot, plus .jpg.
for name in a.b.c.tif IMG_1.JPG beach.day.png; do
  "$CONVERT" in/card200x150.png "${name##*.}:in/$name"
  rm -rf out/names; mkdir -p out/names
  got="$(tool1 prepare "$(win "$WORK/in/$name")" 0 0 200 150 320 240 "$(win "$WORK/out/names")")"
  want="${name%%.*}.jpg"
  [ "$got" = "written $(win "$WORK/out/names")\\$want" ] && [ -f "out/names/$want" ] || fail "$name: $got"
  pass "$name is prepared as $want"
done

# ------------------------------------------------------------ no aliasing
"$CONVERT" -size 2x1 xc:black -fill white -draw 'point 1,0' -write mpr:pair +delete \
  -size 1500x1500 tile:mpr:pair in/stripes.png
tool1 fitted "$(win "$WORK/in/stripes.png")" 100 100 "$(win "$WORK/out/stripes-preview.bmp")" >/dev/null
got="$(tool1 prepare "$(win "$WORK/in/stripes.png")" 110 70 100 100 320 240 "$(win "$WORK/out")")"
[ "${got%% *}" = written ] || fail "stripes: $got"
"$DJPEG" -outfile out/stripes-prepared.ppm out/stripes.jpg
for f in out/stripes-preview.bmp out/stripes-prepared.ppm; do
  sd="$("$CONVERT" "$f" -colorspace Gray -format '%[fx:255*standard_deviation]' info:)"
  mean="$("$CONVERT" "$f" -colorspace Gray -format '%[fx:255*mean]' info:)"
  [ "$(size_of "$f")" = "100 100" ] || fail "$f: size $(size_of "$f")"
  lt "$sd" 10 || fail "$f: stripes shrunk 15 times have a standard deviation of $sd"
  pass "stripes shrunk 15 times: $(basename "$f") is grey (mean $mean, standard deviation $sd)"
done

# ----------------------------------------------------------- broken files
head -c 4000 in/photo.jpg >in/truncated.jpg
head -c 900 in/photo.png >in/truncated.png
: >in/empty.png
printf '\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR\x00\x01\x86\xa0\x00\x01\x86\xa0\x08\x02\x00\x00\x00\x00\x00\x00\x00' >in/huge.png
# Within our bound (12000 x 8000) but with no pixel data behind the header.
printf '\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR\x00\x00\x2e\xe0\x00\x00\x1f\x40\x08\x02\x00\x00\x00\x00\x00\x00\x00' >in/big-empty.png
printf 'BM\x46\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00\xff\xff\x00\x00\xff\xff\x00\x00\x01\x00\x18\x00' >in/huge.bmp
cp in/huge.png in/renamed-huge.jpg
# name and whether it may decode: the truncated ones may come out partly
# grey (decoders fill what is missing), the others must not decode at all.
broken=(truncated.jpg:maybe truncated.png:maybe empty.png:no huge.png:no big-empty.png:no huge.bmp:no renamed-huge.jpg:no)
for b in "${broken[@]}"; do win "$WORK/in/${b%%:*}"; echo; done >broken.txt
tool batch "$(win "$WORK/broken.txt")" "$(win "$WORK/out")" >broken.out || fail "the tool crashed on broken files"
[ "$(grep -c $'\t' broken.out)" = "${#broken[@]}" ] || fail "broken files: $(cat broken.out)"
grep -q INCONSISTENT broken.out && fail "size and load disagree: $(cat broken.out)"
n=0
for b in "${broken[@]}"; do
  n=$((n + 1))
  line="$(grep "^$n"$'\t' broken.out)"
  case "${b##*:}:$line" in
    no:*$'\t'fail$'\t'"not written"*) ;;
    maybe:*) ;;
    *) fail "${b%%:*} was decoded: $line" ;;
  esac
done
peak="$(sed -n 's/^peak-memory-mb //p' broken.out)"
[ "$peak" -lt 700 ] || fail "broken files took $peak MB"
pass "truncated, empty and huge-header files: no crash, nothing written from the broken ones, peak $peak MB"

# ----------------------------------------------------- Debian sample sets
fetch() { # package -> .deb path in $DEBS (downloaded once)
  mkdir -p "$DEBS"
  local deb; deb="$(ls "$DEBS/$1"_*.deb 2>/dev/null | head -n 1 || true)"
  if [ -z "$deb" ]; then
    (cd "$DEBS" && { apt-get download "$1" >/dev/null 2>&1 || { apt-get update -qq >/dev/null 2>&1 && apt-get download "$1" >/dev/null 2>&1; }; }) || return 1
    deb="$(ls "$DEBS/$1"_*.deb | head -n 1)"
  fi
  echo "$deb"
}
samples="$WORK/samples"
mkdir -p "$samples"
if gdk="$(fetch gdk-pixbuf-tests)" && go="$(fetch golang-1.19-src)"; then
  dpkg -x "$gdk" "$samples/gdk"
  dpkg-deb --fsys-tarfile "$go" | tar -x -C "$samples" --wildcards \
    './usr/share/go-1.19/src/image/png/testdata/*' './usr/share/go-1.19/src/image/testdata/*'
  find "$samples" -type f -path '*test-images*' ! -name '*.conf' ! -name TESTS | sort >samples.txt
  find "$samples/usr" -type f \( -name '*.png' -o -name '*.jpeg' -o -name '*.gif' \) | sort >>samples.txt
  while read -r f; do win "$f"; echo; done <samples.txt >samples-win.txt
  total="$(wc -l <samples.txt)"
  mkdir -p out/samples
  tool batch "$(win "$WORK/samples-win.txt")" "$(win "$WORK/out/samples")" >samples.out || fail "the tool crashed on the sample sets"
  [ "$(grep -c $'\t' samples.out)" = "$total" ] || fail "sample sets: $(grep -c $'\t' samples.out) answers for $total files"
  grep -q INCONSISTENT samples.out && fail "sample sets: size and load disagree"
  peak="$(sed -n 's/^peak-memory-mb //p' samples.out)"
  [ "$peak" -lt 700 ] || fail "sample sets took $peak MB"
  decoded="$(grep -c $'\tok ' samples.out || true)"
  pass "$total Debian sample pictures (broken ones included): no crash, $decoded decoded, peak $peak MB"
  # Every valid picture of our formats decodes at the size ImageMagick reads.
  n=0; checked=0
  while read -r f; do
    n=$((n + 1))
    case "$f" in
      */pngsuite/*.png|*/image/testdata/*|*/randomly-modified/valid.1.bmp|*/randomly-modified/valid.1.gif|\
      */randomly-modified/valid.*.jpeg|*/randomly-modified/valid.1.png|*/randomly-modified/valid.1.tiff) ;;
      *) continue ;;
    esac
    case "$f" in *truncated*) continue ;; esac
    line="$(grep "^$n"$'\t' samples.out | cut -f2)"
    [ "$line" = "ok $(size_of "$f")" ] || fail "$f: '$line', ImageMagick reads $(size_of "$f")"
    checked=$((checked + 1))
  done <samples.txt
  pass "$checked valid sample pictures decode at ImageMagick's size"
  # PngSuite pixels against ImageMagick's, composited over white.
  n=0; worst=0; worst_file=""
  while read -r f; do
    n=$((n + 1))
    case "$f" in */pngsuite/*.png) ;; *) continue ;; esac
    tool1 load "$(win "$f")" "$(win "$WORK/out/samples/load.bmp")" >/dev/null
    "$CONVERT" "$f" -background white -flatten out/samples/ref.png
    d="$(rmse out/samples/load.bmp out/samples/ref.png)"
    if lt "$worst" "$d"; then worst="$d"; worst_file="$f"; fi
  done <samples.txt
  lt "$worst" 0.01 || fail "PngSuite: $(basename "$worst_file") differs from ImageMagick (RMSE $worst)"
  pass "PngSuite pixels match ImageMagick's over white (worst RMSE $worst)"
else
  echo "SKIP: the Debian sample sets could not be fetched (no package source)"
fi

echo "$SCENARIO: $checks checks passed"
