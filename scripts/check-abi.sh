#!/usr/bin/env bash
# Compares the ABI of the built shared libraries with the ABI of the last
# release, kept in abi/ (abidw output), and fails on an incompatible change.
#
# Usage: scripts/check-abi.sh BUILD_DIR
#        scripts/check-abi.sh --baseline BUILD_DIR   (rewrites abi/*.abi: at a release)
#
# A change fails unless the library's SONAME major number is above the
# baseline's (then it is reported and passes: the baseline is rewritten when
# that release is made). Functions and variables that are only added pass.
# Structures that the library fills or reads by the caller's size may grow at
# their end (abi/suppressions.ini lists them; docs/virtual-module.md has the
# rule); any other change of a public type fails.
#
# The baseline is taken from an optimized build with debug information
# (RelWithDebInfo, GCC), the way the plain CI leg builds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
baseline=0
if [ "${1:-}" = "--baseline" ]; then
  baseline=1
  shift
fi
if [ $# -ne 1 ] || [ ! -d "$1" ]; then
  echo "usage: scripts/check-abi.sh [--baseline] BUILD_DIR" >&2
  exit 2
fi
build="$(cd "$1" && pwd)"
for tool in abidw abidiff; do
  command -v "$tool" >/dev/null || { echo "check-abi: $tool not found (Debian: abigail-tools)" >&2; exit 2; }
done

suppressions="$root/abi/suppressions.ini"
# The options of every abidw run, the baseline's and the build's alike.
abidw_options=(--no-corpus-path --no-comp-dir-path --short-locs --exported-interfaces-only
               --suppressions "$suppressions")
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# soname_major FILE: the major number of the SONAME recorded in an abidw file.
soname_major() {
  sed -n "1,3s/.* soname='[^']*\.so\.\([0-9][0-9]*\)'.*/\1/p" "$1" | head -n 1
}

failed=0
for library in src/libVelkor.so sim/libvelkor_sim.so; do
  name="$(basename "$library" .so)"
  file="$build/$library"
  if [ ! -e "$file" ]; then
    echo "check-abi: $file not built" >&2
    exit 2
  fi
  file="$(readlink -f "$file")"
  if [ "$baseline" -eq 1 ]; then
    abidw "${abidw_options[@]}" --out-file "$root/abi/$name.abi" "$file"
    echo "$name: baseline written to abi/$name.abi"
    continue
  fi
  abidw "${abidw_options[@]}" --out-file "$work/$name.abi" "$file"
  old_major="$(soname_major "$root/abi/$name.abi")"
  new_major="$(soname_major "$work/$name.abi")"
  rc=0
  abidiff --suppressions "$suppressions" "$root/abi/$name.abi" "$work/$name.abi" >"$work/$name.diff" || rc=$?
  # abidiff's exit status is a bit set: 1 error, 2 usage, 4 a change, 8 an
  # incompatible change. Added functions and variables count as a change (4):
  # compared again without them, nothing else may be left.
  if [ $((rc & 3)) -ne 0 ]; then
    cat "$work/$name.diff"
    echo "check-abi: abidiff could not compare $name (status $rc)" >&2
    exit 2
  fi
  if [ "$rc" -eq 4 ]; then
    rc=0
    abidiff --suppressions "$suppressions" --no-added-syms "$root/abi/$name.abi" "$work/$name.abi" \
      >"$work/$name.changed" || rc=$?
    if [ "$rc" -eq 0 ]; then
      sed -n 's/^  \[A\] /  added: /p' "$work/$name.diff"
    fi
  fi
  if [ "$rc" -eq 0 ]; then
    echo "$name: compatible with the last release (SONAME major $old_major)"
    continue
  fi
  cat "$work/$name.diff"
  if [ -n "$new_major" ] && [ -n "$old_major" ] && [ "$new_major" -gt "$old_major" ]; then
    echo "$name: changes above are allowed: the SONAME major number went from $old_major to $new_major"
    continue
  fi
  kind="a change"
  [ $((rc & 8)) -ne 0 ] && kind="an incompatible change"
  echo "check-abi: $name has $kind against the last release (abi/$name.abi) with the same SONAME major ($old_major):" \
       "keep the old interface, or raise the major version in the same change" >&2
  failed=1
done
exit "$failed"
