#!/usr/bin/env bash
# tarnwick-pack from the outside: reproducible builds, the inspect -> build round trip, verify on
# good and damaged folders, a failed build leaving the old folder alone, init, exit codes.
#   pack_cli_test.sh <tarnwick-pack> [<tarnwick-pack.exe to compare under Wine>]
set -u
if [ ! -x "$1" ]; then echo "SKIP: no native packager at $1 (build the native preset first)"; exit 77; fi
pack=$(realpath "$1")
pack_exe=${2:-}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
same() { cmp -s "$2" "$3" || fail "$1: $2 and $3 differ"; }

W=$(mktemp -d /tmp/tarnwick-pack-cli.XXXXXX)
[ -n "${KEEP:-}" ] || trap 'rm -rf "$W"' EXIT

# A program header is all the packager reads of a stub: "MZ", the offset of "PE\0\0", the machine.
make_pe() {
  python3 - "$1" "$2" <<'PY'
import sys
b = bytearray(256); b[0:2] = b'MZ'; b[60] = 64; b[64:68] = b'PE\0\0'
m = int(sys.argv[1], 16); b[68] = m & 255; b[69] = m >> 8
open(sys.argv[2], 'wb').write(b)
PY
}
mkdir -p "$W/stubs/x64" "$W/stubs/x86" "$W/p/app/docs" "$W/p/app/logs" "$W/p/art"
make_pe 8664 "$W/stubs/x64/setup.exe"
make_pe 014c "$W/stubs/x86/setup.exe"
export TARNWICK_STUB_DIR=$W/stubs
for i in $(seq 1 200); do echo "line $i of the guide"; done > "$W/p/app/docs/guide.txt"
head -c 300000 /dev/urandom > "$W/p/app/data.bin"
make_pe 8664 "$W/p/app/prog.exe"
printf 'Read me\r\n' > "$W/p/app/readme.txt"
printf 'symbols' > "$W/p/app/prog.pdb"
printf '\xFF\xD8\xFF\xE0 picture' > "$W/p/art/intro.jpg"
cat > "$W/p/tarnwick.toml" <<'TOML'
[product]
name        = "CLI Sample"
publisher   = "Example"
version     = "1.2"
destination = '[PROGRAMFILES]\CLI Sample'
picture     = "art/intro.jpg"
readme      = "app/readme.txt"
main        = '[INSTALLDIR]\prog.exe'

[[files]]
source  = "app"
to      = '[INSTALLDIR]'
exclude = ["*.pdb"]

[[files]]
source = "app/readme.txt"
to     = '[INSTALLDIR]\copy'

[[folders]]
path = '[INSTALLDIR]\cache'

[[registry]]
key  = 'HKCU\Software\Example\CLI Sample'
name = "Size"
kind = "number"
data = 3

[[shortcuts]]
name   = "Read Me"
target = '[INSTALLDIR]\readme.txt'
TOML
touch -d '2024-05-17 12:00:00 UTC' $(find "$W/p" -type f)

# --- reproducible: two builds in other folders, from another working folder, other thread counts
"$pack" build "$W/p/tarnwick.toml" -o "$W/out1" >"$W/out1.log" 2>"$W/err1.log" || fail "first build: $(cat "$W/err1.log")"
[ -s "$W/err1.log" ] && fail "a build not on a terminal printed on standard error: $(cat "$W/err1.log")"
(cd "$W/p" && "$pack" build tarnwick.toml -o ../out2 -j 1 >/dev/null) || fail "second build"
for f in _setup.pkg _setup.dat setup.exe intro.jpg readme.txt; do same "rebuild" "$W/out1/$f" "$W/out2/$f"; done
[ "$(ls -A "$W/out1" | sort | tr '\n' ' ')" = "_setup.dat _setup.pkg intro.jpg readme.txt setup.exe " ] ||
  fail "setup folder holds: $(ls -A "$W/out1")"
ls -A "$W" | grep -q partial && fail "a staging folder was left behind"

