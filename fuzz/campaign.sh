#!/usr/bin/env bash
# A long fuzzing campaign, outside the test run: each target fuzzes for SECONDS on a scratch copy
# of its committed corpus, then the committed corpus is replaced by a minimised merge of both
# (libFuzzer's -merge=1 keeps one input per coverage feature). Findings stay in
# build/fuzz-campaign/<target>/artifacts; each one becomes a fixed bug with its input committed.
#   fuzz/campaign.sh SECONDS [TARGET...]     (default: every target of the fuzz preset)
# Build first: bash scripts/build.sh fuzz. Runs at low priority; JOBS targets at once (default 2).
# A unit counts as hung after 60 s of wall time: at low priority on a busy machine a fuzzer can
# wait seconds for a core, and stopping it (SIGSTOP) for a while reads as a hang too.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
seconds=$1; shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(package_reader cipher_container zip_archive zip_roundtrip zip_update manifest)
out="$ROOT/build/fuzz-campaign"
mkdir -p "$out"

run_target() {
  local name=$1 fuzzer dict="" corpus="$ROOT/fuzz/corpus/$1" work="$out/$1"
  fuzzer=$(find "$ROOT/build/fuzz" -name "${name}_fuzzer" -type f -perm -u+x | head -n 1)
  [ -n "$fuzzer" ] || { echo "campaign: ${name}_fuzzer not built" >&2; return 1; }
  [ -f "$ROOT/fuzz/$name.dict" ] && dict="-dict=$ROOT/fuzz/$name.dict"
  rm -rf "$work"; mkdir -p "$work/corpus" "$work/artifacts" "$work/merged"
  cp -r "$corpus"/. "$work/corpus/"
  # shellcheck disable=SC2086
  # CPU seconds, not wall seconds, are what a campaign is judged by: at low priority on a busy
  # machine a target may get a fraction of its wall time.
  nice -n 19 /usr/bin/time -f '%U %S' -o "$work/cpu.txt" "$fuzzer" "$work/corpus" $dict -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 \
    -max_len=65536 -artifact_prefix="$work/artifacts/" -print_final_stats=1 -print_coverage=0 \
    >"$work/fuzz.log" 2>&1 || true
  "$fuzzer" -merge=1 "$work/merged" "$corpus" "$work/corpus" >"$work/merge.log" 2>&1
  rm -rf "${corpus:?}"/*
  cp "$work/merged"/* "$corpus"/
  local execs cov ft cpu
  cpu=$(tail -n 1 "$work/cpu.txt" 2>/dev/null | awk '{printf "%d", $1 + $2}')
  execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$work/fuzz.log" | awk '{print $2}')
  cov=$(grep -o 'cov: [0-9]*' "$work/fuzz.log" | tail -n 1 | awk '{print $2}')
  ft=$(grep -o 'ft: [0-9]*' "$work/fuzz.log" | tail -n 1 | awk '{print $2}')
  printf '%s: %s s wall, %s s CPU, %s executions, coverage %s edges / %s features, corpus %s files, findings %s\n' \
    "$name" "$seconds" "${cpu:-?}" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$(ls "$corpus" | wc -l)" \
    "$(ls "$work/artifacts" | wc -l)" | tee -a "$out/summary.txt"
}

jobs=${JOBS:-2}
for name in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do sleep 5; done
  run_target "$name" &
done
wait
