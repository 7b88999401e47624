#!/usr/bin/env bash
# Takes a picture of the Win32 window: quenfall.exe --emulate under wine on an X server of
# its own (Xvfb), captured from the X server with xwd and turned into a PNG with netpbm.
#   scripts/screenshot-windows.sh [OUTPUT.png]     (default docs/screenshot-windows.png)
# WINDOWS_BUILD_DIR picks the MinGW-w64 build (default build/windows); quenfall.exe is built
# there first when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${WINDOWS_BUILD_DIR:-build/windows}
out=${1:-docs/screenshot-windows.png}
case $out in /*) ;; *) out=$root/$out ;; esac
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[ -x "$wine" ] || wine=$(command -v wine64)
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
for tool in Xvfb xwd xwdtopnm pnmtopng; do
  command -v "$tool" >/dev/null || { echo "screenshot-windows.sh: $tool is missing (scripts/install-deps.sh test)" >&2; exit 1; }
done

exe=$build/src/ui/quenfall.exe
if [ ! -f "$exe" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_MODULE_PATH="$root/cmake/cross" -DCMAKE_BUILD_TYPE=Release \
    -DQUENFALL_BUILD_GUI=OFF -DQUENFALL_BUILD_BENCH=OFF -DQUENFALL_BUILD_TESTS=OFF
  cmake --build "$build" --target quenfall-win32
fi

work=$(mktemp -d /tmp/quenfall-shot.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
display=
for n in $(seq 150 199); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=:$n; break; }
done
[ -n "$display" ] || { echo "screenshot-windows.sh: no free X display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  DISPLAY=$display "$wineserver" -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

"$wine" "$exe" --emulate >/dev/null 2>&1 &
app=$!
# The window is there once xwd finds it by its caption; a moment more for the first paint.
captured=
for _ in $(seq 120); do
  if xwd -name "Quenfall v7.1" -silent -out "$work/window.xwd" 2>/dev/null; then captured=yes; break; fi
  sleep 0.5
done
[ -n "$captured" ] || { echo "screenshot-windows.sh: the window never appeared" >&2; exit 1; }
sleep 1.5
xwd -name "Quenfall v7.1" -silent -out "$work/window.xwd"
mkdir -p "$(dirname "$out")"
xwdtopnm "$work/window.xwd" 2>/dev/null | pnmtopng -compression 9 >"$out"
echo "screenshot-windows.sh: wrote $out"
