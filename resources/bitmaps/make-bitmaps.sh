#!/usr/bin/env bash
# Draws the main frame's picture-button bitmaps, icon 128, the start-up picture 288 and the
# default card picture 203 as SVG files beside this script, and writes bitmaps.qrc naming them.
# Each button has four pictures: up (raised), down (pressed in, glyph moved one pixel), focus
# (raised with a dotted focus frame) and disabled (greyed, embossed glyph).
set -euo pipefail
cd "$(dirname "$0")"

face='#D4D0C8'; light='#FFFFFF'; shadow='#808080'; dark='#404040'

# button <file> <w> <h> <state> <glyph with @1 (main colour) and @2 (accent colour)>
button() {
  local file=$1 w=$2 h=$3 state=$4 glyph=$5 c1=$6 c2=$7 dx=0 tl=$light br=$dark focus=''
  case $state in
    down) dx=1; tl=$dark; br=$light ;;
    focus) focus="<rect x='3.5' y='3.5' width='$((w-7))' height='$((h-7))' fill='none' stroke='#000' stroke-dasharray='1,1'/>" ;;
    disabled) c1='#A0A0A0'; c2='#A0A0A0' ;;
  esac
  local g=${glyph//@1/$c1}; g=${g//@2/$c2}
  local emboss=''
  if [[ $state == disabled ]]; then
    local e=${glyph//@1/$light}; e=${e//@2/$light}
    emboss="<g transform='translate(1,1)'>$e</g>"
  fi
  cat >"$file" <<SVG
<svg xmlns='http://www.w3.org/2000/svg' width='$w' height='$h' viewBox='0 0 $w $h'>
<rect width='$w' height='$h' fill='$face'/>
<polyline points='0.5,$((h-1)) 0.5,0.5 $((w-1)),0.5' fill='none' stroke='$tl'/>
<polyline points='0.5,$((h-0)).5 $((w)).5,$((h)).5 $((w)).5,0.5' fill='none' stroke='$br' transform='translate(-1,-1)'/>
<g transform='translate($((dx)),$((dx))) scale($(awk "BEGIN{print $w/56}"),$(awk "BEGIN{print $h/56}"))'>$emboss$g</g>
$focus
</svg>
SVG
}

# four pictures for ids up down focus disabled (a "-" skips one)
four() {
  local w=$1 h=$2 glyph=$3 c1=$4 c2=$5; shift 5
  local states=(up down focus disabled) i=0
  for id in "$@"; do
    [[ $id != - ]] && button "$id.svg" "$w" "$h" "${states[$i]}" "$glyph" "$c1" "$c2"
    i=$((i+1))
  done
}

handset="<path d='M10 30 C10 18 46 18 46 30 L46 36 L36 36 L36 30 C30 27 26 27 20 30 L20 36 L10 36 Z' fill='@1'/><rect x='18' y='36' width='20' height='10' rx='2' fill='@1'/><circle cx='28' cy='41' r='3' fill='@2'/>"
dial="$handset<path d='M40 8 l6 6 l-6 6 M46 14 h-12' stroke='@2' stroke-width='3' fill='none'/>"
hangup="<g transform='rotate(180 28 30)'>$handset</g><path d='M12 10 l10 10 M22 10 l-10 10' stroke='@2' stroke-width='3'/>"
camera="<rect x='8' y='18' width='28' height='22' rx='3' fill='@1'/><path d='M36 24 L48 16 L48 42 L36 34 Z' fill='@1'/><circle cx='22' cy='29' r='6' fill='@2'/>"
files="<path d='M12 8 h20 l8 8 v30 h-28 Z' fill='#FFFFFF' stroke='@1' stroke-width='2'/><path d='M32 8 v8 h8' fill='none' stroke='@1' stroke-width='2'/><path d='M18 30 h18 M30 24 l6 6 l-6 6' stroke='@2' stroke-width='3' fill='none'/>"
chat="<path d='M8 12 h40 v22 h-24 l-10 10 v-10 h-6 Z' fill='@1'/><rect x='14' y='19' width='28' height='3' fill='@2'/><rect x='14' y='26' width='18' height='3' fill='@2'/>"
options="<circle cx='28' cy='28' r='12' fill='none' stroke='@1' stroke-width='7' stroke-dasharray='5,4'/><circle cx='28' cy='28' r='9' fill='@1'/><circle cx='28' cy='28' r='4' fill='@2'/>"
up="<path d='M14 40 L28 16 L42 40 Z' fill='@1'/>"
down="<path d='M14 16 L28 40 L42 16 Z' fill='@1'/>"
hold="<rect x='14' y='12' width='10' height='32' fill='@1'/><rect x='32' y='12' width='10' height='32' fill='@1'/>"
book="<rect x='10' y='8' width='30' height='40' rx='2' fill='@1'/><rect x='14' y='12' width='22' height='32' fill='#FFFFFF'/><path d='M38 30 h14 M45 23 v14' stroke='@2' stroke-width='5'/>"

big=(55 56); small=(22 22)
four "${big[@]}" "$dial" '#1E7B34' '#1E4FA0' 173 175 176 177
four "${big[@]}" "$hangup" '#B02020' '#B02020' 283 280 281 282
four "${big[@]}" "$camera" '#20305A' '#6FA8DC' 180 178 179 181
four "${big[@]}" "$files" '#20305A' '#1E7B34' 182 183 184 185
four "${big[@]}" "$chat" '#1E4FA0' '#FFFFFF' 186 189 187 188
four "${big[@]}" "$options" '#505050' '#D4D0C8' 306 301 302 304
four "${small[@]}" "$up" '#20305A' '#20305A' 206 207
four "${small[@]}" "$down" '#20305A' '#20305A' 205 204
four "${small[@]}" "$hold" '#C07000' '#C07000' IDB_SMYIMAGEU IDB_SMYIMAGED IDB_SMYIMAGEF IDB_SMYIMAGEX
four "${small[@]}" "$book" '#6B3E1E' '#1E7B34' 231 233 232 234

# icon 128: a kestrel's wing over a telephone, on a blue disc
cat >128.svg <<'SVG'
<svg xmlns='http://www.w3.org/2000/svg' width='64' height='64' viewBox='0 0 64 64'>
<circle cx='32' cy='32' r='30' fill='#1E4FA0'/>
<path d='M8 30 C20 14 36 12 56 18 C44 20 36 24 30 32 Z' fill='#E0A020'/>
<path d='M14 42 C14 34 50 34 50 42 L50 46 L42 46 L42 42 C36 40 28 40 22 42 L22 46 L14 46 Z' fill='#FFFFFF'/>
<rect x='24' y='46' width='16' height='8' rx='2' fill='#FFFFFF'/>
</svg>
SVG

# start-up picture 288
cat >288.svg <<'SVG'
<svg xmlns='http://www.w3.org/2000/svg' width='500' height='330' viewBox='0 0 500 330'>
<defs><linearGradient id='sky' x1='0' y1='0' x2='0' y2='1'>
<stop offset='0' stop-color='#1E4FA0'/><stop offset='1' stop-color='#6FA8DC'/></linearGradient></defs>
<rect width='500' height='330' fill='url(#sky)'/>
<path d='M60 150 C130 70 220 60 330 90 C260 100 210 120 180 160 Z' fill='#E0A020'/>
<path d='M180 160 C220 140 300 150 360 175 C300 172 240 176 200 190 Z' fill='#B07010'/>
<text x='250' y='240' font-family='DejaVu Sans, sans-serif' font-size='48' font-weight='bold' fill='#FFFFFF' text-anchor='middle'>Kestrelcall</text>
<text x='250' y='275' font-family='DejaVu Sans, sans-serif' font-size='16' fill='#FFFFFF' text-anchor='middle'>Video telephone over one serial line</text>
<rect x='0' y='300' width='500' height='30' fill='#20305A'/>
<text x='250' y='320' font-family='DejaVu Sans, sans-serif' font-size='12' fill='#C8D2E6' text-anchor='middle'>Starting...</text>
</svg>
SVG

# default card picture 203: a figure on a card
cat >203.svg <<'SVG'
<svg xmlns='http://www.w3.org/2000/svg' width='160' height='120' viewBox='0 0 160 120'>
<rect width='160' height='120' fill='#C8D2E6'/>
<circle cx='80' cy='44' r='22' fill='#20305A'/>
<path d='M36 120 C36 86 124 86 124 120 Z' fill='#20305A'/>
</svg>
SVG

{
  echo '<!DOCTYPE RCC><RCC version="1.0">'
  echo '<qresource prefix="/bitmaps">'
  for f in *.svg; do echo "  <file>$f</file>"; done
  echo '</qresource>'
  echo '</RCC>'
} >bitmaps.qrc
