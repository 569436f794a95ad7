#!/usr/bin/env bash
# The install-and-uninstall scenario, then lnkinfo on the shortcuts it made.
#   run_install_test.sh <driver.exe> <setup.exe> <screenshot folder> [<scenario>, default install]
set -u
here=$(cd "$(dirname "$0")" && pwd)
rm -f "$3"/links.txt "$3"/*link*.lnk
bash "$here/run_gui_test.sh" "$1" "$2" "${4:-install}" "$3" || exit 1
bash "$here/check_links.sh" "$3"
