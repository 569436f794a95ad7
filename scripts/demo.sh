#!/usr/bin/env bash
# Sets up this machine if needed, builds the demo and runs it: a sample package is written,
# enciphered into _setup.pkg, deciphered again as the setup program does, and its header printed.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
bash scripts/bootstrap.sh
mkdir -p build
if ! { cmake --preset native && cmake --build build/native --target tarnwick-demo; } >build/demo.log 2>&1; then
  tail -n 60 build/demo.log; exit 1
fi
WORK=$(mktemp -d /tmp/tarnwick-demo.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
build/native/tools/demo/tarnwick-demo "$WORK"
