#!/usr/bin/env bash
# Makes the example product's setup folder the way scripts/demo.sh does, with this build's
# tarnwick-pack.exe under Wine: <out>/setup holds setup.exe, _setup.pkg, _setup.dat, readme.txt
# and the picture; with a launcher, <out>/one holds the one-file setup too.
#   make_example_setup.sh <tarnwick-pack.exe> <tarnwick-notepad.exe> <setup.exe> <out> [<launcher.exe>]
set -euo pipefail
pack=$1 notepad=$2 setup=$3 out=$4 launcher=${5:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
win() { bash "$root/cmake/wine-path.sh" -w "$1"; }
arch=x64
[ "${TARNWICK_PE_KIND:-}" = PE32 ] && arch=x86
rm -rf "$out"
mkdir -p "$out"
# The example's main program is built, not kept in the tree: a copy of the example gets it.
cp -r "$root/examples/notepad" "$out/notepad"
mkdir -p "$out/notepad/bin"
cp "$notepad" "$out/notepad/bin/notepad.exe"
bash "$root/cmake/wine-run.sh" "$pack" build "$(win "$out/notepad/tarnwick.toml")" -o "$(win "$out/setup")" \
  --arch "$arch" --stub "$(win "$setup")" >/dev/null
if [ -n "$launcher" ]; then
  bash "$root/cmake/wine-run.sh" "$pack" build "$(win "$out/notepad/tarnwick.toml")" -o "$(win "$out/one")" \
    --arch "$arch" --stub "$(win "$setup")" --single-file --launcher "$(win "$launcher")" >/dev/null
fi
