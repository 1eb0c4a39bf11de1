#!/usr/bin/env bash
# Brings a Debian 12 machine to a built tree: installs the missing packages
# from scripts/packages.txt, configures and builds in Release, and makes the
# default content when it is missing or was made by an older generator.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"

missing=()
while read -r pkg; do
    [[ -z "$pkg" || "$pkg" == \#* ]] && continue
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done < "$root/scripts/packages.txt"
if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    sudo=()
    [[ $(id -u) -ne 0 ]] && sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build"

# The default content: regenerated when the generator's version changed.
content="$root/content"
if [[ -x "$build/tools/content/halvoren-content" ]]; then
    want=$("$build/tools/content/halvoren-content" --content-version)
    have=$(cat "$content/.version" 2>/dev/null || true)
    if [[ "$want" != "$have" || ! -f "$content/data/hlv.txt" ]]; then
        echo "setup: making the default content in $content"
        rm -rf "$content/data"
        "$build/tools/content/halvoren-content" --out "$content"
        echo "$want" > "$content/.version"
    fi
fi
