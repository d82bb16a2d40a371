#!/usr/bin/env bash
# The Windows build: Velkor.dll, BrelanSDK.dll and the whole suite
# cross-compiled as 64-bit Windows programs with mingw-w64 and run under Wine,
# headless, in a throw-away Wine prefix.
set -euo pipefail
source "$(dirname "$0")/common.inc"

"$VELKOR_ROOT/scripts/install-deps.sh" g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine procps

triple=x86_64-w64-mingw32
objdump="$(command -v $triple-objdump)"
# wine64 runs the 64-bit programs directly; Debian's wine launcher would warn
# on every start that its 32-bit half is missing.
if command -v wine64 >/dev/null; then wine="$(command -v wine64)"
elif [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64
else wine="$(command -v wine)"; fi
wineserver="$(command -v wineserver || echo /usr/lib/wine/wineserver)"

# A Wine prefix and temporary folder of this run alone, removed at the end.
work="$(mktemp -d "${TMPDIR:-/tmp}/velkor-wine.XXXXXX")"
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all TMPDIR="$work/tmp"
# No .NET or HTML engine is needed; without them the prefix set-up does not
# look for their installers.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX" "$TMPDIR"
stop_wine() {
  # Ends the server and every Wine process of this prefix, and waits for the
  # server to be gone before its prefix is removed.
  "$wineserver" -k >/dev/null 2>&1 || true
  "$wineserver" -w >/dev/null 2>&1 || true
  rm -rf "$work" || true
}
trap stop_wine EXIT

# One Wine server for the whole leg, started once: creating the prefix takes
# seconds, a program start on a running server milliseconds. Its standard
# streams, and those of the helper processes the prefix set-up leaves running,
# are detached, so that no build step or test waits on a pipe Wine keeps open.
started=$SECONDS
"$wineserver" -p </dev/null >/dev/null 2>&1
"$wine" wineboot --init </dev/null >/dev/null 2>&1
# wineboot returns while the prefix's service processes are still being
# started (and some started twice) for up to a minute; a program started in
# that time may end before it ran. One Wine program kept running for the
# whole leg (a command prompt reading from a pipe that stays open) keeps the
# session, its desktop and its services up between tests, so that they are
# never shut down and started again while a test starts; and the set-up is
# waited for: the first program starts only once the prefix's processes have
# not changed for 5 s.
mkfifo "$work/keep"
"$wine" cmd.exe <"$work/keep" >/dev/null 2>&1 &
exec 9>"$work/keep"
wine_processes() { ps -eo pid=,args= | grep -E '[Cc]:\\windows\\' | sort; }
last="" still=0
while [ $still -lt 5 ] && [ $((SECONDS - started)) -lt 120 ]; do
  now="$(wine_processes)"
  if [ "$now" = "$last" ]; then still=$((still + 1)); else still=0; last="$now"; fi
  sleep 1
done
echo "Wine prefix ready in $((SECONDS - started)) s"
# CTest runs each test program through wine-run.sh, which runs a program that
# Wine did not start (it printed nothing and failed) once more and logs it.
export VELKOR_WINE_PROGRAM="$wine" VELKOR_WINE_LOG="$work/wine-run.log"
: >"$VELKOR_WINE_LOG"

dir="$VELKOR_ROOT/build/windows"
cmake -S "$VELKOR_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$VELKOR_ROOT/cmake/toolchains/mingw-w64-x86_64.cmake" \
  -DVELKOR_WINE="$VELKOR_ROOT/scripts/wine-run.sh"
started=$SECONDS
cmake --build "$dir" -j "$VELKOR_JOBS"
echo "Windows build in $((SECONDS - started)) s"

# Every program and library is a 64-bit Windows binary that needs no MinGW
# runtime DLL. A 32-bit program would "pass" under a 64-bit-only Wine without
# running anything, so one is a failure.
binaries=()
while IFS= read -r -d '' file; do binaries+=("$file"); done \
  < <(find "$dir" -name CMakeFiles -prune -o \( -iname '*.exe' -o -iname '*.dll' \) -type f -print0)
[ ${#binaries[@]} -gt 0 ] || { echo "no Windows binaries built" >&2; exit 1; }
bad=0
for file in "${binaries[@]}"; do
  if ! "$objdump" -f "$file" | grep -q 'file format pei-x86-64'; then
    echo "not a 64-bit Windows binary: $file ($("$objdump" -f "$file" | grep -o 'file format .*'))" >&2
    bad=1
  fi
  if "$objdump" -p "$file" | grep -Eiq 'DLL Name: (libstdc\+\+|libgcc|libwinpthread)'; then
    echo "needs a MinGW runtime DLL: $file" >&2
    bad=1
  fi
done
[ $bad -eq 0 ] || exit 1
echo "${#binaries[@]} binaries, all 64-bit, none needing a MinGW runtime DLL"

# Velkor.dll's export table against the header, and its version resource.
cmake -DHEADER="$VELKOR_ROOT/include/Velkor.h" -DDLL="$dir/bin/Velkor.dll" \
  -DIMPORT_LIBRARY="$dir/src/libVelkor.dll.a" -DOBJDUMP="$objdump" -DNM="$(command -v $triple-nm)" \
  -DWINDRES="$(command -v $triple-windres)" -P "$VELKOR_ROOT/cmake/check_dll_exports.cmake"

# A program that Wine cannot run may still end with 0 and print nothing, and
# a test list read from nothing is empty: make sure the test program really
# runs here before trusting CTest's verdict.
smoke="$("$wine" "$dir/bin/velkor_tests.exe" --gtest_filter='KernelSeam.*' </dev/null 2>&1)" || true
if ! grep -q '^\[  PASSED  \] [1-9]' <<<"$smoke"; then
  echo "velkor_tests.exe does not run under $wine:" >&2
  echo "$smoke" >&2
  exit 1
fi

# VELKOR_WINDOWS_RUNS=N runs the tests N times in a row (default once), to
# show that they pass every time.
runs="${VELKOR_WINDOWS_RUNS:-1}"
rc=0
for ((run = 1; run <= runs; ++run)); do
  started=$SECONDS
  run_rc=0
  (cd "$dir" && ctest --output-on-failure -j "$VELKOR_JOBS" --timeout 600) || run_rc=$?
  [ $run_rc -eq 0 ] || rc=$run_rc
  echo "Windows tests under Wine, run $run of $runs: $([ $run_rc -eq 0 ] && echo passed || echo FAILED)" \
    "in $((SECONDS - started)) s, load $(cut -d' ' -f1-3 /proc/loadavg)"
done
if [ -s "$VELKOR_WINE_LOG" ]; then
  echo "programs that Wine did not start, run once more:"
  cat "$VELKOR_WINE_LOG"
else
  echo "every program started under Wine at the first try"
fi
exit $rc
