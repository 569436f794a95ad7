#!/usr/bin/env bash
# winepath, tried again when Wine fails to start it (see wine-run.sh): a path converted to empty
# would become an empty switch value, and the test would fail far from the cause.
#   wine-path.sh -w|-u <path>
set -u
for attempt in 1 2 3; do
  converted=$(winepath "$1" "$2" 2>/dev/null)
  case "$converted" in
    "" | *"could not be started"*) [ "$attempt" = 3 ] || sleep 0.2 ;;
    *) printf '%s\n' "$converted"; exit 0 ;;
  esac
done
echo "wine-path: winepath $1 '$2' failed three times" >&2
exit 1
