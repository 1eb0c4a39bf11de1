#!/usr/bin/env bash
# Builds every libFuzzer target (tests/fuzz/<name>_fuzz.cpp) with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer in build-fuzz/, then runs
# each in turn for SECONDS (default 60), starting from its seed corpus
# tests/fuzz/corpus/<name>/.
#
#   scripts/fuzz.sh [SECONDS] [NAME...]     e.g. scripts/fuzz.sh 300 image
#   FUZZ_RUNS=1000000 scripts/fuzz.sh 3600  stop each after that many inputs
#
# New inputs go to build-fuzz/corpus/<name>/ (the seeds stay as they are);
# a crash leaves its input as build-fuzz/findings/<name>-crash-* and makes
# the script fail.  The targets' own output (library warnings) is muted;
# sanitizer reports still reach build-fuzz/findings/<name>.log.  Keep such an input in the seed corpus once it is fixed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-fuzz"
seconds=${1:-60}
shift || true

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DHALVOREN_TESTS=OFF -DHALVOREN_BENCHMARKS=OFF -DHALVOREN_FUZZ=ON >/dev/null

names=("$@")
if ((${#names[@]} == 0)); then
    for source in "$root"/tests/fuzz/*_fuzz.cpp; do
        name=$(basename "$source" _fuzz.cpp)
        names+=("$name")
    done
fi
targets=()
for name in "${names[@]}"; do targets+=("${name}_fuzz"); done
cmake --build "$build" --target "${targets[@]}"

mkdir -p "$build/findings"
runs=()
[[ -n "${FUZZ_RUNS:-}" ]] && runs=(-runs="$FUZZ_RUNS")
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for name in "${names[@]}"; do
    corpus="$build/corpus/$name"
    seeds="$root/tests/fuzz/corpus/$name"
    mkdir -p "$corpus" "$seeds"
    echo "fuzz: $name for ${seconds}s${FUZZ_RUNS:+ or $FUZZ_RUNS inputs}"
    if ! "$build/tests/fuzz/${name}_fuzz" "$corpus" "$seeds" -max_total_time="$seconds" "${runs[@]}" \
            -timeout=30 -rss_limit_mb=2048 -close_fd_mask=3 -print_final_stats=1 \
            -artifact_prefix="$build/findings/$name-" 2>"$build/findings/$name.log"; then
        failed+=("$name")
        tail -n 40 "$build/findings/$name.log"
    fi
    grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$build/findings/$name.log" || true
done
if ((${#failed[@]})); then
    echo "fuzz: findings in ${failed[*]} (inputs in $build/findings/)" >&2
    exit 1
fi
