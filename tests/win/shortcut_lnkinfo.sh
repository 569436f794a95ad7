#!/usr/bin/env bash
# CreateShortcut under Wine, checked by reading the written .lnk files natively with lnkinfo:
# target, working folder and description; replacement of an existing link; the MAX_PATH limit.
#   shortcut_lnkinfo.sh <shortcut_probe.exe>      (needs the Wine prefix of scripts/with-wine.sh)
set -u
probe=$1
here=$(cd "$(dirname "$0")" && pwd)
run() { bash "$here/../../cmake/wine-run.sh" "$probe" "$@"; }
root="C:\\tw-lnk-$$"
unix_root="$WINEPREFIX/drive_c/tw-lnk-$$"
trap 'rm -rf "$unix_root"' EXIT
mkdir -p "$unix_root/App/bin"
: >"$unix_root/App/bin/prog.exe"
: >"$unix_root/prog.exe"
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
field() { lnkinfo "$1" | sed -n "s/^[[:space:]]*$2[[:space:]]*: \(.*\)$/\1/p" | head -n 1; }

# link name | target | description | working folder expected
while IFS='|' read -r link target description folder; do
  [ -n "$link" ] || continue
  run "$root\\$link" "$target" "$description" >/dev/null || { fail "$link: CreateShortcut failed"; continue; }
  file="$unix_root/$link"
  [ -f "$file" ] || { fail "$link: no file written"; continue; }
  [ "$(field "$file" 'Local path')" = "$target" ] || fail "$link: target is '$(field "$file" 'Local path')'"
  [ "$(field "$file" 'Working directory')" = "$folder" ] || fail "$link: working folder is '$(field "$file" 'Working directory')', expected '$folder'"
  [ "$(field "$file" 'Description')" = "$description" ] || fail "$link: description is '$(field "$file" 'Description')'"
done <<EOF_CASES
nested.lnk|$root\\App\\bin\\prog.exe|Tool|$root\\App\\bin
in-root.lnk|C:\\tw-lnk-$$\\prog.exe|Tool in root|$root
same.lnk|$root\\prog.exe|First|$root
same.lnk|$root\\App\\bin\\prog.exe|Second|$root\\App\\bin
EOF_CASES

# A drive's root keeps its backslash as working folder.
: >"$WINEPREFIX/drive_c/tw-lnk-root-$$.exe"
run "$root\\drive-root.lnk" "C:\\tw-lnk-root-$$.exe" "Root" >/dev/null
[ "$(field "$unix_root/drive-root.lnk" 'Working directory')" = 'C:\' ] || fail "drive root: working folder is '$(field "$unix_root/drive-root.lnk" 'Working directory')'"
rm -f "$WINEPREFIX/drive_c/tw-lnk-root-$$.exe"

# MAX_PATH: a 259-character link path is written, a 260-character one refused and not written.
deep="$root"
unix_deep="$unix_root"
while [ ${#deep} -lt 230 ]; do deep="$deep\\dddddddddd"; unix_deep="$unix_deep/dddddddddd"; done
mkdir -p "$unix_deep"
for length in 259 260; do
  name=$(printf 'n%.0s' $(seq 1 $((length - ${#deep} - 5))))
  link="$deep\\$name.lnk"
  [ ${#link} -eq $length ] || { fail "test setup: link path of ${#link} characters"; continue; }
  result=$(run "$link" "$root\\prog.exe" "Long")
  status=$?
  if [ $length -eq 259 ]; then
    [ $status -eq 0 ] && [ -f "$unix_deep/$name.lnk" ] || fail "259 characters: not written ($result)"
  else
    [ $status -ne 0 ] && [ "$(echo "$result" | tr -d '\r')" = "0x800700CE" ] || fail "260 characters: result $result"
    ls "$unix_deep" | grep -q "^n*\.lnk$" && [ "$(ls "$unix_deep" | wc -l)" -eq 1 ] || fail "260 characters: a file was written anyway"
  fi
done

[ $failures -eq 0 ] && echo "all shortcut checks passed"
exit $((failures > 0))
