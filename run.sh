#!/usr/bin/env bash
# Installs what is missing, builds, and starts the player with the given arguments.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" >&2
exec "$here/build/volaro" "$@"
