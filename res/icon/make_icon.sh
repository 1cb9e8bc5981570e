#!/usr/bin/env bash
# Draws the installer's icon (a teal tile with a ring and a downward arrow) and writes quorvane.ico with the
# sizes Windows asks for. Run it after changing the drawing; the .ico is committed.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Drawn once at 256 pixels; the smaller sizes are scaled from it.
convert -size 256x256 xc:none \
  -fill '#05D4BE' -draw 'roundrectangle 8,8 247,247 48,48' \
  -fill none -stroke white -strokewidth 22 -draw 'circle 128,110 128,40' \
  -stroke none -fill white -draw 'rectangle 114,62 142,130' \
  -draw 'polygon 86,120 170,120 128,166' \
  -draw 'roundrectangle 60,204 196,224 10,10' \
  -depth 8 -strip "$work/icon-256.png"
sizes=()
for s in 16 24 32 48 64; do
  convert "$work/icon-256.png" -resize ${s}x${s} "$work/icon-$s.png"
  sizes+=("$work/icon-$s.png")
done
convert "${sizes[@]}" "$work/icon-256.png" -strip "$here/quorvane.ico"
identify "$here/quorvane.ico"
