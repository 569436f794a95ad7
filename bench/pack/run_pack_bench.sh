#!/usr/bin/env bash
# The packager's benchmark: packs the install benchmark's product (FILES files, about SIZE_MB MB,
# half text that deflates about 2:1, half random bytes) with tarnwick-pack on one thread and on
# every core, beside Info-ZIP's `zip -6 -r` of the same tree, in one run, REPS times each in turn.
#   bench/pack/run_pack_bench.sh [build folder, default build/native]
#   REPS=5 FILES=2000 SIZE_MB=200 bench/pack/run_pack_bench.sh
# Prints, per command, the minimum, median and maximum of the wall-clock seconds, the throughput
# (source MB per second, on the median), and the output's size. tarnwick-pack's time covers the
# whole build: reading and checking the manifest, deflating, enciphering both files and writing
# the setup folder; zip's covers deflating and writing the archive.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/native}" && pwd)
PACK=$BUILD/tools/pack/tarnwick-pack
REPS=${REPS:-5}
FILES=${FILES:-2000}
SIZE_MB=${SIZE_MB:-200}
[ -x "$PACK" ] || { echo "no $PACK: build the native preset first" >&2; exit 1; }
command -v zip >/dev/null || { echo "needs Info-ZIP's zip" >&2; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-pack-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
echo "[bench] generating $FILES files, about $SIZE_MB MB"
python3 "$ROOT/bench/generate_product.py" "$FILES" "$SIZE_MB"
rm -rf items manifest.txt
# A stand-in stub: the packager only reads its header and copies it.
python3 -c "b=bytearray(256);b[0:2]=b'MZ';b[60]=64;b[64:68]=b'PE\0\0';b[68]=0x64;b[69]=0x86;open('stub.exe','wb').write(b)"
cat > tarnwick.toml <<'TOML'
[product]
name        = "Tarnwick Bench Product"
publisher   = "Tarnwick Bench"
destination = '[PROGRAMFILES]\Tarnwick Bench Product'
main        = '[INSTALLDIR]\bin\product.exe'
[[files]]
source = "product"
to     = '[INSTALLDIR]'
TOML
bytes=$(du -sb product | cut -f1)
cores=$(nproc)
echo "[bench] product: $bytes bytes in $FILES files; $cores cores; $REPS runs of each, interleaved"

declare -A times
run() { # name, command...
  local name=$1 start end
  shift
  sync
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  times[$name]+="$(((end - start) / 1000000)) "
}
for rep in $(seq 1 "$REPS"); do
  rm -f product.zip; run "zip -6 -r" zip -q -6 -r product.zip product
  rm -rf setup1; run "tarnwick-pack -j1" "$PACK" build tarnwick.toml -o setup1 --stub stub.exe -j 1
  rm -rf setupN; run "tarnwick-pack -j$cores" "$PACK" build tarnwick.toml -o setupN --stub stub.exe -j "$cores"
done
cmp -s setup1/_setup.dat setupN/_setup.dat || { echo "[bench] -j1 and -j$cores gave different bytes" >&2; exit 1; }

printf '%-20s %8s %8s %8s %10s %14s\n' command min median max "MB/s" "output bytes"
for name in "zip -6 -r" "tarnwick-pack -j1" "tarnwick-pack -j$cores"; do
  case $name in
    zip*) out=$(stat -c %s product.zip) ;;
    *-j1) out=$(stat -c %s setup1/_setup.dat) ;;
    *) out=$(stat -c %s setupN/_setup.dat) ;;
  esac
  python3 - "$name" "$bytes" "$out" ${times[$name]} <<'PY'
import statistics, sys
name, size, out, runs = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sorted(int(ms) / 1000 for ms in sys.argv[4:])
median = statistics.median(runs)
print('%-20s %8.2f %8.2f %8.2f %10.1f %14d' % (name, runs[0], median, runs[-1], size / 1e6 / median, out))
PY
done
echo "(_setup.dat is the enciphered archive: 8 bytes of padding at most beyond the ZIP)"
