#!/usr/bin/env bash
# Runs a Windows executable under Wine for CTest and the test scripts:
#   wine-run.sh [--expect PE32|PE32+] <program.exe> [arguments...]
# Each build states the kind of program it makes (the toolchain files pass --expect; scripts
# started by a test get TARNWICK_PE_KIND from it), and anything else is refused: a program of the
# wrong architecture must never "pass" by failing to start unseen. Without 32-bit Wine a PE32
# program exits 0 without running, so a PE32 is also refused when 32-bit Wine is missing.
set -u
expect=${TARNWICK_PE_KIND:-}
if [ "${1:-}" = "--expect" ]; then expect=$2; shift 2; fi
exe=$1; shift
case "$expect" in
  PE32|PE32+) ;;
  *) echo "wine-run: say which kind of program to expect (--expect PE32|PE32+ or TARNWICK_PE_KIND)" >&2; exit 126 ;;
esac
kind=$(file -b "$exe")
case "$kind" in
  PE32+\ *) actual=PE32+ ;;
  PE32\ *) actual=PE32 ;;
  *) echo "wine-run: $exe is not a Windows program ($kind)" >&2; exit 126 ;;
esac
if [ "$actual" != "$expect" ]; then
  echo "wine-run: $exe is $actual, but this build makes $expect programs" >&2
  exit 126
fi
if [ "$actual" = PE32 ] && [ ! -x /usr/lib/wine/wine ]; then
  echo "wine-run: $exe is a 32-bit program and 32-bit Wine is not installed (wine32:i386)" >&2
  exit 126
fi
if [ "$actual" = PE32 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "wine-run: $exe is a 32-bit program and this machine's kernel cannot run 32-bit Wine" >&2
  exit 126
fi
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-run: WINEPREFIX is not set; run the tests through scripts/test.sh" >&2
  exit 126
fi
exec wine "$exe" "$@"
