#!/usr/bin/env bash
# tarnwick-zip against unzip and Python's zipfile, in one run on the same archives:
#   1. extraction of a generated archive of 2,000 mixed text and binary files (about 200 MB),
#      tarnwick-zip extract vs `unzip -qq -o` vs zipfile.extractall;
#   2. listing an archive of 100,000 items, tarnwick-zip list vs `unzip -l`;
#   3. peak resident memory of tarnwick-zip extracting one 1 GiB item of zeros.
#
#   bench/zip/zip_vs_peers.sh [BUILD_DIR]       (default: build/native)
#   REPS=5 FILES=2000 bench/zip/zip_vs_peers.sh
#
# Each time is the median wall time of REPS runs, output to a fresh folder each run; MB/s counts
# uncompressed bytes written per second.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build/native}
TOOL=$BUILD/tools/zip/tarnwick-zip
REPS=${REPS:-3}
FILES=${FILES:-2000}
ITEMS=${ITEMS:-100000}

if [ ! -x "$TOOL" ]; then
  echo "no $TOOL: cmake --preset native && cmake --build build/native --target tarnwick-zip" >&2
  exit 1
fi
for tool in unzip python3 zip /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "$tool not found" >&2; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-zip-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

echo "[bench] generating archives in $WORK"
python3 - "$FILES" "$ITEMS" <<'PY'
import os, random, sys, zipfile
files, items = int(sys.argv[1]), int(sys.argv[2])
rng = random.Random(2026)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 9))) for _ in range(5000)]
with zipfile.ZipFile('mixed.zip', 'w', zipfile.ZIP_DEFLATED, compresslevel=6) as z:
    for i in range(files):
        size = rng.randint(20_000, 180_000)
        if i % 2 == 0:
            text = ' '.join(rng.choice(words) for _ in range(size // 5))
            data = text.encode()[:size]
        else:
            data = rng.randbytes(size)
        z.writestr('dir%02d/file%04d.%s' % (i % 40, i, 'txt' if i % 2 == 0 else 'bin'), data)
with zipfile.ZipFile('many.zip', 'w', zipfile.ZIP_STORED) as z:
    for i in range(items):
        z.writestr('d%03d/item%06d.txt' % (i % 500, i), b'x')
PY
# One 1 GiB item of zeros, streamed so the generator needs no gigabyte of memory either.
head -c 1073741824 /dev/zero | zip -q -1 zeros.zip -

unpacked=$(python3 -c "import zipfile; print(sum(i.file_size for i in zipfile.ZipFile('mixed.zip').infolist()))")

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
timeit() {  # timeit LABEL COMMAND...: median seconds over REPS runs, output folder fresh each run
  local label=$1; shift
  local runs=()
  for _ in $(seq "$REPS"); do
    rm -rf out && mkdir out
    local t0 t1
    t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N)
    runs+=("$(echo "$t1 - $t0" | bc -l)")
  done
  printf '%s\n' "${runs[@]}" | median
}

echo "[bench] 1. extraction: $(du -m mixed.zip | cut -f1) MB archive, $FILES files, $((unpacked / 1000000)) MB unpacked"
t_ours=$(timeit ours "$TOOL" extract mixed.zip -d out)
t_unzip=$(timeit unzip unzip -qq -o mixed.zip -d out)
t_py=$(timeit python python3 -c "import zipfile; zipfile.ZipFile('mixed.zip').extractall('out')")
for pair in "tarnwick-zip:$t_ours" "unzip -qq -o:$t_unzip" "python zipfile:$t_py"; do
  name=${pair%%:*} t=${pair##*:}
  printf '  %-16s %7.2f s  %7.1f MB/s\n' "$name" "$t" "$(echo "$unpacked / 1000000 / $t" | bc -l)"
done

echo "[bench] 2. listing: $ITEMS items"
t_ours=$(timeit ours "$TOOL" list many.zip)
t_unzip=$(timeit unzip unzip -l many.zip)
printf '  %-16s %7.3f s\n  %-16s %7.3f s\n' "tarnwick-zip" "$t_ours" "unzip -l" "$t_unzip"

echo "[bench] 3. peak memory extracting 1 GiB of zeros"
rm -rf out && mkdir out
/usr/bin/time -f '%M' -o rss.txt "$TOOL" extract zeros.zip -d out
printf '  %-16s %7.1f MiB max RSS\n' "tarnwick-zip" "$(echo "$(cat rss.txt) / 1024" | bc -l)"
rm -rf out && mkdir out
/usr/bin/time -f '%M' -o rss.txt unzip -qq -o zeros.zip -d out
printf '  %-16s %7.1f MiB max RSS\n' "unzip" "$(echo "$(cat rss.txt) / 1024" | bc -l)"
