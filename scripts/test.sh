#!/usr/bin/env bash
# The test command: installs what is missing, then runs every leg in
# scripts/legs/ in order (each configures, builds and runs CTest in a build
# folder of its own). Usage: scripts/test.sh [LEG-NAME...] (default: all legs).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
mapfile -t base < <(grep -v '^#' scripts/base-packages.txt)
scripts/install-deps.sh "${base[@]}"
# The bench page's packages from npm (its lock file): bundled into the tool at
# build time, and Playwright for its test in Debian's Chromium.
if command -v npm >/dev/null; then
  (cd web && npm ci --no-audit --no-fund --loglevel=error)
fi

export VELKOR_ROOT="$root"
export VELKOR_JOBS="${VELKOR_JOBS:-$(nproc)}"
legs=()
if [ $# -gt 0 ]; then
  for name in "$@"; do legs+=(scripts/legs/*-"$name".sh); done
else
  legs=(scripts/legs/[0-9]*-*.sh)
fi
# Each leg's output goes to the terminal and to build/logs/LEG.log; a failed
# leg's findings are repeated at the very end, where a CI log's tail shows them.
logs="$root/build/logs"
mkdir -p "$logs"
failed=()
for leg in "${legs[@]}"; do
  name="$(basename "$leg" .sh)"
  echo "=== leg $name"
  start=$SECONDS
  if bash "$leg" 2>&1 | tee "$logs/$name.log"; then
    echo "=== leg $name passed in $((SECONDS - start)) s"
  else
    echo "=== leg $name FAILED in $((SECONDS - start)) s"
    failed+=("$name")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  for name in "${failed[@]}"; do
    echo "=== what failed in leg $name (the whole output: build/logs/$name.log)"
    grep -E -A3 'FAILED|Failed|\*\*\*|ERROR|SUMMARY|error:|Error [0-9]|Timeout|deadly signal|leak' "$logs/$name.log" \
      | grep -v -E '^\s*Start ' | tail -n 60 || true
    echo "--- the leg's last lines:"
    tail -n 15 "$logs/$name.log"
  done
  echo "failed legs: ${failed[*]}"
  exit 1
fi
echo "all legs passed"
