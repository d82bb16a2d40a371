#!/usr/bin/env bash
# The ordinary optimized build and the whole suite.
set -euo pipefail
source "$(dirname "$0")/common.inc"
# The bench page is built and tested in a browser here.
run_ctest_build plain -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKOR_WEB_PAGE_REQUIRED=ON -DVELKOR_BROWSER_TESTS=ON
