#!/usr/bin/env bash
# Listing a large archive: `tarnwick-zip list` beside `unzip -l`, wall time and peak memory, in one
# run with the repetitions interleaved. Two archives of stored one-byte items in 500 folders (made
# by Python's zipfile): ITEMS and twice ITEMS, so that memory can be set beside the size of the
# central directory it grows with.
#
#   bench/zip/zip_list_vs_unzip.sh [BUILD_DIR]       (default: build/native)
#   REPS=5 ITEMS=100000 BEFORE=/path/to/older/tarnwick-zip bench/zip/zip_list_vs_unzip.sh
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build/native}
TOOL=$BUILD/tools/zip/tarnwick-zip
REPS=${REPS:-5}
ITEMS=${ITEMS:-100000}
BEFORE=${BEFORE:-}

[ -x "$TOOL" ] || { echo "no $TOOL: cmake --build build/native --target tarnwick-zip" >&2; exit 1; }
for tool in unzip python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "$tool not found" >&2; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-list-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

python3 - "$ITEMS" <<'PY'
import sys, zipfile
items = int(sys.argv[1])
for name, count in (('one.zip', items), ('two.zip', 2 * items)):
    with zipfile.ZipFile(name, 'w', zipfile.ZIP_STORED) as z:
        for i in range(count):
            z.writestr('d%03d/item%06d.txt' % (i % 500, i), b'x')
PY

directory_bytes() {  # the central directory's size, from the end record
  python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
end = data.rfind(b'PK\x05\x06')
print(struct.unpack_from('<I', data, end + 12)[0])
PY
}

sides=("tarnwick-zip|$TOOL list")
[ -n "$BEFORE" ] && sides+=("before|$BEFORE list")
sides+=("unzip -l|unzip -l")

stats() {  # stats FILE: median (min-max) of the numbers in FILE
  sort -n "$1" | awk '{a[NR]=$1} END {printf "%.3f (%.3f-%.3f)", a[int((NR+1)/2)], a[1], a[NR]}'
}

for archive in one.zip two.zip; do
  items=$(python3 -c "import zipfile,sys; print(len(zipfile.ZipFile(sys.argv[1]).infolist()))" "$archive")
  echo "[bench] listing $items items; central directory $(directory_bytes "$archive") bytes"
  for _ in $(seq "$REPS"); do
    for side in "${sides[@]}"; do
      label=${side%%|*} command=${side#*|}
      key=$(echo "$label" | tr -c 'a-z0-9\n' '_')
      # shellcheck disable=SC2086
      t0=$(date +%s.%N)
      /usr/bin/time -f '%M' -o t.txt $command "$archive" >/dev/null
      t1=$(date +%s.%N)
      read -r rss <t.txt
      echo "$t1 - $t0" | bc -l >>"wall.$key"
      echo "$rss" >>"rss.$key"
    done
  done
  for side in "${sides[@]}"; do
    label=${side%%|*}
    key=$(echo "$label" | tr -c 'a-z0-9\n' '_')
    printf '  %-14s wall %s s   peak memory %s KiB\n' "$label" "$(stats "wall.$key")" "$(sort -n "rss.$key" | tail -n 1)"
    rm -f "wall.$key" "rss.$key"
  done
done
