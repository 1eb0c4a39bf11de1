#!/bin/sh
# Contact sheet of the whole default show: one thumbnail per second of music
# time, labelled with that second, tiled into one picture.
#
#   scripts/contact-sheet.sh [OUT]         # default docs/contact-sheet.jpg
#
# Needs a built tree (halvoren-capture, halvoren-content) and ffmpeg.  The
# show is captured offscreen on the simulated clock at FPS frames per second
# and every FPS-th frame kept, so each thumbnail shows the show exactly as it
# looks at that second when played at FPS, beat effects and flashes included.
# Makes the default content first if it is missing or out of date.
#
# Environment: BUILD (build tree, default build), CONTENT (folder holding
# data/, default content), FPS (default 25), THUMB (thumbnail size, default
# 160x120), COLUMNS (thumbnails per row, default 13).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

out=${1:-docs/contact-sheet.jpg}
build=${BUILD:-build}
content=${CONTENT:-content}
fps=${FPS:-25}
thumb=${THUMB:-160x120}
columns=${COLUMNS:-13}

capture=$build/tools/capture/halvoren-capture
generator=$build/tools/content/halvoren-content
font=/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf

die() { echo "contact-sheet: $*" >&2; exit 1; }

[ -x "$capture" ] || die "$capture not found; build it first: cmake --build $build --target halvoren-capture"
command -v ffmpeg >/dev/null 2>&1 || die "ffmpeg not found (scripts/packages.txt lists it)"
# The default content is remade, as scripts/setup.sh does, when it is
# missing or an older generator made it; a folder given in CONTENT is used
# as it stands.
if [ -z "${CONTENT:-}" ] && [ -x "$generator" ]; then
    want=$("$generator" --content-version)
    have=$(cat "$content/.version" 2>/dev/null || true)
    if [ "$want" != "$have" ] || [ ! -f "$content/data/hlv.txt" ]; then
        rm -rf "$content/data"
        "$generator" --out "$content" >/dev/null || die "could not generate the content into $content"
        echo "$want" >"$content/.version"
    fi
fi
[ -f "$content/data/hlv.txt" ] || die "$content/data/hlv.txt missing; make the content with $generator --out $content"

work=$(mktemp -d "${TMPDIR:-/tmp}/contact-sheet.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

# Thumbnails are rendered at twice their size and scaled down, so thin
# lines and sprites survive as a soft glow instead of flickering pixels.
w=${thumb%x*}
h=${thumb#*x}
SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-offscreen} SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} \
    "$capture" --dir "$content" --size "$((w * 2))x$((h * 2))" --fps "$fps" --every "$fps" \
    --frames "$work/frames" --report "$work/report.json" >"$work/capture.log" 2>&1 ||
    { cat "$work/capture.log" >&2; die "halvoren-capture failed"; }

count=$(find "$work/frames" -name 'frame-*.png' | wc -l)
[ "$count" -gt 0 ] || die "the capture wrote no frames"
rows=$(( (count + columns - 1) / columns ))

# Frame n of the sequence is second n of the music.
label=""
if [ -f "$font" ]; then
    label=",drawtext=fontfile=$font:text='%{eif\\:n\\:d} s':x=4:y=4:fontsize=13:fontcolor=white:box=1:boxcolor=black@0.6:boxborderw=2"
fi

mkdir -p "$(dirname "$out")"
ffmpeg -loglevel error -y -framerate 1 -pattern_type glob -i "$work/frames/frame-*.png" \
    -vf "scale=$w:$h:flags=area$label,tile=${columns}x${rows}:padding=2:color=0x202020" \
    -frames:v 1 -q:v 5 "$out" || die "ffmpeg could not make $out"

echo "contact-sheet: $count seconds in $out ($(du -k "$out" | cut -f1) KB)"
