#!/usr/bin/env bash
# Draws the client picture (kd215.bmp, 400 x 300, 24-bit), the two program icons (kd215-32.ico: 32 x 32 in 16
# colours; kd215-48.ico: 48 x 48 in 256 colours) and the full-colour icon of the files and shortcuts (kd215.ico:
# 16, 32, 48 and 256 px in 32-bit colour, the 256 px one stored as PNG) with ImageMagick, then checks their formats.
# The outputs are committed, so a build never needs ImageMagick; rerun this only to change the art.
# Text is drawn from a tiny pixel font below, so no font needs to be installed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

# The real ImageMagick 6 binary, not a wrapper that may sit earlier in PATH.
IM=/usr/bin/convert
[[ -x $IM ]] || IM=convert

background='#F1F5F7' # the main window's background, RGB(241, 245, 247)

# Pixel glyphs, one string of 0/1 per row.
declare -A glyph=(
  [K]='10001 10010 10100 11000 10100 10010 10001'
  [d]='00001 00001 01101 10011 10001 10011 01101'
  [2]='01110 10001 00001 00010 00100 01000 11111'
  [1]='00100 01100 00100 00100 00100 00100 01110'
  [5]='11111 10000 11110 00001 00001 10001 01110'
  [s1]='010 110 010 010 111'
  [s2]='111 001 111 100 111'
  [s3]='111 001 111 001 111'
  [s4]='101 101 111 001 001'
  [s5]='111 100 111 001 111'
  [s6]='111 100 111 101 111'
  [s7]='111 001 010 010 010'
  [s8]='111 101 111 101 111'
)

