#!/usr/bin/env bash
# Draws the PNG sizes of the application icon with ImageMagick, from the same shapes as
# csvquibbo.svg (this ImageMagick reads no SVG): once at 1024 pixels, then scaled down.
set -euo pipefail
cd "$(dirname "$0")"
big=$(mktemp --suffix=.png)
trap 'rm -f "$big"' EXIT
convert -size 1024x1024 xc:none \
  -fill white -stroke '#2B5797' -strokewidth 32 -draw "roundrectangle 112,80 912,944 72,72" \
  -stroke none -fill '#2B5797' -draw "roundrectangle 112,80 912,272 72,72" -draw "rectangle 112,180 912,272" \
  -stroke '#9FB6D6' -strokewidth 24 \
  -draw "line 128,432 896,432" -draw "line 128,592 896,592" -draw "line 128,752 896,752" \
  -draw "line 384,272 384,928" -draw "line 640,272 640,928" \
  -fill '#FFFFFFD9' -stroke '#E07B00' -strokewidth 56 -draw "circle 680,680 680,504" \
  -stroke '#E07B00' -strokewidth 80 -draw "line 808,808 940,940" \
  -stroke none -fill '#E07B00' -draw "circle 940,940 940,980" \
  "$big"
for size in 16 24 32 48 64 128 256; do
  convert "$big" -filter Lanczos -resize ${size}x${size} -strip PNG32:csvquibbo-${size}.png
done
