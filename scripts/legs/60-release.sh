#!/usr/bin/env bash
# The release: packages what the plain and Windows legs built into dist/
# (scripts/release.sh --from, nothing rebuilt), then installs and uses each
# artifact as a user would, in a folder outside the source tree:
#   - the Debian packages: installed with apt-get; the README's programs built
#     with CMake and pkg-config against /usr and run under velkor run;
#     velkor demo --fast; velkor run --web serves the page; the system's python3
#     imports velkor; then purged, and none of their files is left;
#   - the wheel: installed into a fresh virtual environment, where a short
#     pytest moves an axis on a virtual module, with no library path set;
#   - the Windows kit: unpacked into an empty folder, the README's bench and an
#     example built from it alone with mingw (against Velkor.lib and against
#     libVelkor.dll.a) and run under Wine, the example under velkor.exe run.
set -euo pipefail
source "$(dirname "$0")/common.inc"
root="$VELKOR_ROOT"
plain="$root/build/plain" windows="$root/build/windows" dist="$root/dist"
for dir in "$plain" "$windows"; do
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    echo "the release leg packages existing builds: $dir is missing (run the plain and windows legs first:" \
      "scripts/test.sh plain windows release)" >&2
    exit 1
  fi
done
"$root/scripts/release.sh" --from "$plain" --windows "$windows" --out "$dist"
"$root/scripts/install-deps.sh" curl g++-mingw-w64-x86-64-posix wine64 wine unzip

work="$(mktemp -d "${TMPDIR:-/tmp}/velkor-release-check.XXXXXX")"
packages=()
for deb in "$dist"/*.deb; do packages+=("$(dpkg-deb -f "$deb" Package)"); done
web_pid=""
clean_up() {
  [ -n "$web_pid" ] && kill "$web_pid" 2>/dev/null
  if [ -n "${WINEPREFIX:-}" ]; then
    "$wineserver" -k >/dev/null 2>&1 || true
    "$wineserver" -w >/dev/null 2>&1 || true
  fi
  # Never leave the packages installed on the machine, whatever failed.
  if dpkg-query -W -f='${Status}\n' "${packages[@]}" 2>/dev/null | grep -q installed; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "${packages[@]}" >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap clean_up EXIT
cd "$work"
# No library path of the build tree reaches the checks.
unset LD_LIBRARY_PATH PYTHONPATH VELKOR_LIBRARY_DIR VELKOR_BUILD_DIR
step() { echo "--- release check: $*"; }

# The Debian packages -------------------------------------------------------
started=$SECONDS
step "apt-get install ${packages[*]}"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$dist"/*.deb >/dev/null
dpkg -L "${packages[@]}" | sort -u >"$work/installed.txt"

step "the README's programs with CMake and pkg-config against /usr, and its velkor run line"
cmake -DPREFIX=/usr -DREADME="$root/README.md" -DWORK_DIR="$work/readme" -DGENERATOR=Ninja \
  -P "$root/tests/c_api/readme_section.cmake"
# The ten-line application itself with pkg-config, run under velkor run.
cc "$work/readme/src/my_program.c" $(pkg-config --cflags --libs velkor) -o "$work/my_program"
velkor run --module 3 -- "$work/my_program" 2>"$work/run.txt" || { cat "$work/run.txt"; exit 1; }
grep -q "exited with 0" "$work/run.txt" || { cat "$work/run.txt"; exit 1; }

step "velkor demo --fast"
velkor demo --fast >"$work/demo.txt" 2>&1 || { cat "$work/demo.txt"; exit 1; }
tail -n 3 "$work/demo.txt"

step "velkor run --web answers with the page"
velkor run --web -- sleep 20 >"$work/web.txt" 2>&1 &
web_pid=$!
url=""
for _ in $(seq 100); do
  url="$(grep -o 'http://127\.0\.0\.1:[0-9]*/?token=[0-9a-f]*' "$work/web.txt" | head -1 || true)"
  [ -n "$url" ] && break
  sleep 0.1
done
[ -n "$url" ] || { echo "velkor run --web printed no address:"; cat "$work/web.txt"; exit 1; }
curl -sS --max-time 10 "$url" -o "$work/page.html"
grep -qi '<html' "$work/page.html" || { echo "no page at $url:"; head -c 300 "$work/page.html"; exit 1; }
kill "$web_pid"; wait "$web_pid" 2>/dev/null || true; web_pid=""
echo "the page: $(wc -c <"$work/page.html") bytes"

