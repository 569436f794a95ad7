#!/usr/bin/env bash
# Extraction speed on both cores: `tarnwick-zip extract` against `unzip -qq -o`, repetitions
# interleaved so that every side sees the same load, on a generated tree of 2,000 mixed text and
# binary files (about 200 MB) zipped by Info-ZIP `zip -6`. With BEFORE set to another tarnwick-zip
# (an older build), it runs beside them as one more side.
#
#   bench/zip/zip_extract_vs_unzip.sh [BUILD_DIR]       (default: build/native)
#   REPS=5 FILES=2000 BEFORE=/path/to/old/tarnwick-zip bench/zip/zip_extract_vs_unzip.sh
#
# Prints, per side, the median wall time with the range over the runs, the median CPU time (user
# + system) and how many times faster than unzip. Each run writes into a fresh folder.
# FRESH_FS=1 (needs root) does all of it on an ext4 file system made for the run (a loop-mounted
# sparse image of FS_SIZE, default 3G): on a disk where many files were made and deleted before,
# ext4 spends seconds of kernel time finding room for new files, on both sides.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build/native}
TOOL=$BUILD/tools/zip/tarnwick-zip
REPS=${REPS:-5}
FILES=${FILES:-2000}
BEFORE=${BEFORE:-}
[ -x "$TOOL" ] || { echo "no $TOOL: cmake --build build/native --target tarnwick-zip" >&2; exit 1; }
[ -z "$BEFORE" ] || [ -x "$BEFORE" ] || { echo "BEFORE=$BEFORE is not a program" >&2; exit 1; }
for tool in unzip zip python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "$tool not found" >&2; exit 1; }
done
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-zip-extract.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
if [ "${FRESH_FS:-0}" = 1 ]; then
  IMAGE=$WORK.img
  truncate -s "${FS_SIZE:-3G}" "$IMAGE"
  mkfs.ext4 -q -F "$IMAGE"
  mount -o loop "$IMAGE" "$WORK"
  trap 'cd /; umount "$WORK"; rm -rf "$WORK" "$IMAGE"' EXIT
  echo "[bench] on a fresh ext4 file system at $WORK"
fi
cd "$WORK"

echo "[bench] generating $FILES files"
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
(cd tree && zip -6 -qr ../mixed.zip .)
rm -rf tree
unpacked=$(python3 -c "import zipfile; print(sum(i.file_size for i in zipfile.ZipFile('mixed.zip').infolist()))")
echo "[bench] mixed.zip: $(($(stat -c %s mixed.zip) / 1000000)) MB, $FILES files, $((unpacked / 1000000)) MB unpacked"

sides=(ours unzip)
[ -z "$BEFORE" ] || sides=(ours before unzip)
run_side() {
  case $1 in
    ours) "$TOOL" extract mixed.zip -d out >/dev/null ;;
    before) "$BEFORE" extract mixed.zip -d out >/dev/null ;;
    unzip) unzip -qq -o mixed.zip -d out ;;
  esac
}
: >times.txt
for rep in $(seq "$REPS"); do
  for side in "${sides[@]}"; do
    rm -rf out && mkdir out && sync
    export -f run_side; export TOOL BEFORE
    /usr/bin/time -f "$side %e %U %S" -a -o times.txt bash -c "run_side $side"
  done
done
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
t_unzip=$(awk '$1 == "unzip" { print $2 }' times.txt | median)
printf '%-14s %8s %12s %8s %9s\n' side "wall s" "range" "CPU s" "vs unzip"
for side in "${sides[@]}"; do
  wall=$(awk -v s="$side" '$1 == s { print $2 }' times.txt | median)
  range=$(awk -v s="$side" '$1 == s { print $2 }' times.txt | sort -g | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%.2f-%.2f", lo, hi }')
  cpu=$(awk -v s="$side" '$1 == s { print $3 + $4 }' times.txt | median)
  printf '%-14s %8.2f %12s %8.2f %8.2fx\n' "$side" "$wall" "$range" "$cpu" "$(echo "$t_unzip / $wall" | bc -l)"
done
