#!/bin/sh
# Joins the videos of a capture made in N segments into one file with the
# span's sound, without re-encoding the pictures.
#
#   scripts/join-segments.sh VIDEO N AUDIO.wav
#
# VIDEO is the name every segment run was given with --video; segment I of N
# wrote VIDEO with ".segment-I-of-N" before its extension (show.mp4 ->
# show.segment-3-of-7.mp4).  AUDIO.wav is the --audio file of whichever run
# was asked for it (it holds the whole span).  A segment file exists only
# once its run finished, so a missing one means a run that failed or has not
# run yet: the join then names every missing segment and writes nothing.
# Needs ffmpeg.
set -eu

die() { echo "join-segments: $*" >&2; exit 1; }

[ $# -eq 3 ] || die "usage: join-segments.sh VIDEO N AUDIO.wav"
video=$1
n=$2
audio=$3
case $n in
    '' | *[!0-9]* | 0*) die "N must be a whole number from 1 up, not '$n'" ;;
esac
command -v ffmpeg >/dev/null 2>&1 || die "ffmpeg not found (scripts/packages.txt lists it)"

# The same naming as halvoren-capture: the extension is what follows the last
# dot of the file's name, if that dot does not start the name.
dir=$(dirname -- "$video")
name=$(basename -- "$video")
stem=${name%.*}
ext=.${name##*.}
if [ "$stem" = "$name" ] || [ -z "$stem" ]; then
    stem=$name
    ext=
fi
segment() { printf '%s/%s.segment-%s-of-%s%s' "$dir" "$stem" "$1" "$n" "$ext"; }

missing=
i=1
while [ "$i" -le "$n" ]; do
    [ -f "$(segment "$i")" ] || missing="$missing $i"
    i=$((i + 1))
done
first=${missing# }
first=${first%% *}
[ -z "$missing" ] || die "incomplete set: missing segment(s)$missing of $n (no $(segment "$first"))"
[ -f "$audio" ] || die "missing the sound $audio (give --audio to one of the segment runs)"

work=$(mktemp -d "${TMPDIR:-/tmp}/join-segments.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

# The concat demuxer's list: absolute names, single quotes escaped its way.
i=1
while [ "$i" -le "$n" ]; do
    file=$(cd "$dir" && pwd)/$(basename -- "$(segment "$i")")
    printf "file '%s'\n" "$(printf '%s' "$file" | sed "s/'/'\\\\''/g")" >>"$work/list.txt"
    i=$((i + 1))
done

# The sound is encoded as a one-run capture encodes it; the pictures are copied.
ffmpeg -loglevel error -y -f concat -safe 0 -i "$work/list.txt" -i "$audio" -map 0:v -map 1:a \
    -c:v copy -c:a aac -b:a 192k "$work/joined$ext" || die "ffmpeg could not join the segments into $video"
mv -f "$work/joined$ext" "$video"
echo "join-segments: $n segments and $(basename -- "$audio") in $video"
