#!/usr/bin/env bash
# The ordinary optimized build and the whole suite, then the ABI of its shared
# libraries against the last release's, and the API reference (which fails on
# an undocumented export).
set -euo pipefail
source "$(dirname "$0")/common.inc"
"$VELKOR_ROOT/scripts/install-deps.sh" abigail-tools doxygen mkdocs
# The bench page is built and tested in a browser here.
run_ctest_build plain -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKOR_WEB_PAGE_REQUIRED=ON -DVELKOR_BROWSER_TESTS=ON
"$VELKOR_ROOT/scripts/check-abi.sh" "$VELKOR_ROOT/build/plain"
"$VELKOR_ROOT/scripts/api-reference.sh" "$VELKOR_ROOT/build/plain/api-reference"
