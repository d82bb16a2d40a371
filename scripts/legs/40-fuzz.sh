#!/usr/bin/env bash
# The arc planner, the monitor's line handling and the scenario file reader
# under libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer, each
# for a bounded time (VELKOR_FUZZ_SECONDS, at most 60). Needs clang and its
# fuzzer runtime; installs them when missing.
set -euo pipefail
source "$(dirname "$0")/common.inc"

seconds="${VELKOR_FUZZ_SECONDS:-45}"
[ "$seconds" -gt 60 ] && seconds=60

fuzzer_links() {
  local probe
  probe="$(mktemp -d)"
  printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' >"$probe/p.cpp"
  local status=0
  clang++ -fsanitize=fuzzer "$probe/p.cpp" -o "$probe/p" >/dev/null 2>&1 || status=1
  rm -rf "$probe"
  return $status
}
command -v clang++ >/dev/null || "$VELKOR_ROOT/scripts/install-deps.sh" clang
if ! fuzzer_links; then
  major="$(clang++ -dumpversion | cut -d. -f1)"
  "$VELKOR_ROOT/scripts/install-deps.sh" "libclang-rt-$major-dev"
fi

dir="$VELKOR_ROOT/build/fuzz"
cmake -S "$VELKOR_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVELKOR_SANITIZE=address \
  -DVELKOR_BUILD_FUZZERS=ON -DVELKOR_BUILD_TESTS=OFF -DVELKOR_BUILD_BENCHMARKS=OFF
cmake --build "$dir" -j "$VELKOR_JOBS" --target arc_planner_fuzz monitor_line_fuzz scenario_parser_fuzz

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
corpus="$dir/corpus"
mkdir -p "$corpus"
# Seeds: a half circle, a three-quarter circle and a slightly curved long
# move on a circle of radius 1.1e9 (mode byte, tolerance shift byte, then
# start, middle, end, tolerance and speed, little-endian).
le() {
  local v=$(( $1 & 0xFFFFFFFF ))
  printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) $((v >> 24 & 255))
}
seed() {
  local out="$1" bytes='\x40\x00'
  shift
  for v in "$@"; do bytes+="$(le "$v")"; done
  printf "$bytes" >"$out"
}
[ -e "$corpus/half-circle" ] || seed "$corpus/half-circle" 0 0 0 1000 1000 0 2000 0 0 1 10000
[ -e "$corpus/three-quarters" ] || seed "$corpus/three-quarters" 0 0 0 2000 0 0 1000 -1000 0 2 10000
[ -e "$corpus/slightly-curved" ] || seed "$corpus/slightly-curved" 0 0 0 47000 1 0 94000 0 0 1 10000
# A run that finds nothing exits 0; a crash, a sanitizer finding, a failed
# check or an input slower than 10 s ends it with a non-zero status.
"$dir/fuzz/arc_planner_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$dir/" "$corpus"

# The monitor's lines, seeded with a few requests of each kind, for the same
# bounded time.
lines="$dir/monitor-corpus"
mkdir -p "$lines"
printf '{"id":1,"cmd":"status","slot":3}\n{"id":2,"cmd":"list"}\n' >"$lines/status"
printf '{"id":1,"cmd":"set_inputs","slot":3,"axis":1,"set":256}\n{"id":2,"cmd":"switch","slot":3,"axis":2,"name":"home","on":true}\n' >"$lines/actions"
printf '{"id":1,"cmd":"subscribe","rate":1000,"events":"all"}\n{"id":2,"cmd":"step","slot":3,"steps":3}\n' >"$lines/subscribe"
printf '{"id":"a","cmd":"scope_arm","slot":3,"settings":"period=0.002,capacity=16"}\n{"id":"b","cmd":"scope_read","slot":3,"max":4}\n{"cmd":"trail_read","slot":3,"since":-1}\n' >"$lines/scope"
"$dir/fuzz/monitor_line_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$dir/monitor-" "$lines"

# Scenario files: seeded with the examples', and with the files that once
# crashed or aborted the reader (fuzz/corpus/scenario: headers toml++
# asserted on, keys and nesting deep enough to overflow its stack).
scenario_corpus="$dir/scenario-corpus"
mkdir -p "$scenario_corpus"
cp "$VELKOR_ROOT"/examples/scenarios/*.toml "$VELKOR_ROOT"/fuzz/corpus/scenario/* "$scenario_corpus/"
"$dir/fuzz/scenario_parser_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -print_final_stats=1 -artifact_prefix="$dir/scenario-" "$scenario_corpus"
