#!/usr/bin/env bash
# Draws the dialing animation vi_dial.avi with FFmpeg's own filters: a telephone on the left and
# three signal bars that light up one after another towards a second telephone on the right,
# 12 frames at 8 frames a second, lossless PNG pictures in an AVI file.
# Usage: make-vi_dial.sh [output]   (default: vi_dial.avi beside this script)
set -euo pipefail
out=${1:-"$(dirname "$0")/vi_dial.avi"}
step='mod(n\,12)'
filters=(
  # the two telephones: a body and a handset across its top
  "drawbox=x=8:y=18:w=28:h=24:color=0x20305A:t=fill"
  "drawbox=x=4:y=12:w=36:h=8:color=0x20305A:t=fill"
  "drawbox=x=14:y=24:w=16:h=12:color=0xC8D2E6:t=fill"
  "drawbox=x=124:y=18:w=28:h=24:color=0x20305A:t=fill"
  "drawbox=x=120:y=12:w=36:h=8:color=0x20305A:t=fill"
  "drawbox=x=130:y=24:w=16:h=12:color=0xC8D2E6:t=fill"
  # the signal: three bars, each lit from its step onwards
  "drawbox=x=52:y=26:w=14:h=10:color=0x2E9E4F:t=fill:enable='gte(${step}\,2)'"
  "drawbox=x=73:y=22:w=14:h=18:color=0x2E9E4F:t=fill:enable='gte(${step}\,5)'"
  "drawbox=x=94:y=18:w=14:h=26:color=0x2E9E4F:t=fill:enable='gte(${step}\,8)'"
  # the far telephone rings in the last frames
  "drawbox=x=120:y=8:w=36:h=3:color=0xE0A020:t=fill:enable='gte(${step}\,10)'"
)
chain=$(IFS=,; echo "${filters[*]}")
ffmpeg -loglevel error -y -f lavfi -i "color=c=0xD4D0C8:s=160x60:r=8:d=1.5" \
  -vf "$chain" -frames:v 12 -c:v png -pix_fmt rgb24 "$out"
