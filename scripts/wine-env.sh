# Sourced by the test and demo scripts: a private X server and a fresh Wine prefix for this run,
# removed again when the calling shell exits.
#   wine_env_start   sets DISPLAY, WINEPREFIX and the rest, boots the prefix, starts a warm server
# Requires: RUN_DIR set to a private temporary folder by the caller.

# Whether this machine runs 32-bit Wine. Installed is not enough: a kernel without IA-32 emulation
# refuses every i386 program ("Exec format error").
wine32_runs() { [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; }

wine_env_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "${WINEPREFIX}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "${TARNWICK_XVFB_PID:-}" ]; then kill "$TARNWICK_XVFB_PID" >/dev/null 2>&1 || true; fi
}

wine_env_start() {
  export WINEARCH=win64 WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8
  # No Mono/Gecko downloads; no desktop menu entries written into $HOME; no crash dialog that waits for a click.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
  export WINEPREFIX="$RUN_DIR/wineprefix"
  # Debian's `wine` (and `wine-stable`, which winepath and wineboot call) picks the 32-bit loader
  # whenever wine32 is installed, and that loader starts 64-bit programs too. Where it cannot run,
  # the 64-bit loader is called directly, and TARNWICK_WINE32=0 tells the test run to leave the
  # 32-bit programs out.
  if wine32_runs; then
    export TARNWICK_WINE32=1
  else
    export TARNWICK_WINE32=0
    mkdir -p "$RUN_DIR/bin"
    local shim
    for shim in wine wine-stable; do
      printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\n[ -n "$WINEDEBUG" ] || export WINEDEBUG=fixme-all\nexec /usr/lib/wine/wine64 "$@"\n' \
        >"$RUN_DIR/bin/$shim"
      chmod +x "$RUN_DIR/bin/$shim"
    done
    export PATH="$RUN_DIR/bin:$PATH"
  fi

  # One X server per run; -displayfd lets it choose a free display without races.
  : >"$RUN_DIR/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$RUN_DIR/display" >/dev/null 2>&1 &
  TARNWICK_XVFB_PID=$!
  local i
  for i in $(seq 1 100); do [ -s "$RUN_DIR/display" ] && break; sleep 0.1; done
  [ -s "$RUN_DIR/display" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$(head -n 1 "$RUN_DIR/display")"

  # HOME points at the run folder so the prefix's Desktop and Documents links stay inside it.
  HOME="$RUN_DIR" wine wineboot -i >/dev/null 2>&1
  wineserver -w
  # Debian's Wine does not load its own fonts folder; copy the fonts into the prefix.
  cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  find "$WINEPREFIX/drive_c/users" -maxdepth 3 -type l -exec sh -c 'rm "$1" && mkdir "$1"' _ {} \;
  cat >"$RUN_DIR/settings.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Arial"="Liberation Sans"
"Times New Roman"="Liberation Serif"
"Courier New"="Liberation Mono"
REG
  wine reg import "$(winepath -w "$RUN_DIR/settings.reg" 2>/dev/null)" >/dev/null 2>&1
  # A persistent, warm server: without it every test pays a cold start, and ctest's pipes stay
  # open a second longer after each program.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1
}
