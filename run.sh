#!/usr/bin/env bash
# Sets everything up, then plays the show from the folder that holds its data/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$root/scripts/setup.sh"
if [[ -d "$root/content/data" ]]; then cd "$root/content"; else cd "$root"; fi
exec "$root/build/halvoren"
