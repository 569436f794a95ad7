#!/usr/bin/env bash
# The writing side of tarnwick-zip against Info-ZIP zip, in one run on the same tree:
#   1. adding a generated tree of 2,000 mixed text and binary files (about 200 MB) at levels 1,
#      6 and 9: `tarnwick-zip add --level N` vs `zip -qr -N`, median wall time and archive size;
#   2. appending one small file to an archive of about 1 GiB: bytes the process wrote to the
#      disk (GNU time %O) and wall time, `tarnwick-zip add` vs `zip -qg`.
#
#   bench/zip/zip_write_vs_peers.sh [BUILD_DIR]       (default: build/native)
#   REPS=3 FILES=2000 BIG_MB=1024 bench/zip/zip_write_vs_peers.sh
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build/native}
TOOL=$BUILD/tools/zip/tarnwick-zip
REPS=${REPS:-3}
FILES=${FILES:-2000}
BIG_MB=${BIG_MB:-1024}

[ -x "$TOOL" ] || { echo "no $TOOL: cmake --build build/native --target tarnwick-zip" >&2; exit 1; }
for tool in zip python3 bc /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "$tool not found" >&2; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-zip-wbench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

echo "[bench] generating $FILES files in $WORK/tree"
python3 - "$FILES" <<'PY'
import os, random, sys
files = int(sys.argv[1])
rng = random.Random(2026)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 9))) for _ in range(5000)]
for i in range(files):
    size = rng.randint(20_000, 180_000)
    if i % 2 == 0:
        data = ' '.join(rng.choice(words) for _ in range(size // 5)).encode()[:size]
    else:
        data = rng.randbytes(size)
    path = 'tree/dir%02d/file%04d.%s' % (i % 40, i, 'txt' if i % 2 == 0 else 'bin')
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)
PY
total=$(du -sb tree | cut -f1)

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
timeit() {  # timeit COMMAND...: median seconds over REPS runs, out.zip removed before each
  local runs=()
  for _ in $(seq "$REPS"); do
    rm -f out.zip
    local t0 t1
    t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N)
    runs+=("$(echo "$t1 - $t0" | bc -l)")
  done
  printf '%s\n' "${runs[@]}" | median
}

echo "[bench] 1. adding $((total / 1000000)) MB in $FILES files"
printf '  %-22s %9s %10s %12s\n' "" "seconds" "MB/s" "bytes"
for level in 1 6 9; do
  t=$(timeit "$TOOL" add out.zip tree --level "$level"); s=$(stat -c %s out.zip)
  printf '  %-22s %9.2f %10.1f %12d\n' "tarnwick-zip --level $level" "$t" "$(echo "$total / 1000000 / $t" | bc -l)" "$s"
  t=$(timeit zip -qr "-$level" out.zip tree); s=$(stat -c %s out.zip)
  printf '  %-22s %9.2f %10.1f %12d\n' "zip -$level" "$t" "$(echo "$total / 1000000 / $t" | bc -l)" "$s"
done

# Bytes a process sent to the disk: GNU time's file system outputs, in 512-byte blocks, counted
# as pages are dirtied (so the page cache does not hide them).
written() {
  /usr/bin/time -f '%O' -o blocks.txt "$@" >/dev/null
  echo $(( $(tail -1 blocks.txt) * 512 ))
}

echo "[bench] 2. appending one file to a ${BIG_MB} MiB archive"
head -c $((BIG_MB * 1048576)) /dev/urandom > big.bin
echo "one more file" > small.txt
for who in tarnwick zip; do
  # Written back first, so neither tool pays for flushing the other's gigabyte.
  rm -f big.zip && zip -q -0 big.zip big.bin && sync
  t0=$(date +%s.%N)
  if [ "$who" = tarnwick ]; then w=$(written "$TOOL" add big.zip small.txt); else w=$(written zip -qg big.zip small.txt); fi
  t1=$(date +%s.%N)
  printf '  %-22s %9.2f s %14d bytes written\n' "$who" "$(echo "$t1 - $t0" | bc -l)" "$w"
done
