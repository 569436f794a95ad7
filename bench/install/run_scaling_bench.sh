#!/usr/bin/env bash
# Is the installation run linear in the number of files? Installs a product of SMALL files and one
# of ten times as many files of the same sizes with run_install_bench.sh, one after the other in one
# run, each repetition on fresh file systems, and prints the two totals and their ratio beside the
# same ratio for the plain Win32 file work (tarnwick-raw-files), which is Wine's own growth.
#
#   bench/install/run_scaling_bench.sh [BUILD_DIR]     (default: build/win64)
#   REPS=3 SMALL=2000 SMALL_MB=4 bench/install/run_scaling_bench.sh
#
# Goal: the larger product within 12 times the smaller one's total.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build/win64}
REPS=${REPS:-3}
SMALL=${SMALL:-2000}
SMALL_MB=${SMALL_MB:-4}
LOG=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-scaling.XXXXXX")
trap 'rm -rf "$LOG"' EXIT

for scale in 1 10; do
  files=$((SMALL * scale)) mb=$((SMALL_MB * scale))
  echo "[bench] $files files, about $mb MB"
  REPS=$REPS FILES=$files SIZE_MB=$mb SPLIT=0 FRESH_FS=1 bash "$ROOT/bench/install/run_install_bench.sh" "$BUILD" \
    >"$LOG/$scale.txt" 2>&1 || { cat "$LOG/$scale.txt" >&2; exit 1; }
  # The fresh file systems' table comes first; its total line, then the Win32 work's total.
  awk '/^total/ && !t { t = $2 } /^  total/ && !w { w = $2 } END { print t, w }' "$LOG/$scale.txt" >"$LOG/$scale.sum"
  sed -n '/^Installation of/,/^  total/p' "$LOG/$scale.txt"
done
read -r ours1 raw1 <"$LOG/1.sum"
read -r ours10 raw10 <"$LOG/10.sum"
awk -v a="$ours1" -v b="$ours10" -v c="$raw1" -v d="$raw10" -v n="$SMALL" 'BEGIN {
  printf "\n%d files: %.3f s; %d files: %.3f s; ratio %.1fx (goal: at most 12x: %s)\n", n, a, 10 * n, b, b / a, (b <= 12 * a) ? "met" : "MISSED";
  printf "plain Win32 file work under Wine: %.3f s and %.3f s, ratio %.1fx\n", c, d, d / c }'
