#!/usr/bin/env bash
# Makes a release into dist/:
#   - the Debian packages (CPack's DEB generator; cmake/packaging.cmake), checked
#     with lintian (its findings in dist/lintian.txt; an error fails the release);
#   - the Python wheel, with the three shared libraries inside the package;
#   - the Windows kit (zip): DLLs and velkor.exe, Velkor.lib for MSVC (from the
#     .def written from Velkor.h) and the mingw import libraries, headers, the
#     examples' sources and the docs; its export lists checked against Velkor.h;
#   - the API reference and the manuals (scripts/api-reference.sh);
#   - SHA256SUMS of them all.
#
# Usage:
#   scripts/release.sh                     builds this tree (a clean clone) into
#                                          build/release and build/release-windows, then packages
#   scripts/release.sh --from build/plain --windows build/windows
#                                          packages builds that exist (CI's plain and
#                                          Windows legs), rebuilding nothing
#   --out DIR                              where the artifacts go (default: dist)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
from="" windows="" out="$root/dist"
usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2; }
while [ $# -gt 0 ]; do
  case "$1" in
    --from) from="$(realpath -m "${2:?--from needs a build folder}")"; shift 2 ;;
    --windows) windows="$(realpath -m "${2:?--windows needs a build folder}")"; shift 2 ;;
    --out) out="$(realpath -m "${2:?--out needs a folder}")"; shift 2 ;;
    -h|--help) usage ;;
    *) echo "release.sh: unknown argument '$1'" >&2; usage ;;
  esac
done
triple=x86_64-w64-mingw32
# Debian's Python, whose packaging tools build the wheel offline.
python=/usr/bin/python3
[ -x "$python" ] || python="$(command -v python3)"
started=$SECONDS

# What packaging needs beyond the build: CPack's helpers, lintian, Debian's
# Python packaging tools, mingw's binutils and llvm-dlltool for the kit.
release_packages=(dpkg-dev file lintian python3-build python3-wheel python3-setuptools python3-venv
                  binutils-mingw-w64-x86-64 llvm doxygen mkdocs)

if [ -z "$from" ] && [ -z "$windows" ]; then
  # A whole release from the source tree: the same configuration as the test
  # command's plain and Windows builds (so ccache serves them), without tests.
  mapfile -t base < <(grep -v '^#' "$root/scripts/base-packages.txt")
  "$root/scripts/install-deps.sh" "${base[@]}" npm g++-mingw-w64-x86-64-posix mingw-w64-tools "${release_packages[@]}"
  if [ -n "$(git -C "$root" status --porcelain --untracked-files=no 2>/dev/null)" ]; then
    echo "release.sh: note: the tree has uncommitted changes; a release is made from a clean clone" >&2
  fi
  (cd "$root/web" && npm ci --no-audit --no-fund --loglevel=error)
  jobs="${VELKOR_JOBS:-$(nproc)}"
  from="$root/build/release" windows="$root/build/release-windows"
  cmake -S "$root" -B "$from" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKOR_WEB_PAGE_REQUIRED=ON \
    -DVELKOR_BUILD_TESTS=OFF -DVELKOR_BUILD_BENCHMARKS=OFF
  cmake --build "$from" -j "$jobs"
  cmake -S "$root" -B "$windows" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64-x86_64.cmake" \
    -DVELKOR_BUILD_TESTS=OFF -DVELKOR_BUILD_BENCHMARKS=OFF
  cmake --build "$windows" -j "$jobs"
  echo "release.sh: built in $((SECONDS - started)) s"
else
  "$root/scripts/install-deps.sh" "${release_packages[@]}"
fi

