#!/bin/sh
# Packed size of the default content: halvoren-pack (solid) against zip at
# its default level.  Run from the top of a built tree:  sh bench/pack_ratio.sh
set -e
build=${BUILD:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tools/content/halvoren-content" --out "$work" --pack
raw=$(find "$work/data" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
rar=$(stat -c %s "$work/data.dat")
(cd "$work/data" && zip -r -q "$work/data.zip" .)
zip=$(stat -c %s "$work/data.zip")
awk -v raw="$raw" -v rar="$rar" -v zip="$zip" 'BEGIN {
    printf "content  %10d bytes\n", raw
    printf "data.dat %10d bytes  %.1f%% of the content\n", rar, 100 * rar / raw
    printf "zip -r   %10d bytes  %.1f%% of the content\n", zip, 100 * zip / raw
    printf "data.dat is %.1f%% of the zip\n", 100 * rar / zip
}'
