#!/usr/bin/env bash
# Runs a Windows executable under Wine for CTest and the test scripts:
#   wine-run.sh [--expect PE32|PE32+] <program.exe> [arguments...]
# Each build states the kind of program it makes (the toolchain files pass --expect; scripts
# started by a test get TARNWICK_PE_KIND from it), and anything else is refused: a program of the
# wrong architecture must never "pass" by failing to start unseen. Without 32-bit Wine a PE32
# program exits 0 without running, so a PE32 is also refused when 32-bit Wine is missing.
set -u
expect=${TARNWICK_PE_KIND:-}
if [ "${1:-}" = "--expect" ]; then expect=$2; shift 2; fi
exe=$1; shift
case "$expect" in
  PE32|PE32+) ;;
  *) echo "wine-run: say which kind of program to expect (--expect PE32|PE32+ or TARNWICK_PE_KIND)" >&2; exit 126 ;;
esac
kind=$(file -b "$exe")
case "$kind" in
  PE32+\ *) actual=PE32+ ;;
  PE32\ *) actual=PE32 ;;
  *) echo "wine-run: $exe is not a Windows program ($kind)" >&2; exit 126 ;;
esac
if [ "$actual" != "$expect" ]; then
  echo "wine-run: $exe is $actual, but this build makes $expect programs" >&2
  exit 126
fi
if [ "$actual" = PE32 ] && [ ! -x /usr/lib/wine/wine ]; then
  echo "wine-run: $exe is a 32-bit program and 32-bit Wine is not installed (wine32:i386)" >&2
  exit 126
fi
if [ "$actual" = PE32 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "wine-run: $exe is a 32-bit program and this machine's kernel cannot run 32-bit Wine" >&2
  exit 126
fi
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-run: WINEPREFIX is not set; run the tests through scripts/test.sh" >&2
  exit 126
fi
if [ "${TARNWICK_WINE_RUN_EXEC:-0}" = 1 ]; then
  exec wine "$exe" "$@"  # the caller signals the program itself (a test that kills setup)
fi

# Now and then, with other programs starting and ending beside it, Wine fails to load a program
# at all: it falls back to start.exe, which prints "Application could not be started" on standard
# output and exits 1 (about once in a few thousand starts here). The program never ran, so it is
# started again, up to three times. Its standard output passes through tee so that the message
# can be seen; the exit status and the input are the program's own.
work=$(mktemp -d "${TMPDIR:-/tmp}/wine-run.XXXXXX")
trap 'rm -rf "$work"' EXIT
child=
trap '[ -n "$child" ] && kill -TERM "$child" 2>/dev/null' TERM INT HUP
exec 3<&0
for attempt in 1 2 3; do
  mkfifo "$work/out"
  tee "$work/seen" <"$work/out" &
  tee_pid=$!
  wine "$exe" "$@" <&3 >"$work/out" 3<&- &
  child=$!
  # wait returns early when a trapped signal arrives; the program is then asked to end.
  while :; do
    wait "$child"
    status=$?
    kill -0 "$child" 2>/dev/null || break
  done
  child=
  # A program it started may hold the output open for longer (the relocated uninstaller): that
  # one is not waited for, as it was not before.
  for _ in $(seq 50); do kill -0 "$tee_pid" 2>/dev/null || break; sleep 0.1; done
  kill "$tee_pid" 2>/dev/null
  wait "$tee_pid" 2>/dev/null
  rm -f "$work/out"
  if [ "$status" != 1 ] || [ "$attempt" = 3 ] ||
     ! head -c 4096 "$work/seen" | grep -a -q "Application could not be started"; then
    exit "$status"
  fi
  echo "wine-run: Wine could not start $exe (attempt $attempt); starting it again" >&2
done
