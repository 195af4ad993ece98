#!/usr/bin/env bash
# Configures (once) and builds the project in build/: every target, or only those named
# (run.sh names just the player).
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ ! -f build/build.ninja ]]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
targets=()
for t in "$@"; do
    targets+=(--target "$t")
done
cmake --build build -j "$(nproc)" "${targets[@]}"