step "the system's python3 imports velkor"
/usr/bin/python3 -c "import velkor; from velkor import raw, sim; print(raw.library().path, sim.load_library().path)"

step "apt-get purge: nothing of the packages is left"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq "${packages[@]}" >/dev/null
left=0
while IFS= read -r file; do
  # Folders the packages share with the system (/usr, /usr/lib, ...) stay.
  if [ -e "$file" ] && [ ! -d "$file" ]; then echo "left after purge: $file"; left=1; fi
  if [ -d "$file" ] && [[ "$file" == */velkor* || "$file" == */Velkor* || "$file" == */brelan* ]]; then
    echo "folder left after purge: $file"; left=1
  fi
done <"$work/installed.txt"
[ $left -eq 0 ]
dpkg-query -W "${packages[@]}" 2>/dev/null | grep . && { echo "packages still known to dpkg"; exit 1; }
echo "$(wc -l <"$work/installed.txt") paths installed, none of their files left;" \
  "the Debian checks in $((SECONDS - started)) s"

# The wheel -----------------------------------------------------------------
started=$SECONDS
step "pip install --no-index the wheel into a fresh virtual environment"
# The environment sees the system's packages only for pytest (python3-pytest).
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
"$work/venv/bin/pip" install -q --no-index "$dist"/velkor-*.whl
mkdir "$work/pytest"
cat >"$work/pytest/test_wheel.py" <<'EOF'
from velkor import finding


def test_an_axis_moves_on_a_virtual_module(virtual_card):
    x = virtual_card.axis(1).profile(v=20000, a=100000)
    x.move(5000).wait_stopped(timeout=5)
    assert x.position == 5000


def test_the_libraries_are_the_wheels_own():
    for library in finding.LIBRARIES:
        assert finding.find(library).parent == finding.BUNDLED_FOLDER
EOF
(cd "$work/pytest" && "$work/venv/bin/python" -m pytest -q -p no:cacheprovider)
echo "the wheel checks in $((SECONDS - started)) s"

# The Windows kit -----------------------------------------------------------
started=$SECONDS
step "the Windows kit: examples built from the kit alone, run under Wine"
mkdir "$work/kit" "$work/app"
unzip -q "$dist"/velkor-*-windows-x64.zip -d "$work/kit"
kit="$(echo "$work"/kit/velkor-*-windows-x64)"
# -static: the mingw runtime inside the program, as the kit's own programs have it.
gcc="x86_64-w64-mingw32-gcc -static -I $kit/include"
# The README's bench (the module plugged, driven and unplugged by the program)
# against the MSVC import library; an example against the mingw one.
$gcc "$work/readme/src/my_bench.c" "$kit/lib/Velkor.lib" "$kit/lib/libvelkor_sim.dll.a" -o "$work/app/my_bench.exe"
$gcc "$kit/examples/fixed_move.c" "$kit/lib/libVelkor.dll.a" -o "$work/app/fixed_move.exe"
cp "$kit"/bin/*.dll "$work/app/"

if command -v wine64 >/dev/null; then wine="$(command -v wine64)"
elif [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64
else wine="$(command -v wine)"; fi
wineserver="$(command -v wineserver || echo /usr/lib/wine/wineserver)"
export WINEPREFIX="$work/wine" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
"$wineserver" -p </dev/null >/dev/null 2>&1
"$wine" wineboot --init </dev/null >/dev/null 2>&1
echo "Wine prefix in $((SECONDS - started)) s"
# wine-run.sh runs a program once more when Wine did not start it.
export VELKOR_WINE_PROGRAM="$wine"
wine_run() { "$root/scripts/wine-run.sh" "$@" </dev/null >"$work/wine.txt" 2>&1; }
wine_run "$work/app/my_bench.exe" || { cat "$work/wine.txt"; exit 1; }
echo "my_bench.exe, built from the kit, exited with 0"
# The example, unchanged, on a virtual module under the kit's velkor.exe.
wine_run "$kit/bin/velkor.exe" run --speed 20 --module 3 -- "$work/app/fixed_move.exe" || { cat "$work/wine.txt"; exit 1; }
grep -q "stopped at X 5000, Y -3000" "$work/wine.txt" && grep -q "exited with 0" "$work/wine.txt" \
  || { cat "$work/wine.txt"; exit 1; }
echo "fixed_move.exe, built from the kit, exited with 0 under velkor.exe run"
echo "the Windows kit checks in $((SECONDS - started)) s"
