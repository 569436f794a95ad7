#!/usr/bin/env bash
# Sets up this machine if needed and shows the setup program doing its whole job:
#  1. builds the example product (examples/notepad) into a setup folder with tarnwick-pack (setup.exe,
#     _setup.pkg, _setup.dat, readme.txt and the picture), verifies it and prints its manifest as the
#     package holds it;
#  2. starts setup.exe under Wine on a private X server, walks the wizard with a screenshot of every
#     page (build/demo/shots), installs, and prints what was installed: files, registry values,
#     shortcuts;
#  3. runs the uninstaller the way the list of installed programs does, and prints what remains.
# Options:
#   --unattended       instead of 2 and 3: install with the one-file setup and /S, then remove with
#                      uninst.exe /S, no window at any moment; print both logs and the exit codes
#   --walk             with a display (DISPLAY set): start setup.exe there and let a person walk it
#   --update-gallery   also copy the screenshots to docs/gallery (the README's pictures)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
walk=0 gallery=0 unattended=0
for arg in "$@"; do
  case "$arg" in
    --walk) walk=1 ;;
    --update-gallery) gallery=1 ;;
    --unattended) unattended=1 ;;
    *) echo "usage: scripts/demo.sh [--unattended | --walk] [--update-gallery]" >&2; exit 2 ;;
  esac
done
if [ $walk -eq 1 ] && [ -z "${DISPLAY:-}" ]; then
  echo "demo: --walk needs a display (DISPLAY is not set)" >&2
  exit 2
fi

bash scripts/bootstrap.sh
mkdir -p build
echo "[demo] building"
if ! { cmake --preset native && cmake --build build/native --target tarnwick-pack &&
       cmake --preset win64 && cmake --build build/win64 --target setup setup_gui_driver tarnwick-notepad tarnwick-launcher; } >build/demo.log 2>&1; then
  tail -n 60 build/demo.log; exit 1
fi

WORK=$(mktemp -d /tmp/tarnwick-demo.XXXXXX)
RUN_DIR="$WORK/wine"
mkdir -p "$RUN_DIR"
# shellcheck source=wine-env.sh
source scripts/wine-env.sh
trap 'wine_env_stop; rm -rf "$WORK"' EXIT

echo "[demo] building the example product's setup folder with tarnwick-pack"
# The example's main program is built, not kept in the tree: a copy of the example gets it as bin/notepad.exe.
cp -r examples/notepad "$WORK/notepad"
mkdir -p "$WORK/notepad/bin"
cp build/win64/examples/tarnwick-notepad.exe "$WORK/notepad/bin/notepad.exe"
build/native/tools/pack/tarnwick-pack build "$WORK/notepad/tarnwick.toml" -o "$WORK/setup" --stub build/win64/src/app/setup.exe
build/native/tools/pack/tarnwick-pack verify "$WORK/setup" | sed 's/^/  /'
build/native/tools/pack/tarnwick-pack inspect "$WORK/setup" | sed 's/^/  /'
ls -l "$WORK/setup" | sed 's/^/  /'
echo "[demo] the one-file setup: the launcher with the setup folder appended (--single-file)"
build/native/tools/pack/tarnwick-pack build "$WORK/notepad/tarnwick.toml" -o "$WORK/one" --single-file \
  --stub build/win64/src/app/setup.exe --launcher build/win64/src/launcher/tarnwick-launcher.exe
ls -l "$WORK/one" | sed 's/^/  /'

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