# SOURCE_DATE_EPOCH clamps later times: sources touched now give the same bytes as before.
SOURCE_DATE_EPOCH=1715947200 "$pack" build "$W/p/tarnwick.toml" -o "$W/epoch1" >/dev/null || fail "epoch build"
touch "$W/p/app/docs/guide.txt"
SOURCE_DATE_EPOCH=1715947200 "$pack" build "$W/p/tarnwick.toml" -o "$W/epoch2" >/dev/null || fail "epoch build 2"
same "SOURCE_DATE_EPOCH" "$W/epoch1/_setup.dat" "$W/epoch2/_setup.dat"
same "SOURCE_DATE_EPOCH against plain times" "$W/epoch1/_setup.dat" "$W/out1/_setup.dat"
touch -d '2024-05-17 12:00:00 UTC' "$W/p/app/docs/guide.txt"

# --- verify
"$pack" verify "$W/out1" >"$W/verify.log" || fail "verify of a fresh build: $(cat "$W/verify.log")"
grep -q '^ok: "CLI Sample", setup.exe for x64, 4 items intact' "$W/verify.log" || fail "verify said: $(cat "$W/verify.log")"
cp -r "$W/out1" "$W/damaged"
size=$(stat -c %s "$W/damaged/_setup.dat")
printf '\x55\x55\x55\x55' | dd of="$W/damaged/_setup.dat" bs=1 seek=$((size / 2)) conv=notrunc status=none
rm "$W/damaged/intro.jpg"
"$pack" verify "$W/damaged" >"$W/damaged.log" && fail "verify passed a damaged folder"
grep -q '^intro.jpg: the picture the package names is missing' "$W/damaged.log" || fail "missing picture not reported: $(cat "$W/damaged.log")"
grep -q '^_setup.dat: ' "$W/damaged.log" || fail "damaged item not reported: $(cat "$W/damaged.log")"

# --- inspect -> build gives the same bytes
"$pack" inspect "$W/out1" --extract "$W/again" >"$W/inspect.log" || fail "inspect --extract"
grep -q "^# *1.twi *300000" "$W/inspect.log" || fail "inspect lists no item 1 of 300000 bytes: $(grep '^#' "$W/inspect.log")"
"$pack" build "$W/again/tarnwick.toml" -o "$W/out3" >/dev/null 2>"$W/err3.log" || fail "build of the inspected manifest: $(cat "$W/err3.log")"
for f in _setup.pkg _setup.dat intro.jpg readme.txt; do same "inspect round trip" "$W/out1/$f" "$W/out3/$f"; done

