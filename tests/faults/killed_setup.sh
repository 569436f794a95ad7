#!/usr/bin/env bash
# A killed setup under Wine: setup.exe is killed (SIGKILL, as the task manager's End task does)
# while it extracts, while it places files and while it writes registry records. Each time a new
# run over the same destination must complete, the killed run's temporary folder must go with a
# later run, and the uninstallation must remove everything the package names. Beside it: a
# folder of ours that a user's file shares keeps that file, and a running setup's folder is left
# alone.
#   killed_setup.sh <tarnwick-pack.exe> <setup.exe> <work folder>
set -euo pipefail
pack=$1 setup=$2 work=$3
source "$(dirname "$0")/fault_checks.sh"

rm -rf "$work" && mkdir -p "$work/product/files"
# 400 files of 64 KiB of random bytes and 1,500 registry values: each phase lasts long enough to
# be caught in the act.
python3 - "$work/product" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(7)
for i in range(400):
    folder = os.path.join(root, 'files', 'part%02d' % (i % 20))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, 'file%03d.bin' % i), 'wb') as f:
        f.write(rng.randbytes(65536))
with open(os.path.join(root, 'tarnwick.toml'), 'w') as m:
    m.write('''[product]
name        = "Killed Product"
publisher   = "Tarnwick Tests"
version     = "1.0"
destination = '[PROGRAMFILES]\\Killed Product'

[[files]]
source = "files"
to     = '[INSTALLDIR]'
''')
    for i in range(1500):
        m.write('''
[[registry]]
key  = 'HKLM\\SOFTWARE\\Killed Product\\Settings%d'
name = "Value%d"
data = "%d"
''' % (i // 100, i, i))
PY
pack_product "$work/product/tarnwick.toml" "$work/setup" "$pack" "$setup"

dest='C:\Program Files\Killed Product'
dest_unix=$(unix "$dest")
settle() { touch -d '1 hour ago' "$1"; }  # older than the ten minutes a starting setup is given
# The package names values only; their keys are not its records, so only the values must go.
product_values_gone() { ! wine reg query 'HKLM\SOFTWARE\Killed Product' /s 2>/dev/null | grep -a -q 'Value[0-9]'; }
entry_gone() { ! wine reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Killed Product' >/dev/null 2>&1; }
# /D= takes the rest of the command line, so it comes last.
start_setup() {  # start_setup LOG [switches...]: setup.exe in the background; prints its process id
  local log=$1; shift
  (cd "$work/setup" && TARNWICK_WINE_RUN_EXEC=1 exec bash "$root/cmake/wine-run.sh" setup.exe "$@" "/LOG=$(win "$log")" "/D=$dest") \
    >/dev/null 2>&1 &
  echo $!
}
wait_for_line() {  # wait_for_line LOG TEXT: up to 60 s
  for _ in $(seq 600); do grep -a -q -- "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}
install_code() {  # install_code LOG: exit code of a whole unattended install
  local code=0
  (cd "$work/setup" && bash "$root/cmake/wine-run.sh" setup.exe /S "/LOG=$(win "$1")" "/D=$dest") >/dev/null 2>&1 ||
    code=$?
  echo "$code"
}

for phase in extract copy registry; do
  log="$work/killed-$phase.log"
  pid=$(start_setup "$log" /S)
  if ! wait_for_line "$log" "Phase: $phase"; then
    check "killed during $phase: the run reached the phase" false
    kill -9 "$pid" 2>/dev/null || true
    continue
  fi
  kill -9 "$pid"
  wait "$pid" 2>/dev/null || true
  check "killed during $phase: it did not finish" bash -c "! grep -a -q 'Exit code' '$log'"
  left=$(unix "$(temp_folder_of "$log")")
  check "killed during $phase: its temporary folder is left" test -d "$left"
  settle "$left"
  again="$work/after-$phase.log"
  code=$(install_code "$again")
  check "after the kill during $phase: a new run completes (exit $code)" test "$code" = 0
  check "after the kill during $phase: every file in place" diff -r "$work/product/files" "$dest_unix" -x uninst.exe -x _setup.pkg
  check "after the kill during $phase: the killed run's temporary folder is gone" test ! -e "$left"
  check "after the kill during $phase: the log says so" grep -a -q "Removed a temporary folder left by an earlier run" "$again"
  check "after the kill during $phase: the new run's own temporary folder is gone" temp_folder_gone "$again"
done

# A folder named like ours that also holds a user's file, and one a running setup holds.
base=$(dirname "$(unix "$(temp_folder_of "$work/after-registry.log")")")
mkdir -p "$base/TarnwickInstaller.7/items0"
printf 'package' >"$base/TarnwickInstaller.7/_setupDEC"
printf 'item' >"$base/TarnwickInstaller.7/items0/1.twi"
printf 'mine' >"$base/TarnwickInstaller.7/notes.txt"
settle "$base/TarnwickInstaller.7"
wizard_log="$work/wizard.log"
wizard=$(start_setup "$wizard_log")
check "a wizard started and made its temporary folder" wait_for_line "$wizard_log" "Temporary folder:"
held=$(unix "$(temp_folder_of "$wizard_log")")
sleep 1
# As if it were unpacking: files of ours that must stay while it runs.
mkdir -p "$held/items0"
printf 'data' >"$held/_setup_datDEC"
printf 'item' >"$held/items0/1.twi"
settle "$held"

# The uninstallation removes everything the package names, and sweeps as every run does.
uninstall_log="$work/uninstall.log"
code=0
bash "$root/cmake/wine-run.sh" "$dest_unix/uninst.exe" /S "/LOG=$(win "$uninstall_log")" >/dev/null 2>&1 || code=$?
for _ in $(seq 50); do [ -e "$dest_unix" ] || break; sleep 0.2; done
check "uninstall: exit code 0 (was $code)" test "$code" = 0
check "uninstall: the product folder is gone" test ! -e "$dest_unix"
check "uninstall: none of the product's registry values is left" product_values_gone
check "uninstall: the uninstall entry is gone" entry_gone
check "a user's file in a folder named like ours is kept" test -f "$base/TarnwickInstaller.7/notes.txt"
check "our files beside it are removed" test ! -e "$base/TarnwickInstaller.7/_setupDEC" -a ! -e "$base/TarnwickInstaller.7/items0"
check "a running setup's temporary folder is left alone" test -f "$held/_setupDEC" -a -f "$held/_setup_datDEC" -a -f "$held/items0/1.twi"
kill -9 "$wizard" 2>/dev/null || true
wait "$wizard" 2>/dev/null || true
rm -rf "$base/TarnwickInstaller.7" "$held"

finish
