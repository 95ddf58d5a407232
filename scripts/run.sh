#!/usr/bin/env bash
# Installs what is missing, builds the program, and starts Tolvane with the
# given options (none: the window). Paths are taken from where it is called.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target tolvane
exec "$root/build/src/tolvane" "$@"
