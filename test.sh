#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on any failure.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/install-deps.sh" --test
"$here/scripts/build.sh"
cd "$here/build"
ctest --output-on-failure -j "$(nproc)" --timeout 300
