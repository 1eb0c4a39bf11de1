#!/bin/sh
# Captures the show in N segments run side by side by GNU parallel, then
# joins their videos into one file with the sound.
#
#   scripts/capture-segments.sh N VIDEO [halvoren-capture options...]
#   scripts/capture-segments.sh 8 out/show.mp4 --dir content --size 1920x1080 --fps 60
#
# Each segment is one halvoren-capture run with --segment I/N --video VIDEO;
# the first also writes the span's sound to AUDIO.  VIDEO may be "-" for no
# video (give --frames DIR among the options then: every run writes its frames
# there under their global numbers).  Segments whose video is already there
# are not run again, so after a failed run the same command finishes the set.
# The runs share nothing but the content folder and the output folder.
#
# Environment: BUILD (build tree, default build), CAPTURE (the program,
# default $BUILD/tools/capture/halvoren-capture), AUDIO (default VIDEO with
# .wav for its extension), JOBS (runs at a time, default one per core).
# PARALLEL holds more options for GNU parallel itself, e.g. to spread the
# runs over hosts that see the same folders at the same paths:
#   PARALLEL='--sshlogin 8/render1,8/render2 --env LP_NUM_THREADS' scripts/capture-segments.sh ...
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
die() { echo "capture-segments: $*" >&2; exit 1; }

[ $# -ge 2 ] || die "usage: capture-segments.sh N VIDEO|- [halvoren-capture options...]"
n=$1
video=$2
shift 2
case $n in
    '' | *[!0-9]* | 0*) die "N must be a whole number from 1 up, not '$n'" ;;
esac
build=${BUILD:-$root/build}
capture=${CAPTURE:-$build/tools/capture/halvoren-capture}
[ -x "$capture" ] || die "$capture not found; build it first: cmake --build $build --target halvoren-capture"
command -v parallel >/dev/null 2>&1 || die "GNU parallel not found (apt-get install parallel)"
audio=${AUDIO:-${video%.*}.wav}

# Words for the shell each job runs in, quoted as that shell reads them.
quote() { printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"; }
options=
for arg in "$@"; do options="$options $(quote "$arg")"; done
# Segment I's video, named as halvoren-capture names it.
segment() {
    name=$(basename -- "$video")
    stem=${name%.*}
    ext=.${name##*.}
    if [ "$stem" = "$name" ] || [ -z "$stem" ]; then stem=$name ext=; fi
    printf '%s/%s.segment-%s-of-%s%s' "$(dirname -- "$video")" "$stem" "$1" "$n" "$ext"
}
[ "$video" = - ] || mkdir -p "$(dirname -- "$video")"

jobs=$(mktemp "${TMPDIR:-/tmp}/capture-segments.XXXXXX")
trap 'rm -f "$jobs"' EXIT INT TERM
i=1
while [ "$i" -le "$n" ]; do
    line="$(quote "$capture")$options --segment $i/$n"
    if [ "$video" != - ]; then
        if [ -f "$(segment "$i")" ] && { [ "$i" -ne 1 ] || [ -f "$audio" ]; }; then
            i=$((i + 1))
            continue
        fi
        line="$line --video $(quote "$video")"
        [ "$i" -eq 1 ] && line="$line --audio $(quote "$audio")"
    fi
    echo "$line" >>"$jobs"
    i=$((i + 1))
done

# Every run goes to the end, whatever the others do: a failed segment leaves
# the finished ones in place and the join names it.
status=0
if [ -s "$jobs" ]; then
    export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}" SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
    parallel --will-cite --jobs "${JOBS:-100%}" <"$jobs" || status=$?
fi
[ "$video" = - ] && exit "$status"
"$root/scripts/join-segments.sh" "$video" "$n" "$audio"
