#!/usr/bin/env bash
# The main job: installs what is missing, builds the velkor tool and what it
# needs (not the tests nor the benchmark), and runs velkor demo, a motion
# session on a virtual module. Its picture goes to build/demo.svg, its scope
# samples to build/demo-scope.csv, drawn in build/demo-scope.svg.
# Arguments are passed on to velkor demo (--fast, --trace, --trace-queries).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
mapfile -t base < <(grep -v '^#' scripts/base-packages.txt)
scripts/install-deps.sh "${base[@]}"
cmake -S . -B build/plain -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/plain -j "$(nproc)" --target velkor
status=0
build/plain/tools/velkor demo --svg build/demo.svg --scope build/demo-scope.csv "$@" || status=$?
if [ -s build/demo-scope.csv ]; then
  build/plain/tools/velkor plot build/demo-scope.csv --svg build/demo-scope.svg
fi
exit $status
