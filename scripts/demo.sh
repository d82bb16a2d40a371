#!/usr/bin/env bash
# The main job: installs what is missing, builds the velkor tool and what it
# needs (not the tests nor the benchmark) with its bench page, and runs
# velkor demo, a motion session on a virtual module. Its picture goes to
# build/demo.svg, its scope samples to build/demo-scope.csv, drawn in
# build/demo-scope.svg. Arguments are passed on to velkor demo (--fast,
# --trace, --trace-queries, --web).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
mapfile -t base < <(grep -v '^#' scripts/base-packages.txt)
scripts/install-deps.sh "${base[@]}"
# Debian's nodejs comes without npm (other builds of nodejs carry their own).
command -v npm >/dev/null || scripts/install-deps.sh npm
# The page's packages from npm, exactly those of its lock file, as the test
# command installs them; the tool is then built with the page, or not at all.
# Where npm cannot reach its registry the demo still runs, without the page.
page=ON
if ! (cd web && npm ci --no-audit --no-fund --loglevel=error); then
  echo "demo.sh: npm ci failed in web/: velkor is built without the bench page" >&2
  page=OFF
fi
cmake -S . -B build/plain -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKOR_WEB_PAGE_REQUIRED=$page >/dev/null
cmake --build build/plain -j "$(nproc)" --target velkor
status=0
build/plain/tools/velkor demo --svg build/demo.svg --scope build/demo-scope.csv "$@" || status=$?
if [ -s build/demo-scope.csv ]; then
  build/plain/tools/velkor plot build/demo-scope.csv --svg build/demo-scope.svg
fi
exit $status
