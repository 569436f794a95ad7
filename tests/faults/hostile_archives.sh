#!/usr/bin/env bash
# Hostile data archives through setup.exe under Wine: each table row is a ZIP made at test time
# by Python, enciphered as _setup.dat beside the package of a one-file product (item 1.twi). Each
# must stop the unattended installation with the archive component's error (or, for the deep
# name, the item's absence) in the log and exit
# code 3, within 60 s (the bound on time), with nothing placed at the destination, no uninstall
# entry, the temporary folder removed, and at most 4 MiB more in use on the temporary folder's
# drive at any time (the bound on what is written, sampled every 50 ms).
#   hostile_archives.sh <tarnwick-pack.exe> <setup.exe> <encipher_file.exe> <work folder>
set -euo pipefail
pack=$1 setup=$2 encipher=$3 work=$4
source "$(dirname "$0")/fault_checks.sh"

rm -rf "$work" && mkdir -p "$work/product/data" "$work/zips"
printf 'the one file\n' >"$work/product/data/one.txt"
cat >"$work/product/tarnwick.toml" <<'TOML'
[product]
name        = "Hostile Product"
publisher   = "Tarnwick Tests"
version     = "1.0"
destination = '[PROGRAMFILES]\Hostile Product'

[[files]]
source = "data"
to     = '[INSTALLDIR]'
TOML
pack_product "$work/product/tarnwick.toml" "$work/setup" "$pack" "$setup"

# The table: each archive names its item 1.twi one hostile way.
python3 - "$work/zips" <<'PY'
import os, struct, sys, zipfile, zlib
out = sys.argv[1]

def raw_deflate(data):
    c = zlib.compressobj(6, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()

def archive(path, entries, count=None, payloads=None):
    # entries: (name, data, declared size or None, shared data offset or None)
    body, central = b'', b''
    offsets = {}
    for i, (name, data, declared, shared) in enumerate(entries):
        packed = raw_deflate(data)
        crc = zlib.crc32(data)
        size = len(data) if declared is None else declared
        if shared is not None:
            offset = offsets[shared]
        else:
            offset = len(body)
            offsets[i] = offset
            n = name.encode()
            body += struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 8, 0, 0x21, crc, len(packed), size, len(n), 0) + n + packed
        n = name.encode()
        central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 20, 20, 0, 8, 0, 0x21, crc, len(packed), size,
                               len(n), 0, 0, 0, 0, 0x20, offset) + n
    total = len(entries) if count is None else count
    end = struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, total, total, len(central), len(body), 0)
    with open(os.path.join(out, path), 'wb') as f:
        f.write(body + central + end)

zeros = bytes(1 << 20)
# One deflated MiB of zeros, and 200 more entries all pointing at the same data.
archive('overlapping.zip', [('1.twi', zeros, None, None)] + [('%d.twi' % (i + 2), zeros, None, 0) for i in range(200)])
# Five bytes declared as almost 4 GiB.
archive('huge-declared.zip', [('1.twi', b'hello', 0xFFFFFFF0, None)])
# The end record counts 65535 entries; the directory holds one.
archive('too-many-entries.zip', [('1.twi', b'hello', None, None)], count=65535)
# The item 3000 folders deep, and the item under a 300-character folder name.
archive('deep.zip', [('a/' * 3000 + '1.twi', b'hello', None, None)])
archive('long-name.zip', [('x' * 300 + '/1.twi', b'hello', None, None)])
PY

dest='C:\Program Files\Hostile Product'
entry='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Hostile Product'
no_entry() { ! wine reg query "$entry" >/dev/null 2>&1; }
temp_drive_used() { df -B1 --output=used "$(unix 'C:\')" | tail -n 1; }
# What the log must say for each: the component's error, or for the deep name that no item of
# that name exists (a name with 3000 folders is not the item 1.twi the package asks for).
declare -A expected=(
  [overlapping]="ZipArchiver1: Archive is damaged. Open failed - Native error: 00048"
  [huge-declared]="ZipArchiver1: Invalid size or check sum of file"
  [too-many-entries]="Stream read error"
  [deep]="1.twi: not in the data archive"
  [long-name]="Native error: 00019"
)
for zip in overlapping huge-declared too-many-entries deep long-name; do
  folder="$work/setup-$zip"
  cp -r "$work/setup" "$folder"
  run "$encipher" "$(win "$work/zips/$zip.zip")" "$(win "$folder/_setup.dat")"
  log="$work/$zip.log"
  before=$(temp_drive_used)
  peak=$before
  code=0
  (cd "$folder" && timeout 60 bash "$root/cmake/wine-run.sh" setup.exe /S "/LOG=$(win "$log")" "/D=$dest") \
    >/dev/null 2>&1 &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    used=$(temp_drive_used)
    [ "$used" -le "$peak" ] || peak=$used
    sleep 0.05
  done
  wait "$pid" || code=$?
  check "$zip: exit code 3 within 60 s (was $code)" test "$code" = 3
  check "$zip: the log says: ${expected[$zip]}" grep -a -q -F "${expected[$zip]}" "$log"
  check "$zip: nothing placed at the destination" test ! -e "$(unix "$dest")"
  check "$zip: no uninstall entry" no_entry
  check "$zip: its temporary folder is gone" temp_folder_gone "$log"
  check "$zip: at most 4 MiB more in use while it ran ($(((peak - before) / 1024)) KiB)" \
    test $((peak - before)) -le $((4 << 20))
  grep -a "Damaged data file" "$log" | cut -c1-240 | sed 's/^/  | /'
done

finish
