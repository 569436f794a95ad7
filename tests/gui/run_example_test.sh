#!/usr/bin/env bash
# A scenario on the example product: its setup folder made first, then the driver told where.
#   run_example_test.sh <driver.exe> <setup.exe> <tarnwick-pack.exe> <tarnwick-notepad.exe> <scenario> <work folder> [<launcher.exe>]
set -u
driver=$1 setup=$2 pack=$3 notepad=$4 scenario=$5 work=$6 launcher=${7:-}
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/make_example_setup.sh" "$pack" "$notepad" "$setup" "$work" "$launcher" || { echo "cannot make the example's setup folder" >&2; exit 1; }
win() { bash "$here/../../cmake/wine-path.sh" -w "$1"; }
TARNWICK_EXAMPLE_SETUP=$(win "$work/setup")
TARNWICK_EXAMPLE_SINGLE_FILE=$(win "$work/one/Tarnwick Notepad-setup.exe")
export TARNWICK_EXAMPLE_SETUP TARNWICK_EXAMPLE_SINGLE_FILE
bash "$here/run_gui_test.sh" "$driver" "$setup" "$scenario" "$work/shots"
