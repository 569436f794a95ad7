#!/usr/bin/env bash
# Makes the example product's setup folder the way scripts/demo.sh does, with the Windows build
# of tarnwick-demo under Wine: <out>/setup holds setup.exe, _setup.pkg, _setup.dat, readme.txt
# and the picture; with a launcher, <out>/Tarnwick Notepad Setup.exe is the one-file setup too.
#   make_example_setup.sh <tarnwick-demo.exe> <tarnwick-notepad.exe> <setup.exe> <out> [<launcher.exe>]
set -euo pipefail
demo=$1 notepad=$2 setup=$3 out=$4 launcher=${5:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
win() { winepath -w "$1" 2>/dev/null; }
rm -rf "$out"
mkdir -p "$out"
bash "$root/cmake/wine-run.sh" "$demo" example "$(win "$root/examples/notepad")" "$(win "$notepad")" "$(win "$out")" >/dev/null
(cd "$out/items" && zip -q -X ../data.zip ./*.twi)
bash "$root/cmake/wine-run.sh" "$demo" encipher "$(win "$out/data.zip")" "$(win "$out/setup/_setup.dat")"
cp "$setup" "$root/tools/demo/intro.jpg" "$root/examples/notepad/files/readme.txt" "$out/setup/"
if [ -n "$launcher" ]; then
  bash "$root/cmake/wine-run.sh" "$demo" single-file "$(win "$out/setup")" "$(win "$launcher")" \
    "$(win "$out/Tarnwick Notepad Setup.exe")"
fi
