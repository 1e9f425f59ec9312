#!/usr/bin/env bash
# Draws the hold animation vi_hold.avi with FFmpeg's own filters: a telephone resting on its
# cradle above two pause bars, inside a ring of eight dots round which one bright dot runs, 16 frames at 8 frames a second, lossless PNG pictures in an AVI file. Its size is
# the remote video window's largest picture, 176x144, so it fills the place of the picture.
# Usage: make-vi_hold.sh [output]   (default: vi_hold.avi beside this script)
set -euo pipefail
out=${1:-"$(dirname "$0")/vi_hold.avi"}
step='mod(n\,8)'
filters=(
  # the telephone: a body, the handset lying across its top and a dial plate
  "drawbox=x=68:y=48:w=40:h=26:color=0xC8D2E6:t=fill"
  "drawbox=x=60:y=38:w=56:h=10:color=0xC8D2E6:t=fill"
  "drawbox=x=81:y=54:w=14:h=14:color=0x203040:t=fill"
  # the pause bars below it
  "drawbox=x=76:y=84:w=9:h=26:color=0xF0D060:t=fill"
  "drawbox=x=91:y=84:w=9:h=26:color=0xF0D060:t=fill"
)
# The ring: eight dots, dim, and the one of this frame bright.
dots=("84:6" "126:18" "144:68" "126:118" "84:130" "42:118" "24:68" "42:18")
for i in "${!dots[@]}"; do
  x=${dots[$i]%%:*}
  y=${dots[$i]##*:}
  filters+=("drawbox=x=${x}:y=${y}:w=8:h=8:color=0x506070:t=fill")
  filters+=("drawbox=x=${x}:y=${y}:w=8:h=8:color=0x60E080:t=fill:enable='eq(${step}\,${i})'")
done
chain=$(IFS=,; echo "${filters[*]}")
ffmpeg -loglevel error -y -f lavfi -i "color=c=0x203040:s=176x144:r=8:d=2" \
  -vf "$chain" -frames:v 16 -c:v png -pix_fmt rgb24 "$out"
