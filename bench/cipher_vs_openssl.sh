#!/usr/bin/env bash
# Times tarnwick-bf (TMyBlowfish's Encrypt_File/Decrypt_File) against `openssl enc -bf-ecb` on
# the same random file, file to file, and prints the median throughput of each.
#
#   bench/cipher_vs_openssl.sh [BUILD_DIR]      (default: build/native)
#   SIZE_MB=256 REPS=5 bench/cipher_vs_openssl.sh
#
# MB/s means 10^6 bytes of plain file (encrypt) or container (decrypt) per second of wall time.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/native}
BF=$BUILD/bench/tarnwick-bf
SIZE_MB=${SIZE_MB:-256}
REPS=${REPS:-5}

if [ ! -x "$BF" ]; then
  echo "no $BF: cmake --preset native && cmake --build build/native --target tarnwick-bf" >&2
  exit 1
fi
command -v openssl >/dev/null || { echo "openssl not found" >&2; exit 1; }

# Blowfish lives in OpenSSL 3's legacy provider; OpenSSL 1.1 has neither the option nor the need.
OSSL_PROVIDERS=()
if openssl version | grep -q '^OpenSSL 3'; then OSSL_PROVIDERS=(-provider legacy -provider default); fi
# `openssl enc` keys Blowfish with 16 bytes (a shorter -K is zero-padded). The key length does not
# change the cost per block; the key schedule runs once per file either way.
OSSL_KEY=234B45595F4845524523000000000000

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
head -c "$((SIZE_MB * 1024 * 1024))" /dev/urandom > "$WORK/plain.bin"
BYTES=$(stat -c %s "$WORK/plain.bin")

# Prints the median wall time of REPS runs of the command, in seconds.
median_seconds() {
  local times=() i start end
  for ((i = 0; i < REPS; i++)); do
    start=$EPOCHREALTIME
    "$@"
    end=$EPOCHREALTIME
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{ t[NR] = $1 } END { print (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2 }'
}

report() { # name bytes seconds
  awk -v n="$1" -v b="$2" -v s="$3" 'BEGIN { printf "%-28s %8.1f MB/s   (median %.3f s)\n", n, b / s / 1e6, s }'
}

ossl() { openssl enc "${OSSL_PROVIDERS[@]}" -bf-ecb -nosalt -K "$OSSL_KEY" "$@"; }

echo "file: $BYTES bytes in $WORK, $REPS runs each, median"

# Warm the page cache, and check that our round trip restores the file.
"$BF" encrypt "$WORK/plain.bin"
"$BF" decrypt "$WORK/plainBLW"
cmp -s "$WORK/plain.bin" "$WORK/plainBLWDEC" || { echo "tarnwick-bf round trip differs" >&2; exit 1; }
CONTAINER_BYTES=$(stat -c %s "$WORK/plainBLW")

report "tarnwick encrypt" "$BYTES" "$(median_seconds "$BF" encrypt "$WORK/plain.bin")"
report "tarnwick decrypt" "$CONTAINER_BYTES" "$(median_seconds "$BF" decrypt "$WORK/plainBLW")"
report "tarnwick encrypt --turbo" "$BYTES" "$(median_seconds "$BF" encrypt "$WORK/plain.bin" --turbo)"
report "tarnwick decrypt --turbo" "$CONTAINER_BYTES" "$(median_seconds "$BF" decrypt "$WORK/plainBLW" --turbo)"

ossl -in "$WORK/plain.bin" -out "$WORK/openssl.enc"
ossl -d -in "$WORK/openssl.enc" -out "$WORK/openssl.dec"
cmp -s "$WORK/plain.bin" "$WORK/openssl.dec" || { echo "openssl round trip differs" >&2; exit 1; }
report "openssl enc -bf-ecb" "$BYTES" "$(median_seconds ossl -in "$WORK/plain.bin" -out "$WORK/openssl.enc")"
report "openssl enc -bf-ecb -d" "$(stat -c %s "$WORK/openssl.enc")" \
  "$(median_seconds ossl -d -in "$WORK/openssl.enc" -out "$WORK/openssl.dec")"
