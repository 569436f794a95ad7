#!/usr/bin/env bash
# Files in use under Wine (which honours share modes between Windows processes): a destination
# file held open without sharing by another program, during an installation over it and during
# the uninstallation.
#   files_in_use.sh <tarnwick-pack.exe> <setup.exe> <hold_file.exe> <work folder>
set -euo pipefail
pack=$1 setup=$2 holder=$3 work=$4
source "$(dirname "$0")/fault_checks.sh"

rm -rf "$work" && mkdir -p "$work/product/data"
for n in 1 2 3; do printf 'part %s\n' "$n" >"$work/product/data/part$n.txt"; done
cat >"$work/product/tarnwick.toml" <<'TOML'
[product]
name        = "Busy Product"
publisher   = "Tarnwick Tests"
version     = "1.0"
destination = '[PROGRAMFILES]\Busy Product'

[[files]]
source = "data"
to     = '[INSTALLDIR]\data'

[[registry]]
key  = 'HKLM\SOFTWARE\Busy Product'
name = "Path"
data = '[INSTALLDIR]'
TOML
pack_product "$work/product/tarnwick.toml" "$work/setup" "$pack" "$setup"
dest='C:\Program Files\Busy Product'
dest_unix=$(unix "$dest")
entry='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Busy Product'
install() {  # install LOG: exit code of an unattended install (/D= takes the rest of the line)
  local code=0
  (cd "$work/setup" && run setup.exe /S "/LOG=$(win "$1")" "/D=$dest") >/dev/null 2>&1 || code=$?
  echo "$code"
}
hold() {  # hold FILE: holds it without sharing in the background until release
  rm -f "$work/ready" "$work/stop"
  run "$holder" "$(win "$1")" "$(win "$work/ready")" "$(win "$work/stop")" >/dev/null 2>&1 &
  holder_pid=$!
  for _ in $(seq 300); do [ -e "$work/ready" ] && return 0; sleep 0.1; done
  return 1
}
release() { touch "$work/stop"; wait "$holder_pid" 2>/dev/null || true; }

code=$(install "$work/first.log")
check "first installation: exit code 0 (was $code)" test "$code" = 0

# 1. An installation over a file another program holds: failure B, exit 3, no crash.
check "part1.txt is held" hold "$dest_unix/data/part1.txt"
code=$(install "$work/held.log")
release
check "installing over a held file: exit code 3 (was $code)" test "$code" = 3
check "installing over a held file: the message names it" \
  grep -a -q -F "The file '$dest\\data\\part1.txt' is unaccessible and can't be removed" "$work/held.log"
check "installing over a held file: its temporary folder is gone" temp_folder_gone "$work/held.log"
registered() { wine reg query "$entry" >/dev/null 2>&1; }
check "installing over a held file: the product stays registered" registered
grep -a -E "Cannot replace|Message|Exit code" "$work/held.log" | sed 's/^/  | /'

# 2. Uninstalling while a program holds one of the product's files: everything else goes, the
# user is told which file stays, and Windows is asked to remove it when it restarts.
check "part2.txt is held" hold "$dest_unix/data/part2.txt"
code=0
run "$dest_unix/uninst.exe" /S "/LOG=$(win "$work/uninstall.log")" >/dev/null 2>&1 || code=$?
for _ in $(seq 50); do [ -e "$dest_unix/uninst.exe" ] || break; sleep 0.2; done
check "uninstalling with a held file: exit code 0 (was $code)" test "$code" = 0
check "uninstalling with a held file: the message names the file that stays" \
  grep -a -q "in use and could not be removed:.*part2.txt" "$work/uninstall.log"
check "uninstalling with a held file: the held file is still there" test -f "$dest_unix/data/part2.txt"
check "uninstalling with a held file: the other files are gone" \
  test ! -e "$dest_unix/data/part1.txt" -a ! -e "$dest_unix/data/part3.txt" -a ! -e "$dest_unix/uninst.exe"
check "uninstalling with a held file: the uninstall entry is gone" bash -c "! wine reg query '$entry' >/dev/null 2>&1"
check "uninstalling with a held file: the product's value is gone" \
  bash -c "! wine reg query 'HKLM\\SOFTWARE\\Busy Product' /v Path >/dev/null 2>&1"
check "uninstalling with a held file: its removal is scheduled for the restart" bash -c \
  "wine reg query 'HKLM\\System\\CurrentControlSet\\Control\\Session Manager' /v PendingFileRenameOperations 2>/dev/null | grep -a -q part2.txt"
grep -a -E "not removed|restarts|Message|Exit code" "$work/uninstall.log" | sed 's/^/  | /'
release
rm -rf "$dest_unix"

finish
