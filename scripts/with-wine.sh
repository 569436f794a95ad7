#!/usr/bin/env bash
# Runs one command inside a private X server and a fresh Wine prefix, for working by hand:
#   bash scripts/with-wine.sh ctest --test-dir build/win64 -R Registry
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUN_DIR=$(mktemp -d /tmp/tarnwick-wine.XXXXXX)
# shellcheck source=wine-env.sh
source "$ROOT/scripts/wine-env.sh"
trap 'wine_env_stop; rm -rf "$RUN_DIR"' EXIT
wine_env_start
"$@"