shell_folder() { # HKLM Shell Folders value -> Unix path
  local value
  value=$(wine reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' /v "$1" 2>/dev/null |
    tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p")
  bash "$ROOT/cmake/wine-path.sh" -u "$value"
}
PRODUCT_DIR="$WINEPREFIX/drive_c/Program Files/Tarnwick Notepad"
PROGRAMS_DIR="$(shell_folder 'Common Programs')/Tarnwick Notepad"
DESKTOP_LINK="$(shell_folder 'Common Desktop')/Tarnwick Notepad.lnk"
show_state() {
  echo "  files in C:\\Program Files\\Tarnwick Notepad:"
  if [ -d "$PRODUCT_DIR" ]; then
    (cd "$PRODUCT_DIR" && find . -type f -printf '    %P  (%s bytes)\n' | sort)
  else
    echo "    (no folder)"
  fi
  echo "  registry:"
  # /reg:64: the demo's setup.exe is the x86_64 build; Debian's wine runs the 32-bit reg.exe,
  # which would look under WOW6432Node.
  for key in 'HKLM\SOFTWARE\Tarnwick Notepad' 'HKCU\Software\Tarnwick Notepad' \
             'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick Notepad' \
             'HKLM\SOFTWARE\Tarnwick Samples\Tarnwick Notepad'; do
    if out=$(wine reg query "$key" /reg:64 2>/dev/null | tr -d '\r' | grep -v '^$'); then
      printf '%s\n' "$out" | sed 's/^/    /'
    else
      echo "    $key: (no key)"
    fi
  done
  echo "  shortcuts:"
  local found=0 link
  for link in "$PROGRAMS_DIR"/*.lnk "$DESKTOP_LINK"; do
    [ -f "$link" ] || continue
    found=1
    printf '    %s -> %s (in %s)\n' "${link##*/}" \
      "$(lnkinfo "$link" | sed -n 's/^[[:space:]]*Local path[[:space:]]*: //p' | head -n 1)" \
      "$(lnkinfo "$link" | sed -n 's/^[[:space:]]*Working directory[[:space:]]*: //p' | head -n 1)"
  done
  [ $found -eq 1 ] || echo "    (none)"
}

# The Windows programs here are the win64 build's.
export TARNWICK_PE_KIND=PE32+
if [ $unattended -eq 1 ]; then
  echo '[demo] one command, no window: "Tarnwick Notepad-setup.exe" /S /DESKTOP /LOG=install.log'
  code=0
  (cd "$WORK/one" && wine "Tarnwick Notepad-setup.exe" /S /DESKTOP "/LOG=$(bash "$ROOT/cmake/wine-path.sh" -w "$WORK/install.log")") || code=$?
  echo "[demo] exit code $code; the log:"
  sed 's/^/  /' "$WORK/install.log"
  echo "[demo] installed:"
  show_state
  echo '[demo] removing it: "C:\Program Files\Tarnwick Notepad\uninst.exe" /S /LOG=uninstall.log'
  code=0
  wine 'C:\Program Files\Tarnwick Notepad\uninst.exe' /S "/LOG=$(bash "$ROOT/cmake/wine-path.sh" -w "$WORK/uninstall.log")" || code=$?
  # The copy that did the work removes uninst.exe and the folder a moment after the original ends.
  for _ in $(seq 1 50); do [ -d "$PRODUCT_DIR" ] || break; sleep 0.1; done
  echo "[demo] exit code $code; the log:"
  sed 's/^/  /' "$WORK/uninstall.log"
  echo "[demo] after the uninstallation, what remains:"
  show_state
  exit 0
fi

bash tests/gui/run_gui_test.sh build/win64/tests/gui/setup_gui_driver.exe "$WORK/setup/setup.exe" demo-install "$SHOTS"
echo "[demo] installed:"
show_state
bash tests/gui/run_gui_test.sh build/win64/tests/gui/setup_gui_driver.exe "$WORK/setup/setup.exe" demo-uninstall "$SHOTS"
echo "[demo] after the uninstallation, what remains:"
show_state
echo "[demo] screenshots of every page: $SHOTS"
ls "$SHOTS" | sed 's/^/  /'
if [ $gallery -eq 1 ]; then
  mkdir -p docs/gallery
  cp "$SHOTS"/*.png docs/gallery/
  echo "[demo] docs/gallery updated"
fi
