# Sourced by the fault tests: paths between Linux and Wine, running this build's Windows programs,
# checks that count their failures, and the checks every fault test makes.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
win() { bash "$root/cmake/wine-path.sh" -w "$1"; }
unix() { bash "$root/cmake/wine-path.sh" -u "$1"; }
run() { bash "$root/cmake/wine-run.sh" "$@"; }
fails=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; fails=$((fails + 1)); fi
}
finish() { [ "$fails" = 0 ] || { echo "$fails check(s) failed"; exit 1; }; }

# pack_product MANIFEST OUT PACK SETUP: a setup folder for this build's architecture.
pack_product() {
  local arch=x64
  [ "${TARNWICK_PE_KIND:-}" = PE32 ] && arch=x86
  run "$3" build "$(win "$1")" -o "$(win "$2")" --arch "$arch" --stub "$(win "$4")" >/dev/null
}

# temp_folder_of LOG: the temporary folder a run's log names (Windows path).
temp_folder_of() { grep -a -o 'Temporary folder: .*' "$1" | head -n 1 | sed 's/^Temporary folder: //; s/\r$//'; }
# temp_folder_gone LOG: that folder no longer exists (other tests may have theirs meanwhile).
temp_folder_gone() {
  local folder
  folder=$(temp_folder_of "$1")
  [ -n "$folder" ] && [ ! -e "$(unix "$folder")" ]
}
