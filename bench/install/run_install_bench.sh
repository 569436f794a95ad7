#!/usr/bin/env bash
# The installation benchmark: installs a generated product (FILES files, about SIZE_MB MB) with
# tarnwick-install-bench under Wine and times each phase of the run, then times the raw
# operations on the same data in the same run: `openssl enc -d -bf-ecb` of a container the size
# of _setup.dat, `unzip -qq -o` of the data archive and `cp -r` of the extracted items.
#
#   bench/install/run_install_bench.sh [BUILD_DIR]      (default: build/win64)
#   REPS=3 FILES=2000 SIZE_MB=200 SPLIT=1 bench/install/run_install_bench.sh
#
# KEEP_WORK=1 leaves the generated product, data.zip and manifest.txt in the work folder (named
# at the start) for runs by hand.
# SPLIT=1 (the default) also takes the extract phase apart after the repetitions, REPS runs of
# each variant of `tarnwick-install-bench --extract-split` (see install_bench.cpp): the directory
# searches alone, ExtractFiles per item as the run calls it, one ExtractFiles("*.*"), the same
# without the drive check or the progress handler, decoding without writing, and the per-file
# Win32 calls by themselves.
#
# Each figure is the median of REPS repetitions; a repetition runs our installation and then each
# raw operation once, so a slow spell of the machine hits both sides. Goal: the whole installation
# within 1.5 x (openssl + unzip + cp).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/win64}" && pwd)
EXE=$BUILD/bench/install/tarnwick-install-bench.exe
REPS=${REPS:-3}
FILES=${FILES:-2000}
SIZE_MB=${SIZE_MB:-200}
SPLIT=${SPLIT:-1}

if [ ! -f "$EXE" ]; then
  echo "no $EXE: cmake --preset win64 && cmake --build build/win64 --target tarnwick-install-bench" >&2
  exit 1
fi
for tool in zip unzip openssl python3 wine; do
  command -v "$tool" >/dev/null || { echo "$tool not found" >&2; exit 1; }
done
# Everything below needs a Wine prefix and an X server; the harness gives a fresh pair.
if [ -z "${WINEPREFIX:-}" ]; then
  exec bash "$ROOT/scripts/with-wine.sh" bash "$0" "$BUILD"
fi

