#!/usr/bin/env bash
# The ordinary optimized build and the whole suite.
set -euo pipefail
source "$(dirname "$0")/common.inc"
run_ctest_build plain -DCMAKE_BUILD_TYPE=RelWithDebInfo
