#!/usr/bin/env bash
# Builds the benchmarks in build-bench/ and runs them all (the soak for one minute), then
# prints one table: each benchmark's figures, a line each.
#   scripts/bench.sh            every benchmark
#   scripts/bench.sh NAME...    only those (bench_deckdecode, bench_searchwalk, ...)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh" --bench
build="$here/build-bench"
if [[ ! -f "$build/build.ninja" ]]; then
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVOLARO_BUILD_TESTS=OFF -DVOLARO_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$build" -j "$(nproc)" >/dev/null
mapfile -t all < <(find "$build/bench" -type f -executable -name 'bench_*' | sort)
wanted=("$@")
export QT_QPA_PLATFORM=offscreen XDG_CACHE_HOME="$build/benchcache"
declare -A args=([bench_soak]=1)
results=()
for exe in "${all[@]}"; do
    name="$(basename "$exe")"
    if [[ ${#wanted[@]} -gt 0 && ! " ${wanted[*]} " == *" $name "* ]]; then
        continue
    fi
    echo "running $name ..." >&2
    out="$("$exe" ${args[$name]:-} 2>&1)" || out+=$'\n(exited with an error)'
    while IFS= read -r line; do
        [[ -n "$line" ]] && results+=("$(printf '%-20s | %s' "$name" "$line")")
    done <<<"$out"
done
printf '%-20s | %s\n' benchmark figure
printf '%s\n' "---------------------+-------------------------------------------------------------"
printf '%s\n' "${results[@]}"
