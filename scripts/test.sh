#!/usr/bin/env bash
# Sets up this machine if needed, builds every configuration (native, sanitizers, Windows x86_64
# and i686) and runs every test suite under one CTest: native and sanitizer tests directly, the
# Windows tests under Wine with a private X server and a fresh prefix.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

bash scripts/bootstrap.sh
bash scripts/build.sh native asan fuzz win64 win32

RUN_DIR=$(mktemp -d /tmp/tarnwick-test.XXXXXX)
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
trap 'wine_env_stop; rm -rf "$RUN_DIR"' EXIT
echo "[test] starting Xvfb and a fresh Wine prefix"
wine_env_start

# One CTest over every build, so the run ends with one summary of everything.
mkdir -p build/all
win32_tests="$ROOT/build/win32"
if [ "$TARNWICK_WINE32" != 1 ]; then
  # Without IA-32 emulation in the kernel no 32-bit program runs, under Wine or otherwise: the
  # i686 build is still made and its import check (which reads the files) still runs.
  echo "[test] this machine's kernel cannot run 32-bit programs: the i686 tests under Wine are left out" >&2
  win32_tests="$ROOT/build/win32/tests/shipping"
fi
cat >build/all/CTestTestfile.cmake <<CTEST
subdirs("$ROOT/build/native" "$ROOT/build/asan" "$ROOT/build/fuzz" "$ROOT/build/win64" "$win32_tests")
CTEST
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1
cd build/all
ctest -j "$(nproc)" --output-on-failure --timeout 900 "$@"
