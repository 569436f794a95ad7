#!/usr/bin/env bash
# Adding many small files: `tarnwick-zip add ARCHIVE '*.*' -C tree --level 6` against
# `zip -qr -6` on the same generated tree, in one run, repetitions interleaved so that both sides
# see the same load. With BEFORE set to another tarnwick-zip (an older build), it runs beside
# them as a third side. Then each side replaces the first item of zip's archive of the tree with
# a changed file: an update that keeps every other item.
#
#   bench/zip/zip_many_vs_peers.sh [BUILD_DIR]       (default: build/native)
#   REPS=3 FILES=70000 BEFORE=/path/to/old/tarnwick-zip bench/zip/zip_many_vs_peers.sh
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build/native}
TOOL=$BUILD/tools/zip/tarnwick-zip
REPS=${REPS:-3}
FILES=${FILES:-70000}
BEFORE=${BEFORE:-}

[ -x "$TOOL" ] || { echo "no $TOOL: cmake --build build/native --target tarnwick-zip" >&2; exit 1; }
[ -z "$BEFORE" ] || [ -x "$BEFORE" ] || { echo "BEFORE=$BEFORE is not a program" >&2; exit 1; }
for tool in zip python3; do
  command -v "$tool" >/dev/null || { echo "$tool not found" >&2; exit 1; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-zip-many.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

echo "[bench] generating $FILES small files (40 to 2,000 bytes of text) in 700 folders"
python3 - "$FILES" <<'PY'
import os, random, sys
files = int(sys.argv[1])
rng = random.Random(2026)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 9))) for _ in range(3000)]
for i in range(files):
    path = 'tree/Dir%03d/File%06d.txt' % (i % 700, i)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    size = rng.randint(40, 2000)
    with open(path, 'wb') as f:
        f.write(' '.join(rng.choice(words) for _ in range(size // 5)).encode()[:size])
PY

# One timed run: prints seconds; out.zip removed before, its item count checked after.
run() {
  rm -f "$WORK/out.zip"
  timed "$@"
}
# One timed command, output dropped: prints its wall seconds.
timed() {
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null
  t1=$(date +%s.%N)
  python3 -c "import sys; print('%.2f' % (float(sys.argv[2]) - float(sys.argv[1])))" "$t0" "$t1"
}
items() { python3 -c "import zipfile, sys; print(len([i for i in zipfile.ZipFile(sys.argv[1]).infolist() if not i.is_dir()]))" "$WORK/out.zip"; }

sides=("tarnwick-zip add" "zip -qr -6")
[ -z "$BEFORE" ] || sides+=("tarnwick-zip add (BEFORE)")
declare -A times counts
for rep in $(seq "$REPS"); do
  for side in "${sides[@]}"; do
    case $side in
      "tarnwick-zip add") t=$(run "$TOOL" add "$WORK/out.zip" '*.*' -C "$WORK/tree" --level 6) ;;
      "zip -qr -6") t=$(cd tree && run zip -qr -6 "$WORK/out.zip" .) ;;
      *) t=$(run "$BEFORE" add "$WORK/out.zip" '*.*' -C "$WORK/tree" --level 6) ;;
    esac
    times[$side]="${times[$side]:-} $t"
    counts[$side]=$(items)
    echo "  rep $rep: $side ${t}s"
  done
done

echo "[bench] adding $FILES small files, level 6 ($REPS runs each; min-max, median)"
for side in "${sides[@]}"; do
  read -r -a ts <<<"${times[$side]}"
  printf '%s\n' "${ts[@]}" | sort -n | awk -v side="$side" -v n="${counts[$side]}" \
    '{a[NR]=$1} END {printf "  %-28s %6.2f-%.2f s, median %.2f s (%d files in the archive)\n", side, a[1], a[NR], a[int((NR+1)/2)], n}'
done

# Replacing the first item: every other record is kept, so the update finds each one's old
# record; each side starts from a copy of zip's archive of the whole tree.
(cd tree && zip -qr -6 "$WORK/full.zip" .)
first=$(python3 -c "import zipfile, sys; print([i.filename for i in zipfile.ZipFile(sys.argv[1]).infolist() if not i.is_dir()][0])" "$WORK/full.zip")
mkdir -p "$WORK/changed/$(dirname "$first")"
echo "changed" >"$WORK/changed/$first"
replace_sides=("tarnwick-zip add" "zip -q")
[ -z "$BEFORE" ] || replace_sides+=("tarnwick-zip add (BEFORE)")
declare -A replaced
for rep in $(seq "$REPS"); do
  for side in "${replace_sides[@]}"; do
    cp "$WORK/full.zip" "$WORK/out.zip"
    sync
    case $side in
      "tarnwick-zip add") t=$(cd "$WORK" && timed "$TOOL" add out.zip "$first" -C changed --level 6) ;;
      "zip -q") t=$(cd "$WORK/changed" && timed zip -q "$WORK/out.zip" "$first") ;;
      *) t=$(cd "$WORK" && timed "$BEFORE" add out.zip "$first" -C changed --level 6) ;;
    esac
    [ "$(unzip -p "$WORK/out.zip" "$first")" = "changed" ] || { echo "$side did not replace $first" >&2; exit 1; }
    replaced[$side]="${replaced[$side]:-} $t"
    echo "  rep $rep: replace, $side ${t}s"
  done
done
echo "[bench] replacing the first of $FILES items ($REPS runs each; min-max, median)"
for side in "${replace_sides[@]}"; do
  read -r -a ts <<<"${replaced[$side]}"
  printf '%s\n' "${ts[@]}" | sort -n | awk -v side="$side" \
    '{a[NR]=$1} END {printf "  %-28s %6.2f-%.2f s, median %.2f s\n", side, a[1], a[NR], a[int((NR+1)/2)]}'
done
