#!/usr/bin/env bash
# tarnwick-zip's command line outside the archive commands: help and version go to standard
# output with status 0; an unknown command is a usage error (status 2, usage on standard error).
#   tarnwick_zip_cli.sh <tarnwick-zip> [runner...]
set -u
tool=$1; shift
failures=0
# arguments | status | text expected on stdout (grep -E), or - for nothing
while IFS='|' read -r arguments status expected; do
  [ -n "$arguments" ] || continue
  # shellcheck disable=SC2086
  out=$("$@" "$tool" $arguments 2>/dev/null | tr -d '\r')
  actual=$("$@" "$tool" $arguments >/dev/null 2>&1; echo $?)
  if [ "$actual" != "$status" ]; then echo "FAIL '$arguments': status $actual, expected $status"; failures=$((failures + 1)); fi
  if [ "$expected" = - ]; then
    [ -z "$out" ] || { echo "FAIL '$arguments': printed '$out' on stdout"; failures=$((failures + 1)); }
  elif ! grep -Eq "$expected" <<<"$out"; then
    echo "FAIL '$arguments': stdout '$out' lacks /$expected/"; failures=$((failures + 1))
  fi
done <<'CASES'
--help|0|^usage: tarnwick-zip list
-h|0|^usage: tarnwick-zip list
help|0|tarnwick-zip extract ARCHIVE
--version|0|^tarnwick-zip [0-9]+\.[0-9]+\.[0-9]+$
--frobnicate|2|-
CASES
[ $failures -eq 0 ] && echo "tarnwick-zip command line: all cases passed"
exit $((failures > 0))
