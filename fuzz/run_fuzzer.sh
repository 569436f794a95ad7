#!/usr/bin/env bash
# A bounded libFuzzer run on a scratch copy of the committed corpus.
#   run_fuzzer.sh FUZZER CORPUS SECONDS [libFuzzer options...]
set -euo pipefail
fuzzer=$1 corpus=$2 seconds=$3; shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/artifacts"
cp -r "$corpus"/. "$work/corpus/" 2>/dev/null || true
"$fuzzer" "$work/corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@"
