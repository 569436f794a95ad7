#!/usr/bin/env bash
# Runs one GUI scenario: the driver under Wine, and beside it a loop that answers its screenshot
# requests (<folder>/<name>.req holding an optional WxH+X+Y crop) with <folder>/<name>.png.
#   run_gui_test.sh <driver.exe> <setup.exe> <scenario> <screenshot folder>
set -u
driver=$1 setup=$2 scenario=$3 shots=$4
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$shots"
rm -f "$shots"/*.req "$shots"/*.reqtmp

answer_shots() {
  while :; do
    for req in "$shots"/*.req; do
      [ -e "$req" ] || continue
      name=${req%.req}
      geometry=$(cat "$req")
      if [ -n "$geometry" ]; then
        import -window root png:- | /usr/bin/convert png:- -crop "$geometry" +repage "$name.tmp.png"
      else
        import -window root "$name.tmp.png"
      fi
      mv -f "$name.tmp.png" "$name.png"
      rm -f "$req"
    done
    sleep 0.05
  done
}
# Files a scenario needs from the build, as Windows paths.
win() { bash "$here/../../cmake/wine-path.sh" -w "$1"; }
if [ -n "${TARNWICK_PLANTED_DLL_UNIX:-}" ]; then
  TARNWICK_PLANTED_DLL=$(win "$TARNWICK_PLANTED_DLL_UNIX")
  export TARNWICK_PLANTED_DLL
  # Wine reads the load order when a process starts, from the environment it was started with.
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-};comctl32=n,b"
fi

answer_shots &
watcher=$!
trap 'kill "$watcher" 2>/dev/null' EXIT

timeout 300 bash "$here/../../cmake/wine-run.sh" "$driver" "$scenario" "$(win "$setup")" "$(win "$shots")"
