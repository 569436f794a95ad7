#!/usr/bin/env bash
# Decoding speed: `tarnwick-zip test` against a raw loop over the same items (zlib raw inflate and
# CRC-32 through Python's zlib, each item read whole) and `unzip -tqq`, in one run on a generated
# archive of 2,000 mixed text and binary files (about 200 MB, deflated by zipfile at level 6).
# Repetitions are interleaved so that every side sees the same load. With BEFORE set to another
# tarnwick-zip (an older build), it runs beside them as one more side.
#
#   bench/zip/zip_test_vs_zlib.sh [BUILD_DIR]       (default: build/native)
#   REPS=5 FILES=2000 BEFORE=/path/to/old/tarnwick-zip bench/zip/zip_test_vs_zlib.sh
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build/native}
TOOL=$BUILD/tools/zip/tarnwick-zip
REPS=${REPS:-5}
FILES=${FILES:-2000}
BEFORE=${BEFORE:-}

[ -x "$TOOL" ] || { echo "no $TOOL: cmake --build build/native --target tarnwick-zip" >&2; exit 1; }
[ -z "$BEFORE" ] || [ -x "$BEFORE" ] || { echo "BEFORE=$BEFORE is not a program" >&2; exit 1; }
for tool in unzip python3; do
  command -v "$tool" >/dev/null || { echo "$tool not found" >&2; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-zip-test.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

echo "[bench] generating mixed.zip ($FILES files)"
python3 - "$FILES" <<'PY'
import random, sys, zipfile
files = int(sys.argv[1])
rng = random.Random(2026)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 9))) for _ in range(5000)]
with zipfile.ZipFile('mixed.zip', 'w', zipfile.ZIP_DEFLATED, compresslevel=6) as z:
    for i in range(files):
        size = rng.randint(20_000, 180_000)
        if i % 2 == 0:
            data = ' '.join(rng.choice(words) for _ in range(size // 5)).encode()[:size]
        else:
            data = rng.randbytes(size)
        z.writestr('dir%02d/file%04d.%s' % (i % 40, i, 'txt' if i % 2 == 0 else 'bin'), data)
PY

# The raw loop: each item's deflated bytes read whole, inflated raw, CRC-32 checked.
cat >raw_loop.py <<'PY'
import struct, sys, zipfile, zlib
infos = zipfile.ZipFile(sys.argv[1]).infolist()
bad = 0
with open(sys.argv[1], 'rb') as f:
    for info in infos:
        f.seek(info.header_offset)
        header = f.read(30)
        name_length, extra_length = struct.unpack('<HH', header[26:30])
        f.seek(name_length + extra_length, 1)
        data = f.read(info.compress_size)
        plain = zlib.decompress(data, -15) if info.compress_type == 8 else data
        if zlib.crc32(plain) != info.CRC or len(plain) != info.file_size:
            bad += 1
sys.exit(1 if bad else 0)
PY

# One timed run: prints "wall cpu" seconds (cpu: user + system of the process and its children).
run() {
  python3 - "$@" <<'PY'
import os, subprocess, sys, time
t0 = time.monotonic()
before = os.times()
result = subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL)
after = os.times()
wall = time.monotonic() - t0
cpu = (after.children_user - before.children_user) + (after.children_system - before.children_system)
if result.returncode != 0:
    sys.exit('%s failed with %d' % (sys.argv[1], result.returncode))
print('%.3f %.3f' % (wall, cpu))
PY
}

sides=("tarnwick-zip test" "raw zlib loop (python)" "unzip -tqq")
[ -z "$BEFORE" ] || sides+=("tarnwick-zip test (BEFORE)")
declare -A walls cpus
for rep in $(seq "$REPS"); do
  for side in "${sides[@]}"; do
    case $side in
      "tarnwick-zip test") r=$(run "$TOOL" test mixed.zip) ;;
      "raw zlib loop (python)") r=$(run python3 raw_loop.py mixed.zip) ;;
      "unzip -tqq") r=$(run unzip -tqq mixed.zip) ;;
      *) r=$(run "$BEFORE" test mixed.zip) ;;
    esac
    read -r wall cpu <<<"$r"
    walls[$side]="${walls[$side]:-} $wall"
    cpus[$side]="${cpus[$side]:-} $cpu"
    echo "  rep $rep: $side ${wall}s wall, ${cpu}s cpu"
  done
done

echo "[bench] testing $(du -m mixed.zip | cut -f1) MB, $FILES items ($REPS runs each; min-max, median)"
summary() { tr ' ' '\n' | grep . | sort -n | awk '{a[NR]=$1} END {printf "%.2f-%.2f s (median %.2f)", a[1], a[NR], a[int((NR+1)/2)]}'; }
for side in "${sides[@]}"; do
  printf '  %-28s wall %s, cpu %s\n' "$side" "$(summary <<<"${walls[$side]}")" "$(summary <<<"${cpus[$side]}")"
done