# A build folder to package must exist and hold what is packaged from it.
need_build() { # FOLDER WHAT FILE...
  local dir="$1" what="$2"; shift 2
  if [ -z "$dir" ] || [ ! -f "$dir/CMakeCache.txt" ]; then
    echo "release.sh: no $what build at '${dir:-(none given)}': build it first (scripts/test.sh, or scripts/release.sh without --from)" >&2
    exit 1
  fi
  for file in "$@"; do
    if [ ! -e "$dir/$file" ]; then
      echo "release.sh: the $what build at $dir lacks $file: build it completely first" >&2
      exit 1
    fi
  done
}
[ -n "$from" ] && need_build "$from" "Linux" CPackConfig.cmake src/libVelkor.so tools/velkor sim/libvelkor_sim.so
# The tool in the package serves the bench page: its bundle is compiled in.
if [ -n "$from" ] && [ ! -f "$from/tools/web/web_assets.cpp" ]; then
  echo "release.sh: the velkor tool of $from was built without the bench page: build it with the page" \
    "((cd web && npm ci), then configure with -DVELKOR_WEB_PAGE_REQUIRED=ON)" >&2
  exit 1
fi
[ -n "$windows" ] && need_build "$windows" "Windows" bin/Velkor.dll bin/velkor_sim.dll bin/BrelanSDK.dll \
  bin/velkor.exe src/Velkor.def src/libVelkor.dll.a
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "${from:-$windows}/CMakeCache.txt")"
[ -n "$version" ] || { echo "release.sh: no project version in the build's cache" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/velkor-release.XXXXXX")"
trap 'rm -rf "$work"' EXIT
rm -rf "$out"
mkdir -p "$out"

# The Linux packages and the wheel ------------------------------------------
if [ -n "$from" ]; then
  step=$SECONDS
  cpack -G DEB --config "$from/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log" >&2; exit 1; }
  mv "$work"/deb/*.deb "$out/"
  # Lintian on all of them: errors fail the release, the rest is kept.
  lintian --tag-display-limit 0 "$out"/*.deb 2>&1 | grep -v 'running with root privileges' | sort >"$out/lintian.txt" || true
  if grep -q '^E:' "$out/lintian.txt"; then
    echo "release.sh: lintian finds errors in the Debian packages:" >&2
    grep '^E:' "$out/lintian.txt" >&2
    exit 1
  fi
  echo "release.sh: $(ls "$out"/*.deb | wc -l) Debian packages in $((SECONDS - step)) s;" \
    "lintian: $(grep -c '^W:' "$out/lintian.txt" || true) warnings, no errors"

  # The wheel: the package with the installed (RUNPATH $ORIGIN, stripped)
  # libraries in velkor/_libs, built offline with Debian's setuptools and wheel.
  step=$SECONDS
  for component in driver slotbus module; do
    cmake --install "$from" --prefix "$work/root" --component "$component" >/dev/null
  done
  stage="$work/wheel"
  mkdir -p "$stage/velkor/_libs"
  cp "$root/python/pyproject.toml" "$root/python/setup.py" "$stage/"
  cp "$root/docs/python.md" "$stage/README.md"
  tar -C "$root/python" --exclude=__pycache__ -cf - velkor | tar -C "$stage" -xf -
  for library in libVelkor.so.* libBrelanSDK.so libvelkor_sim.so.*; do
    # The file under its SONAME, which is what the others and the loader ask for.
    file="$(ls "$work"/root/lib*/$library 2>/dev/null | head -1)"
    [ -n "$file" ] || { echo "release.sh: $library not installed from $from" >&2; exit 1; }
    soname="$(objdump -p "$file" | sed -n 's/^ *SONAME *//p')"
    [ -e "$stage/velkor/_libs/$soname" ] || cp -L "$file" "$stage/velkor/_libs/$soname"
  done
  strip --strip-unneeded "$stage"/velkor/_libs/*
  (cd "$stage" && VELKOR_VERSION="$version" "$python" -m build --no-isolation --wheel --outdir "$out" . \
    >"$work/wheel.log" 2>&1) || { cat "$work/wheel.log" >&2; exit 1; }
  echo "release.sh: the wheel in $((SECONDS - step)) s"
fi

# The Windows kit ------------------------------------------------------------
if [ -n "$windows" ]; then
  step=$SECONDS
  kit_name="velkor-$version-windows-x64"
  kit="$work/$kit_name"
  cmake --install "$windows" --prefix "$kit" >/dev/null
  # Without debugging information (and the static library keeps its symbols).
  "$triple-strip" --strip-unneeded "$kit"/bin/*.dll "$kit"/bin/*.exe
  "$triple-strip" --strip-debug --enable-deterministic-archives "$kit"/lib/*.a
  # Velkor.lib for MSVC: an import library in MSVC's own format, from the
  # .def the build writes from Velkor.h (undecorated names, data marked).
  cp "$windows/src/Velkor.def" "$kit/lib/Velkor.def"
  dlltool="$(command -v llvm-dlltool || ls /usr/lib/llvm-*/bin/llvm-dlltool 2>/dev/null | tail -1)"
  [ -n "$dlltool" ] || { echo "release.sh: llvm-dlltool not found (Debian: llvm)" >&2; exit 1; }
  "$dlltool" -m i386:x86-64 -d "$kit/lib/Velkor.def" -D Velkor.dll -l "$kit/lib/Velkor.lib"
  mkdir -p "$kit/examples" "$kit/docs"
  cp "$root"/examples/*.c "$kit/examples/"
  cp -r "$root/examples/scenarios" "$kit/examples/"
  cp "$root"/docs/*.md "$root"/docs/*.png "$kit/docs/"
  cp "$root/README.md" "$kit/docs/README.md"
  [ -f "$root/CHANGELOG.md" ] && cp "$root/CHANGELOG.md" "$kit/"
  cat >"$kit/README.txt" <<EOF
Velkor $version for 64-bit Windows

bin/      Velkor.dll, BrelanSDK.dll (the slot-bus stand-in; on a controller its own
          library takes its place), velkor_sim.dll (the virtual module), velkor.exe
include/  Velkor.h and the virtual module's headers
lib/      Velkor.lib (MSVC), libVelkor.dll.a (mingw), Velkor.def, CMake and pkg-config files
examples/ the example programs; docs/ the manuals

MSVC:   cl /I include examples\\fixed_move.c lib\\Velkor.lib
mingw:  x86_64-w64-mingw32-gcc -static -I include examples/fixed_move.c lib/libVelkor.dll.a -o fixed_move.exe
Run it on a virtual module in slot 3, with the DLLs of bin\\ beside it or on PATH:
        bin\\velkor.exe run --module 3 -- fixed_move.exe
EOF
  # The kit's export lists against Velkor.h, the one list: the DLL's table,
  # the .def, and both import libraries.
  for import_library in "$kit/lib/Velkor.lib" "$kit/lib/libVelkor.dll.a"; do
    cmake -DHEADER="$kit/include/Velkor.h" -DDLL="$kit/bin/Velkor.dll" -DDEF="$kit/lib/Velkor.def" \
      -DIMPORT_LIBRARY="$import_library" -DOBJDUMP="$(command -v $triple-objdump)" \
      -DNM="$(command -v $triple-nm)" \
      -DWINDRES="$(command -v $triple-windres)" -P "$root/cmake/check_dll_exports.cmake"
  done
  echo "release.sh: the Windows kit in $((SECONDS - step)) s"
fi

# The API reference ------------------------------------------------------------
bash "$root/scripts/api-reference.sh" "$work/api-reference"
cp -r "$work/api-reference" "$out/api-reference"
[ -n "$windows" ] && cp -r "$work/api-reference" "$kit/docs/api-reference"

if [ -n "$windows" ]; then
  (cd "$work" && cmake -E tar cf "$out/$kit_name.zip" --format=zip "$kit_name")
fi
(cd "$out" && find . -maxdepth 1 -type f ! -name SHA256SUMS ! -name lintian.txt -printf '%P\n' | sort \
  | xargs sha256sum >SHA256SUMS)
echo "release.sh: dist in $((SECONDS - started)) s:"
(cd "$out" && du -sh --apparent-size -- * | sed 's/^/  /')
