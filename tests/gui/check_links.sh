#!/usr/bin/env bash
# Reads the shortcut copies a GUI scenario left in its screenshot folder with lnkinfo and compares
# target, working folder and description with links.txt (file|target|folder|description).
#   check_links.sh <screenshot folder>
set -u
shots=$1
[ -f "$shots/links.txt" ] || { echo "FAIL no links.txt from the scenario"; exit 1; }
field() { lnkinfo "$1" | sed -n "s/^[[:space:]]*$2[[:space:]]*: \(.*\)$/\1/p" | head -n 1; }
failures=0 passed=0
while IFS='|' read -r file target folder description; do
  [ -n "$file" ] || continue
  for check in "Local path|$target" "Working directory|$folder" "Description|$description"; do
    name=${check%%|*} expected=${check#*|}
    got=$(field "$shots/$file" "$name")
    if [ "$got" = "$expected" ]; then passed=$((passed + 1)); else
      echo "FAIL $file: $name is '$got', expected '$expected'"; failures=$((failures + 1)); fi
  done
done <"$shots/links.txt"
echo "links: $passed passed, $failures failed"
[ $failures -eq 0 ] && [ $passed -gt 0 ]
