#!/usr/bin/env bash
# A full disk under Wine: a product larger than the free space of a small file system (a tmpfs
# mapped to drive F:) is installed unattended, first onto that drive, then with the temporary
# folder on it. Each time setup must stop with exit code 3 and a log line naming the file it could
# not write and the system's reason, leave no temporary folder and no uninstall entry; after space
# is freed, a second run installs completely and its uninstallation removes everything.
#   full_disk.sh <tarnwick-pack.exe> <setup.exe> <work folder>
# Needs root for the mount; reports itself skipped (exit 77) where mounting is refused.
set -euo pipefail
pack=$1 setup=$2 work=$3
source "$(dirname "$0")/fault_checks.sh"

rm -rf "$work" && mkdir -p "$work/product/data" "$work/small"
small="$work/small"
if ! mount -t tmpfs -o size=3m tmpfs "$small" 2>"$work/mount.err"; then
  echo "SKIPPED: cannot mount a small file system here: $(cat "$work/mount.err")"
  exit 77
fi
drive="$WINEPREFIX/dosdevices/f:"
temp_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'
saved_temp=$(wine reg query "$temp_key" /v "Common Templates" 2>/dev/null | tr -d '\r' | awk -F'REG_SZ' '/Common Templates/ { sub(/^[ \t]+/, "", $2); print $2 }')
cleanup() {
  rm -f "$drive"
  [ -z "$saved_temp" ] || wine reg add "$temp_key" /v "Common Templates" /d "$saved_temp" /f >/dev/null 2>&1 || true
  umount "$small" 2>/dev/null || true
}
trap cleanup EXIT
ln -sfn "$small" "$drive"

# Three files of random bytes (stored, 1.5 MiB each): 4.5 MiB against 3 MiB of space.
for n in 1 2 3; do head -c 1572864 /dev/urandom >"$work/product/data/part$n.bin"; done
cat >"$work/product/tarnwick.toml" <<'TOML'
[product]
name        = "Disk Filler"
publisher   = "Tarnwick Tests"
version     = "1.0"
destination = '[PROGRAMFILES]\Disk Filler'

[[files]]
source = "data"
to     = '[INSTALLDIR]\data'
TOML
pack_product "$work/product/tarnwick.toml" "$work/setup" "$pack" "$setup"
uninstall_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Disk Filler'
no_uninstall_entry() { ! wine reg query "$uninstall_key" >/dev/null 2>&1; }
install() {  # install DESTINATION LOG: exit code of an unattended install
  local code=0
  # /D= takes the rest of the command line, so it comes last.
  (cd "$work/setup" && run setup.exe /S "/LOG=$(win "$2")" "/D=$1") >/dev/null 2>&1 || code=$?
  echo "$code"
}
log_names_full_disk() {  # log_names_full_disk LOG: a line naming a file and the disk being full
  grep -a -i -E "F:\\\\.*(not enough space|disk is full)" "$1" >/dev/null
}

# 1. The destination on the full drive.
code=$(install 'F:\Disk Filler' "$work/dest.log")
check "destination full: exit code 3 (was $code)" test "$code" = 3
check "destination full: the log names the file and the full disk" log_names_full_disk "$work/dest.log"
check "destination full: no temporary folder left" temp_folder_gone "$work/dest.log"
check "destination full: no uninstall entry" no_uninstall_entry
sed 's/^/  | /' "$work/dest.log" | grep -a -E "Cannot write|Exit code"

# 2. The temporary folder on the full drive (its base comes from the common templates folder).
rm -rf "${small:?}"/*
head -c 2097152 /dev/zero >"$small/ballast"
wine reg add "$temp_key" /v "Common Templates" /d 'F:\Temp' /f >/dev/null 2>&1
code=$(install 'C:\Disk Filler' "$work/temp.log")
check "temporary folder full: exit code 3 (was $code)" test "$code" = 3
check "temporary folder full: the log names the file and the full disk" log_names_full_disk "$work/temp.log"
check "temporary folder full: no temporary folder left" temp_folder_gone "$work/temp.log"
check "temporary folder full: no uninstall entry" no_uninstall_entry
sed 's/^/  | /' "$work/temp.log" | grep -a -E "Cannot write|Exit code"
wine reg add "$temp_key" /v "Common Templates" /d "$saved_temp" /f >/dev/null 2>&1
rm -f "$small/ballast"

# 3. Room for the deciphered data file, not for the items unpacked from it.
mount -o remount,size=7m "$small"
wine reg add "$temp_key" /v "Common Templates" /d 'F:\Temp' /f >/dev/null 2>&1
code=$(install 'C:\Disk Filler' "$work/items.log")
check "items on a full temporary drive: exit code 3 (was $code)" test "$code" = 3
check "items on a full temporary drive: the log names the item and the full disk" log_names_full_disk "$work/items.log"
check "items on a full temporary drive: no temporary folder left" temp_folder_gone "$work/items.log"
check "items on a full temporary drive: no uninstall entry" no_uninstall_entry
sed 's/^/  | /' "$work/items.log" | grep -a -E "Cannot write|Exit code"
wine reg add "$temp_key" /v "Common Templates" /d "$saved_temp" /f >/dev/null 2>&1

# 4. Room for the product's files, not for uninst.exe: the entry would point at nothing.
rm -rf "${small:?}"/*
mount -o remount,size=4800k "$small"
code=$(install 'F:\Disk Filler' "$work/uninst.log")
check "no room for the uninstaller: exit code 3 (was $code)" test "$code" = 3
check "no room for the uninstaller: the log names uninst.exe and the full disk" \
  grep -a -i -E "Cannot write F:.*uninst.exe: There is not enough space" "$work/uninst.log"
check "no room for the uninstaller: no uninstall entry" no_uninstall_entry
check "no room for the uninstaller: no temporary folder left" temp_folder_gone "$work/uninst.log"
sed 's/^/  | /' "$work/uninst.log" | grep -a -E "Cannot write|removed|Exit code"
rm -rf "${small:?}"/*

# 5. Space freed: a second run installs completely, and uninstalling removes everything.
mount -o remount,size=16m "$small"
code=$(install 'F:\Disk Filler' "$work/again.log")
check "after freeing space: exit code 0 (was $code)" test "$code" = 0
check "after freeing space: every file in place" diff -r "$work/product/data" "$small/Disk Filler/data"
check "after freeing space: no temporary folder left" temp_folder_gone "$work/again.log"
code=0
run "$small/Disk Filler/uninst.exe" /S "/LOG=$(win "$work/uninstall.log")" >/dev/null 2>&1 || code=$?
# The uninstaller removes itself from a copy once it has ended; give that copy a moment.
for _ in $(seq 50); do [ -e "$small/Disk Filler" ] || break; sleep 0.2; done
check "uninstall: exit code 0 (was $code)" test "$code" = 0
check "uninstall: the product folder is gone" test ! -e "$small/Disk Filler"
check "uninstall: no uninstall entry" no_uninstall_entry

finish
