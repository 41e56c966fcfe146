#!/bin/sh
# Draws the sample company logo (logo.png) used by the default templates. Replace logo.png with the
# customer's own image (PNG or JPEG, any size: the template scales it into its box).
set -e
cd "$(dirname "$0")"
convert -size 480x360 xc:none \
  -fill '#1f3a5f' -draw 'roundrectangle 8,8 472,352 44,44' \
  -fill '#eef3f8' -draw 'polygon 100,74 168,74 240,246 312,74 380,74 272,296 208,296' \
  -fill '#e07a1f' -draw 'roundrectangle 150,314 330,326 6,6' \
  -fill '#e07a1f' -draw 'circle 240,50 240,33' \
  -depth 8 -strip logo.png
