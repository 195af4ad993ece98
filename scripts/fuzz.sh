#!/usr/bin/env bash
# Builds every fuzz target with clang's libFuzzer in build-fuzz/ and runs each for N
# seconds (default 30) over a copy of its seed corpus, then prints the runs, the coverage
# (edges and features) and the speed of each. Crashes are left in build-fuzz/crashes/<target>/
# and make the script fail.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
#        FUZZ_RUNS=N scripts/fuzz.sh ...   also stops each target after N runs
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
shift || true

if [[ ! -f build-fuzz/build.ninja ]]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVOLARO_FUZZ=ON -DVOLARO_BUILD_TESTS=OFF -DVOLARO_BUILD_BENCH=OFF
fi

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
    mapfile -t targets < <(cmake --build build-fuzz --target help | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\):.*/\1/p' | grep -v '_autogen')
fi
[[ ${#targets[@]} -gt 0 ]] || { echo "no fuzz targets" >&2; exit 1; }
cmake --build build-fuzz --target "${targets[@]}"

status=0
summary=()
for t in "${targets[@]}"; do
    bin=$(find build-fuzz -type f -executable -name "$t" | head -n 1)
    seeds=$(find tests -type d -path "*/corpus/$t" | head -n 1)
    work="build-fuzz/corpus/$t"
    crashes="build-fuzz/crashes/$t"
    mkdir -p "$work" "$crashes"
    [[ -n "$seeds" ]] && cp -n "$seeds"/* "$work"/ 2>/dev/null || true
    echo "== $t for ${seconds}s"
    if ! SDL_AUDIODRIVER=dummy "$bin" -max_total_time="$seconds" ${FUZZ_RUNS:+-runs="$FUZZ_RUNS"} \
        -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$crashes/" "$work" ${seeds:+"$seeds"} 2>"build-fuzz/$t.log"; then
        echo "$t FAILED; see build-fuzz/$t.log and $crashes/" >&2
        tail -n 30 "build-fuzz/$t.log" >&2
        status=1
    fi
    # libFuzzer's last status line: "#RUNS DONE cov: EDGES ft: FEATURES ... exec/s: N".
    last=$(grep -E "^#[0-9]+" "build-fuzz/$t.log" | tail -n 1)
    summary+=("$(awk -v t="$t" '{ for (i = 1; i < NF; ++i) v[$i] = $(i + 1);
        printf "%-22s %12s runs  %6s edges  %6s features  %7s runs/s\n",
               t, substr($1, 2), v["cov:"], v["ft:"], v["exec/s:"] }' <<<"$last")")
done
echo "== summary over ${seconds}s each"
printf '%s\n' "${summary[@]}"
exit $status
