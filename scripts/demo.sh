#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs velkor demo, a
# motion session on a virtual module; its picture goes to build/demo.svg.
# Arguments are passed on (--fast, --trace, --svg FILE).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
mapfile -t base < <(grep -v '^#' scripts/base-packages.txt)
scripts/install-deps.sh "${base[@]}"
cmake -S . -B build/plain -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/plain -j "$(nproc)"
exec build/plain/tools/velkor demo --svg build/demo.svg "$@"
