#!/usr/bin/env bash
# Draws the setup program's built-in artwork with ImageMagick and stores it as JPEG beside this
# script; the results are committed, so the build does not need ImageMagick.
#   header.jpg  690 x 59   MainForm Image1 (hidden header picture)
#   banner.jpg  171 x 391  MainForm Image2, left of the pages
#   frame.jpg   506 x 380  MainForm Image4, the frame around the package's picture
#   bar.jpg       1 x 43   MainForm Image3, stretched over the button bar
set -euo pipefail
cd "$(dirname "$0")"
CONVERT=/usr/bin/convert
Q=(-strip -quality 90 -sampling-factor 4:4:4)

"$CONVERT" -size 59x690 gradient:'#0a4a8a'-'#003366' -rotate 90 "${Q[@]}" header.jpg

"$CONVERT" -size 171x391 gradient:'#2b63ad'-'#061a33' \
  -fill 'rgba(255,255,255,0.10)' -draw 'circle 150,70 150,-10' \
  -fill 'rgba(255,255,255,0.07)' -draw 'circle 20,300 20,200' \
  -stroke 'rgba(255,255,255,0.35)' -strokewidth 2 -fill none \
  -draw 'rectangle 55,150 115,210' -draw 'line 55,150 85,132' -draw 'line 115,150 145,132' \
  -draw 'line 85,132 145,132' -draw 'line 145,132 145,192' -draw 'line 115,210 145,192' \
  -stroke 'rgba(255,255,255,0.55)' -draw 'line 85,165 85,195' -draw 'line 75,185 85,195' -draw 'line 95,185 85,195' \
  "${Q[@]}" banner.jpg

"$CONVERT" -size 506x380 xc:'#34649f' \
  -fill '#1d4475' -draw 'rectangle 0,0 505,379' \
  -fill '#e8edf5' -draw 'rectangle 3,3 502,376' \
  -fill '#9fb3cf' -draw 'rectangle 10,10 495,369' \
  -fill '#ffffff' -draw 'rectangle 14,14 491,365' \
  "${Q[@]}" frame.jpg

"$CONVERT" -size 1x43 gradient:'#eeeff5'-'#b9bbcc' "${Q[@]}" bar.jpg

# The demo product's picture for the Introduction page (476 x 350), shipped beside the demo's
# setup.exe; not part of the program.
"$CONVERT" -size 476x350 gradient:'#f3a13b'-'#c8412c' \
  -fill 'rgba(255,255,255,0.18)' -draw 'circle 400,60 400,-40' \
  -fill '#fffdf4' -stroke '#5a3b1c' -strokewidth 3 -draw 'roundrectangle 150,70 326,280 10,10' \
  -stroke '#b9a98f' -strokewidth 2 \
  -draw 'line 170,110 306,110' -draw 'line 170,140 306,140' -draw 'line 170,170 306,170' \
  -draw 'line 170,200 306,200' -draw 'line 170,230 270,230' \
  -stroke none -fill '#5a3b1c' -draw 'rectangle 150,70 326,92' \
  "${Q[@]}" ../../../examples/notepad/art/intro.jpg
