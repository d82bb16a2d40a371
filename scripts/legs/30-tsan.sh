#!/usr/bin/env bash
# The whole suite under ThreadSanitizer.
set -euo pipefail
source "$(dirname "$0")/common.inc"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$(cd "$(dirname "$0")" && pwd)/tsan-suppressions.txt"
run_ctest_build tsan -DCMAKE_BUILD_TYPE=Debug -DVELKOR_SANITIZE=thread -DVELKOR_BUILD_BENCHMARKS=OFF
