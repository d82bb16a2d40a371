#!/usr/bin/env bash
# Builds the API reference and the manuals into OUTDIR: the manuals of docs/
# as HTML at the top (mkdocs.yml), the reference of include/Velkor.h and
# velkor_sim/velkor_sim.h in OUTDIR/api (reference/Doxyfile), linked both
# ways. Fails when an export, a parameter or a result is undocumented, or on
# any other warning of either tool (a broken link among the manuals, say).
# Needs Debian's doxygen and mkdocs.
# Usage: scripts/api-reference.sh OUTDIR
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ $# -ne 1 ]; then
  echo "usage: scripts/api-reference.sh OUTDIR" >&2
  exit 2
fi
for tool in doxygen mkdocs; do
  command -v "$tool" >/dev/null || { echo "api-reference: $tool not found (Debian: $tool)" >&2; exit 2; }
done
mkdir -p "$1"
out="$(cd "$1" && pwd)"
# mkdocs empties the folder it builds into: never the tree or above it.
case "$root/" in
  "$out"/*) echo "api-reference: $out holds the source tree; give an output folder of its own" >&2; exit 2 ;;
esac
version="$(sed -n 's/^project(Velkor VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"

# The manuals are rendered from a copy of docs/ with the reference already
# in it, so that mkdocs checks the links into it too.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp -r "$root/docs" "$work/docs"
(cd "$root" && VELKOR_VERSION="$version" VELKOR_REFERENCE_OUT="$work/docs" doxygen reference/Doxyfile)
sed "s|^docs_dir: .*|docs_dir: $work/docs|" "$root/mkdocs.yml" >"$work/mkdocs.yml"
mkdocs build --quiet --strict --config-file "$work/mkdocs.yml" --site-dir "$out"
echo "API reference in $out/api/index.html, the manuals in $out/index.html"