OSSL_PROVIDERS=()
if openssl version | grep -q '^OpenSSL 3'; then OSSL_PROVIDERS=(-provider legacy -provider default); fi
OSSL_KEY=234B45595F4845524523000000000000
ossl() { openssl enc "${OSSL_PROVIDERS[@]}" -bf-ecb -nosalt -K "$OSSL_KEY" "$@"; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-install-bench.XXXXXX")
if [ "${KEEP_WORK:-0}" = 1 ]; then trap 'rm -rf "$WORK/run" "$WORK/kept" "$WORK/split"' EXIT; else trap 'rm -rf "$WORK"' EXIT; fi
cd "$WORK"
# Wine sees the Unix root as Z:.
WORK_WIN="Z:${WORK//\//\\}"

echo "[bench] generating $FILES files, about $SIZE_MB MB, in $WORK"
python3 "$ROOT/bench/generate_product.py" "$FILES" "$SIZE_MB"
(cd items && zip -q -r ../data.zip .)
rm -rf items
# The raw decipher works on a container of the same size as _setup.dat.
ossl -in data.zip -out data.bf
unpacked=$(du -sb product | cut -f1)
echo "[bench] product $((unpacked / 1000000)) MB in $FILES files; data.zip $(($(stat -c %s data.zip) / 1000000)) MB"

seconds_of() {  # seconds_of COMMAND...: wall time of one run
  local t0 t1
  t0=$EPOCHREALTIME
  "$@"
  t1=$EPOCHREALTIME
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", b - a }'
}

: >times.txt  # lines: rep name seconds
# Both sides start after a sync and then run their steps back to back, as the installation runs
# its phases. Nothing is deleted between repetitions: on a disk mounted with discard, deleting
# 200 MB that has reached the disk takes seconds and slows whatever runs beside it, and ext4 makes
# new files slowly for a minute or more after many were deleted; so each repetition's output stays
# in kept/ until the end.
mkdir kept
for rep in $(seq "$REPS"); do
  sync
  wine "$EXE" "$WORK_WIN" 2>ours.err | tr -d '\r' >ours.txt || { cat ours.err >&2; echo "installation run failed" >&2; exit 1; }
  awk -v r="$rep" '$1 == "phase" { print r, $2, $3 } $1 == "total" { print r, "total", $2 }' ours.txt >>times.txt
  calls=$(awk '$1 == "calls" { print $2, $3, $4 }' ours.txt)
  if [ "$rep" = 1 ]; then
    # The installed tree must be the product, byte for byte.
    diff -rq -x uninst.exe -x _setup.pkg product "run/PF/Tarnwick Bench Product" >/dev/null ||
      { echo "the installed files differ from the product" >&2; exit 1; }
  fi
  mv run "kept/run.$rep"
  raw=kept/raw.$rep
  mkdir "$raw" && sync
  echo "$rep openssl $(seconds_of ossl -d -in data.bf -out "$raw/data.zip")" >>times.txt
  echo "$rep unzip $(seconds_of unzip -qq -o "$raw/data.zip" -d "$raw/items")" >>times.txt
  echo "$rep cp $(seconds_of cp -r "$raw/items" "$raw/copy")" >>times.txt
  echo "[bench] repetition $rep of $REPS done"
done
# The raw deletions come after all repetitions: for a minute or more after many files are
# deleted, ext4 passes over their freed inodes when it makes new files, which would slow down
# whatever creates files next.
for rep in $(seq "$REPS"); do
  sync
  echo "$rep rm $(seconds_of rm -r "kept/raw.$rep/items")" >>times.txt
done

median() {  # median NAME: the median over the repetitions
  awk -v n="$1" '$2 == n { print $3 }' times.txt | sort -g |
    awk '{ t[NR] = $1 } END { if (NR == 0) print "nan"; else print (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2 }'
}

echo
echo "Installation of $FILES files, $((unpacked / 1000000)) MB, under Wine; medians of $REPS runs (s)"
printf '%-10s %9s   %-24s %9s %7s\n' phase ours "raw operation" raw ratio
row() {  # row PHASE RAW_NAME RAW_LABEL
  local ours raw=""
  ours=$(median "$1")
  if [ -n "$2" ]; then raw=$(median "$2"); fi
  awk -v p="$1" -v o="$ours" -v l="$3" -v r="$raw" 'BEGIN {
    if (r == "") printf "%-10s %9.3f   %-24s %9s %7s\n", p, o, "-", "", "";
    else printf "%-10s %9.3f   %-24s %9.3f %6.1fx\n", p, o, l, r, o / r }'
}
row decipher openssl "openssl enc -d -bf-ecb"
row extract unzip "unzip -qq -o"
row copy cp "cp -r"
row clean-up rm "rm -r (not in the goal)"
row registry "" ""
row icons "" ""
row finish "" ""
total=$(median total)
sum=$(awk -v a="$(median openssl)" -v b="$(median unzip)" -v c="$(median cp)" 'BEGIN { printf "%.6f", a + b + c }')
awk -v t="$total" -v s="$sum" 'BEGIN {
  printf "%-10s %9.3f   %-24s %9.3f %6.1fx\n", "total", t, "openssl + unzip + cp", s, t / s;
  printf "goal: total within 1.5 x %.3f = %.3f s: %s\n", s, 1.5 * s, (t <= 1.5 * s) ? "met" : "MISSED" }'
echo "last run: $calls (ProcessMessages passes, progress positions, extraction progress events)"

if [ "$SPLIT" = 1 ]; then
  echo
  echo "[bench] taking the extract phase apart, $REPS runs of each variant"
  : >split.txt
  for rep in $(seq "$REPS"); do
    for variant in search per-item one-call one-call-no-flush one-call-no-events decode probes; do
      sync
      wine "$EXE" --extract-split "$WORK_WIN" "$variant" 2>split.err | tr -d '\r' >>split.txt ||
        { cat split.err >&2; echo "extract split $variant failed" >&2; exit 1; }
      mv split "kept/split.$rep.$variant"
    done
  done
  echo "The extract phase taken apart, on data.zip alone (medians, s):"
  for name in $(awk '{ print $1 ":" $2 }' split.txt | awk '!seen[$0]++'); do
    kind=${name%%:*} what=${name#*:}
    t=$(awk -v k="$kind" -v w="$what" '$1 == k && $2 == w { print $3 }' split.txt | sort -g |
      awk '{ t[NR] = $1 } END { print (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2 }')
    printf '  %-6s %-38s %8.3f\n' "$kind" "$what" "$t"
  done
  echo "  (variants: see install_bench.cpp; probes are $FILES calls each, ProcessMessages 3 x $FILES)"
fi
