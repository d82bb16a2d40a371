#!/usr/bin/env bash
# The Windows leg's test runner (CMake's cross-compiling emulator there):
# runs a Windows program under Wine, the Wine of VELKOR_WINE_PROGRAM.
#
# A program that Wine did not start prints nothing at all and fails; every
# program of the suite prints something once it runs. Such a run, and only
# such a run, is tried once more, and the log says so: on stderr and, when
# VELKOR_WINE_LOG names a file, in that file, which the leg prints at its end.
# A program that printed anything ran, and its result stands.
set -u
wine="${VELKOR_WINE_PROGRAM:?VELKOR_WINE_PROGRAM must name the wine program}"
out="$(mktemp)" err="$(mktemp)"
trap 'rm -f "$out" "$err"' EXIT

"$wine" "$@" >"$out" 2>"$err"
rc=$?
if [ "$rc" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
  note="wine-run: '$*' printed nothing and exited with $rc after Wine started it; run once more"
  echo "$note" >&2
  [ -n "${VELKOR_WINE_LOG:-}" ] && echo "$(date '+%F %T') $note" >>"$VELKOR_WINE_LOG"
  "$wine" "$@" >"$out" 2>"$err"
  rc=$?
  [ -n "${VELKOR_WINE_LOG:-}" ] && echo "$(date '+%F %T')   the second run exited with $rc" >>"$VELKOR_WINE_LOG"
fi
cat "$out"
cat "$err" >&2
exit "$rc"
