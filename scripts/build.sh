#!/usr/bin/env bash
# Configures and builds the given presets (default: all five). Output is shown only on failure;
# for the Windows builds the size of every program we ship is reported.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native asan fuzz win64 win32)
for preset in "${presets[@]}"; do
  log="build/$preset.log"
  mkdir -p build
  echo "[build] $preset"
  if ! { cmake --preset "$preset" && cmake --build "build/$preset" -j "$(nproc)"; } >"$log" 2>&1; then
    tail -n 80 "$log"
    echo "[build] $preset failed; whole log in $log" >&2
    exit 1
  fi
  if [ -f "build/$preset/shipped-programs.txt" ]; then
    while read -r program; do
      [ -n "$program" ] && [ -f "$program" ] || continue
      bytes=$(stat -c %s "$program")
      printf '[build] %s: %s %d bytes (%d KiB)\n' "$preset" "${program#"$ROOT"/}" "$bytes" $(((bytes + 1023) / 1024))
    done <"build/$preset/shipped-programs.txt"
  fi
done