# glyph_draw NAME X Y SCALE: prints -draw rectangles for one glyph with its top-left corner at X,Y.
glyph_draw() {
  local name=$1 x0=$2 y0=$3 scale=$4 col y=0 bits
  for bits in ${glyph[$name]}; do
    for ((col = 0; col < ${#bits}; col++)); do
      if [[ ${bits:col:1} == 1 ]]; then
        printf 'rectangle %d,%d %d,%d ' $((x0 + col * scale)) $((y0 + y * scale)) \
          $((x0 + col * scale + scale - 1)) $((y0 + y * scale + scale - 1))
      fi
    done
    y=$((y + 1))
  done
}

# Which of the eight channels the picture shows switched on.
lit=(1 1 0 1 1 0 1 0)

# --- kd215.bmp: the controller box, its eight channel LEDs and outputs with their lamps -------------------
picture() {
  local args=(-size 400x300 "xc:$background")
  local i x draw

  # serial cable to the PC, leaving the picture on the left
  args+=(-fill none -stroke '#4A5A68' -strokewidth 5 -draw 'path "M 38,125 C 20,125 18,70 -5,62"')
  args+=(-stroke '#33414C' -strokewidth 1 -fill '#8A97A1' -draw 'polygon 36,106 50,100 50,150 36,144')
  # input 9: a push button on the right
  args+=(-fill none -stroke '#4A5A68' -strokewidth 2 -draw 'line 350,118 378,118' -draw 'line 350,132 378,132')
  args+=(-stroke '#7A2630' -strokewidth 2 -fill '#D9534F' -draw 'circle 384,125 384,136')
  args+=(-stroke none -fill '#F08A87' -draw 'circle 381,121 381,124')

  # enclosure with a soft shadow
  args+=(-stroke none -fill '#D3DBE1' -draw 'roundrectangle 56,56 356,206 10,10')
  args+=(-stroke '#4A5A68' -strokewidth 2 -fill '#E3E9EE' -draw 'roundrectangle 50,50 350,200 10,10')
  args+=(-stroke none -fill '#F7FAFC' -draw 'rectangle 60,52 340,53')
  # name plate
  args+=(-stroke none -fill '#2F4B63' -draw 'roundrectangle 66,62 190,92 4,4')
  draw=''
  x=85
  for ch in K d 2 1 5; do
    draw+=$(glyph_draw "$ch" "$x" 67 3)
    x=$((x + 18))
  done
  args+=(-fill '#F1F5F7' -draw "$draw")
  # ventilation slots and the power LED
  for i in 0 1 2 3; do
    args+=(-fill '#B9C4CD' -draw "roundrectangle $((220 + i * 22)),66 $((236 + i * 22)),88 2,2")
  done
  args+=(-fill '#24313B' -draw 'circle 326,77 326,84' -fill '#4FA3FF' -draw 'circle 326,77 326,82')

  # eight channel LEDs with their numbers, the terminal block, wires and lamps
  args+=(-stroke '#1E5A36' -strokewidth 1 -fill '#2E7D4F' -draw 'roundrectangle 68,160 332,196 3,3')
  draw=''
  for i in {0..7}; do
    x=$((88 + i * 32))
    args+=(-stroke none -fill '#24313B' -draw "circle $x,122 $x,132")
    if ((lit[i])); then
      args+=(-fill '#3CD35A' -draw "circle $x,122 $x,129" -fill '#C8FFD0' -draw "circle $((x - 2)),119 $((x - 2)),121")
    else
      args+=(-fill '#2E5E3A' -draw "circle $x,122 $x,129")
    fi
    draw+=$(glyph_draw "s$((i + 1))" $((x - 3)) 139 2)
    # screw terminal
    args+=(-stroke '#5B6B78' -strokewidth 1 -fill '#C4CDD4' -draw "circle $x,178 $x,186")
    args+=(-stroke '#5B6B78' -strokewidth 2 -draw "line $((x - 5)),182 $((x + 5)),174")
    # wire and lamp
    args+=(-stroke '#4A5A68' -strokewidth 2 -draw "line $x,197 $x,238")
    args+=(-stroke none -fill '#8A97A1' -draw "rectangle $((x - 5)),238 $((x + 5)),247")
    if ((lit[i])); then
      args+=(-fill '#FFF1B8' -draw "circle $x,260 $x,276")
      args+=(-stroke '#B8860B' -strokewidth 1 -fill '#FFD54A' -draw "circle $x,259 $x,270")
    else
      args+=(-stroke '#6B7A86' -strokewidth 1 -fill '#D5DCE1' -draw "circle $x,259 $x,270")
    fi
  done
  args+=(-stroke none -fill '#4A5A68' -draw "$draw")

  "$IM" "${args[@]}" -alpha off -type TrueColor -depth 8 -compress None BMP3:kd215.bmp
}

# --- icons: the same box reduced to its plate and two rows of LEDs -------------------------------------------
# icon SIZE COLOURS FILE: SIZE is a multiple of 16; drawn on a 16 x 16 grid scaled by SIZE/16 for whole pixels.
# COLOURS 16 or 256 writes a paletted icon; 0 writes a 32-bit PNG with alpha. Icons with more than 16 colours get
# shaded surfaces; the 16-colour one stays flat.
icon() {
  local size=$1 colours=$2 file=$3 s i x y
  s=$((size / 16)) # pixels per grid unit
  local args=(-size "${size}x${size}" xc:none +antialias)
  local body=(-fill '#E3E9EE') plate=(-fill '#2F4B63') on=(-fill '#3CD35A')
  if ((colours == 0 || colours > 16)); then
    args+=(\( -size "${size}x${size}" gradient:'#FBFCFD-#AEBBC6' -write mpr:body +delete \))
    args+=(\( -size "${size}x${size}" gradient:'#4C6E8C-#1F3446' -write mpr:plate +delete \))
    args+=(\( -size "${size}x${size}" gradient:'#9CF5A9-#22A540' -write mpr:on +delete \))
    body=(-tile mpr:body) plate=(-tile mpr:plate) on=(-tile mpr:on)
  fi
  args+=(-stroke none -fill '#2B3640' -draw "roundrectangle $((1 * s)),$((3 * s)) $((15 * s - 1)),$((14 * s - 1)) $s,$s")
  args+=("${body[@]}" -draw "roundrectangle $((1 * s + 1)),$((3 * s + 1)) $((15 * s - 2)),$((14 * s - 2)) $s,$s" +tile)
  args+=("${plate[@]}" -draw "rectangle $((2 * s)),$((4 * s)) $((14 * s - 1)),$((6 * s - 1))" +tile)
  args+=(-fill '#2E7D4F' -draw "rectangle $((2 * s)),$((12 * s)) $((14 * s - 1)),$((13 * s))")
  for i in {0..7}; do
    x=$((2 * s + (i % 4) * 3 * s + s / 2))
    y=$((7 * s + (i / 4) * 5 * s / 2))
    if ((lit[i])); then args+=("${on[@]}"); else args+=(-fill '#1E4A2C'); fi
    args+=(-draw "rectangle $x,$y $((x + 2 * s - 1)),$((y + 2 * s - 1))" +tile)
  done
  if ((colours == 0)); then
    "$IM" "${args[@]}" -type TrueColorAlpha -depth 8 "PNG32:$file"
  else
    "$IM" "${args[@]}" -dither None -colors "$colours" -type PaletteAlpha "ICO:$file"
  fi
}

picture
icon 32 16 kd215-32.ico
icon 48 256 kd215-48.ico
full_sizes=(16 32 48 256)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
pngs=()
for size in "${full_sizes[@]}"; do
  icon "$size" 0 "$tmp/$size.png"
  pngs+=("$tmp/$size.png")
done
# ImageMagick stores the 256 px image as PNG and the smaller ones as 32-bit bitmaps.
"$IM" "${pngs[@]}" ICO:kd215.ico

# --- checks: sizes and bit depths as the program loads them ------------------------------------------------
fail() { echo "make-art: $*" >&2; exit 1; }
le16() { od -An -t u2 -j "$2" -N 2 "$1" | tr -d ' '; }
le32() { od -An -t u4 -j "$2" -N 4 "$1" | tr -d ' '; }

[[ $(identify -format '%m %wx%h' kd215.bmp) == 'BMP3 400x300' ]] || fail "kd215.bmp is not a 400x300 BMP3"
[[ $(le16 kd215.bmp 28) == 24 ]] || fail "kd215.bmp is not 24 bits per pixel"
[[ $(le32 kd215.bmp 30) == 0 ]] || fail "kd215.bmp is compressed"
for entry in kd215-32.ico:32:4 kd215-48.ico:48:8; do
  IFS=: read -r file size bits <<<"$entry"
  [[ $(le16 "$file" 4) == 1 ]] || fail "$file must hold exactly one image"
  [[ $(identify -format '%wx%h' "$file") == "${size}x${size}" ]] || fail "$file is not ${size}x${size}"
  [[ $(le16 "$file" 12) == "$bits" ]] || fail "$file is not $bits bits per pixel"
  # the image itself (BITMAPINFOHEADER at the offset in the directory entry) must agree
  [[ $(le16 "$file" $(($(le32 "$file" 18) + 14))) == "$bits" ]] || fail "$file image is not $bits bits per pixel"
done
# kd215.ico: four entries, in the order drawn; 32 bits each, the 256 px one (stored as width 0) a PNG.
[[ $(le16 kd215.ico 4) == 4 ]] || fail "kd215.ico must hold four images"
for i in 0 1 2 3; do
  entry=$((6 + 16 * i))
  size=${full_sizes[i]}
  [[ $(od -An -t u1 -j "$entry" -N 1 kd215.ico | tr -d ' ') == $((size % 256)) ]] || fail "kd215.ico entry $i is not $size px"
  [[ $(le16 kd215.ico $((entry + 6))) == 32 ]] || fail "kd215.ico entry $i is not 32 bits per pixel"
  start=$(le32 kd215.ico $((entry + 12)))
  if ((size == 256)); then
    [[ $(od -An -c -j $((start + 1)) -N 3 kd215.ico | tr -d ' ') == PNG ]] || fail "kd215.ico 256 px is not PNG"
  else
    [[ $(le16 kd215.ico $((start + 14))) == 32 ]] || fail "kd215.ico $size px image is not 32 bits per pixel"
  fi
done
echo "make-art: kd215.bmp, kd215-32.ico, kd215-48.ico, kd215.ico written and checked"