# --- a failed build leaves the existing folder as it was
before=$(cd "$W/out1" && sha256sum ./* | sort)
sed 's/^main .*/main = '"'"'[INSTALLDIR]\\nothing.exe'"'"'/' "$W/p/tarnwick.toml" > "$W/p/broken.toml"
"$pack" build "$W/p/broken.toml" -o "$W/out1" >/dev/null 2>"$W/broken.log"
[ $? -eq 1 ] || fail "a manifest fault does not exit with 1"
grep -q "broken.toml:8:.*error: main '\[INSTALLDIR\]\\\\nothing.exe' is not the destination" "$W/broken.log" || fail "broken build said: $(cat "$W/broken.log")"
grep -q "1 error, 0 warnings; nothing written" "$W/broken.log" || fail "no summary line"
[ "$(cd "$W/out1" && sha256sum ./* | sort)" = "$before" ] || fail "a failed build changed the existing folder"
ls -A "$W" | grep -q partial && fail "a failed build left its staging folder"
# A fault found while writing (the stub of the wrong machine) also leaves it alone.
"$pack" build "$W/p/tarnwick.toml" -o "$W/out1" --stub "$W/stubs/x86/setup.exe" >/dev/null 2>&1 && fail "an x86 stub for an x64 build was taken"
[ "$(cd "$W/out1" && sha256sum ./* | sort)" = "$before" ] || fail "a failed write changed the existing folder"
"$pack" build "$W/p/tarnwick.toml" -o "$W/out86" --arch x86 >/dev/null || fail "x86 build"
same "x86 stub" "$W/stubs/x86/setup.exe" "$W/out86/setup.exe"

# --- the output inside a source folder would pack itself next time
"$pack" build "$W/p/tarnwick.toml" -o "$W/p/app/setup" >/dev/null 2>"$W/inside.log" && fail "output inside a source folder was accepted"
grep -q "lies inside the source folder" "$W/inside.log" || fail "inside: $(cat "$W/inside.log")"

# --- init writes a manifest that builds as it stands
mkdir -p "$W/Tiny Tool/bin"
cp "$W/p/app/prog.exe" "$W/Tiny Tool/tiny.exe"
cp "$W/p/app/prog.exe" "$W/Tiny Tool/bin/helper.exe"
"$pack" init "$W/Tiny Tool" >/dev/null || fail "init"
grep -q "^main        = '\[INSTALLDIR\]\\\\tiny.exe'" "$W/Tiny Tool/tarnwick.toml" || fail "init chose: $(grep main "$W/Tiny Tool/tarnwick.toml")"
"$pack" build "$W/Tiny Tool/tarnwick.toml" -o "$W/tiny-setup" >/dev/null 2>"$W/init.log" || fail "init's manifest does not build: $(cat "$W/init.log")"
"$pack" init "$W/Tiny Tool" >/dev/null 2>&1 && fail "init replaced an existing manifest without --force"

# --- the README's manifest builds, without a warning, over the files it names
readme=$(dirname "$0")/../../README.md
mkdir -p "$W/readme/build/release/tests" "$W/readme/art"
sed -n '/^```toml$/,/^```$/p' "$readme" | sed '1d;$d' > "$W/readme/tarnwick.toml"
make_pe 8664 "$W/readme/build/release/notepad.exe"
printf 'pdb' > "$W/readme/build/release/notepad.pdb"
printf 'test' > "$W/readme/build/release/tests/t.txt"
printf 'license' > "$W/readme/LICENSE"
printf 'read me' > "$W/readme/README.txt"
cp "$W/p/art/intro.jpg" "$W/readme/art/intro.jpg"
"$pack" build "$W/readme/tarnwick.toml" -o "$W/readme-setup" --warnings-as-errors >/dev/null 2>"$W/readme.log" ||
  fail "the README's manifest does not build: $(cat "$W/readme.log")"

# --- so does the example product's, with its program where the demo puts it
cp -r "$(dirname "$0")/../../examples/notepad" "$W/notepad"
mkdir -p "$W/notepad/bin"
make_pe 8664 "$W/notepad/bin/notepad.exe"
"$pack" build "$W/notepad/tarnwick.toml" -o "$W/notepad-setup" --warnings-as-errors >/dev/null 2>"$W/notepad.log" ||
  fail "examples/notepad/tarnwick.toml does not build: $(cat "$W/notepad.log")"

# --- usage and exit codes
"$pack" >/dev/null 2>&1; [ $? -eq 2 ] || fail "no command: not 2"
"$pack" build "$W/p/tarnwick.toml" >/dev/null 2>&1; [ $? -eq 2 ] || fail "no -o: not 2"
"$pack" build "$W/p/tarnwick.toml" -o "$W/x" --level 12 >/dev/null 2>&1; [ $? -eq 2 ] || fail "--level 12: not 2"
"$pack" frobnicate >/dev/null 2>&1; [ $? -eq 2 ] || fail "unknown command: not 2"
"$pack" build --help | grep -q -- "--level" || fail "build --help"
"$pack" --version | grep -Eq '^tarnwick-pack [0-9]+\.[0-9]+\.[0-9]+$' || fail "--version"

# --- the Windows build of the packager makes the same bytes
if [ -n "$pack_exe" ]; then
  wine "$pack_exe" build "$(winepath -w "$W/p/tarnwick.toml")" -o "$(winepath -w "$W/outwin")" \
    --stub "$(winepath -w "$W/stubs/x64/setup.exe")" >/dev/null 2>"$W/wine.log" || fail "tarnwick-pack.exe build: $(cat "$W/wine.log")"
  for f in _setup.pkg _setup.dat setup.exe intro.jpg readme.txt; do same "native against Wine" "$W/out1/$f" "$W/outwin/$f"; done
fi

[ $failures -eq 0 ] && echo "all passed"
exit $((failures > 0))
