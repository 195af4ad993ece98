#!/usr/bin/env bash
# Installs what is missing, builds the player alone, and starts it with the given arguments.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" volaro >&2
exec "$here/build/volaro" "$@"
