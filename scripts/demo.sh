#!/usr/bin/env bash
# Sets up this machine if needed and shows the setup program at work:
#  1. builds the demo and a sample package (_setup.pkg), and prints what its header says;
#  2. builds setup.exe and puts it beside the package, with a picture and a Read Me file;
#  3. starts setup.exe under Wine on a private X server, walks it to the summary page with a
#     screenshot of every page (build/demo/shots), and leaves through Exit Setup.
# Options:
#   --walk             with a display (DISPLAY set): start setup.exe there and let a person walk it
#   --update-gallery   also copy the screenshots to docs/gallery (the README's pictures)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
walk=0 gallery=0
for arg in "$@"; do
  case "$arg" in
    --walk) walk=1 ;;
    --update-gallery) gallery=1 ;;
    *) echo "usage: scripts/demo.sh [--walk] [--update-gallery]" >&2; exit 2 ;;
  esac
done
if [ $walk -eq 1 ] && [ -z "${DISPLAY:-}" ]; then
  echo "demo: --walk needs a display (DISPLAY is not set)" >&2
  exit 2
fi

bash scripts/bootstrap.sh
mkdir -p build
echo "[demo] building"
if ! { cmake --preset native && cmake --build build/native --target tarnwick-demo &&
       cmake --preset win64 && cmake --build build/win64 --target setup setup_gui_driver; } >build/demo.log 2>&1; then
  tail -n 60 build/demo.log; exit 1
fi

WORK=$(mktemp -d /tmp/tarnwick-demo.XXXXXX)
RUN_DIR="$WORK/wine"
mkdir -p "$RUN_DIR"
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
trap 'wine_env_stop; rm -rf "$WORK"' EXIT

# The package, and its header as start-up reads it.
build/native/tools/demo/tarnwick-demo "$WORK"
cp build/win64/src/app/setup.exe tools/demo/intro.jpg "$WORK/setup/"
printf 'Tarnwick Notepad\r\n\r\nA sample product for the setup program'"'"'s demo.\r\n' >"$WORK/setup/readme.txt"

if [ $walk -eq 1 ]; then
  # The person's own display instead of the private X server: the same prefix settings otherwise.
  own_display=$DISPLAY
  wine_env_start
  kill "$TARNWICK_XVFB_PID" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  export DISPLAY=$own_display
  wineserver -p
  echo "[demo] setup.exe is starting on $DISPLAY; walk the wizard, then finish or cancel it"
  (cd "$WORK/setup" && wine setup.exe) || true
  exit 0
fi

echo "[demo] starting setup.exe under Wine on a private X server"
wine_env_start
SHOTS="$ROOT/build/demo/shots"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
bash tests/gui/run_gui_test.sh build/win64/tests/gui/setup_gui_driver.exe "$WORK/setup/setup.exe" tour "$SHOTS"
echo "[demo] screenshots of every page: $SHOTS"
ls "$SHOTS"
if [ $gallery -eq 1 ]; then
  mkdir -p docs/gallery
  cp "$SHOTS"/*.png docs/gallery/
  echo "[demo] docs/gallery updated"
fi
