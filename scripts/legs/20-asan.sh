#!/usr/bin/env bash
# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
source "$(dirname "$0")/common.inc"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_ctest_build asan -DCMAKE_BUILD_TYPE=Debug -DVELKOR_SANITIZE=address -DVELKOR_BUILD_BENCHMARKS=OFF
