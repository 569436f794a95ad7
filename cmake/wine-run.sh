#!/usr/bin/env bash
# Runs a Windows executable under Wine for CTest. Refuses anything but PE32+: a 32-bit program
# under this 64-bit-only Wine exits 0 without running, which would pass a test unseen.
set -u
exe=$1; shift
if ! file -b "$exe" | grep -q 'PE32+'; then
  echo "wine-run: $exe is not a 64-bit Windows program; it cannot run under this Wine" >&2
  exit 126
fi
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-run: WINEPREFIX is not set; run the tests through scripts/test.sh" >&2
  exit 126
fi
exec wine "$exe" "$@"
