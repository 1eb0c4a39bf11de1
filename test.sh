#!/usr/bin/env bash
# Sets everything up, then runs the whole suite headless through CTest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$root/scripts/setup.sh"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
ctest --test-dir "$root/build" --output-on-failure -j2 "$@"
