#!/usr/bin/env bash
# The Windows build: cross-compiles the core, the Windows radio link, the tests and
# quenfall-cli with MinGW-w64, then runs the tests and an emulated upgrade under wine.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=$root/build/windows
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[ -x "$wine" ] || wine=$(command -v wine64)
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

# A private, throw-away wine prefix; a persistent wineserver so each test program starts in
# a fraction of a second instead of several.
export WINEDEBUG=-all
export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/quenfall-wine.XXXXXX)
work=$(mktemp -d /tmp/quenfall-windows.XXXXXX)
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT
"$wineserver" -p
"$wine" cmd /c exit >/dev/null 2>&1

cmake -S . -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_MODULE_PATH="$root/cmake/cross" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" \
  -DCMAKE_BUILD_TYPE=Release \
  -DQUENFALL_BUILD_GUI=OFF -DQUENFALL_BUILD_BENCH=OFF
cmake --build "$build" -j2
# Every test group runs here, CliTest included (it drives quenfall-cli.exe under wine).
ctest --test-dir "$build" --output-on-failure -j2

# A whole upgrade of the emulated radio by the Windows quenfall-cli. Paths are Unix paths:
# wine runs the program with the current directory on drive Z:, which maps to /.
cli=$build/src/cli/quenfall-cli.exe
head -c 5000 /dev/urandom >"$work/section0.bin"
head -c 2048 /dev/urandom >"$work/section2.bin"
"$wine" "$cli" pack -o "$work/small.bin" --model 17 \
  --section 0="$work/section0.bin" --section 2="$work/section2.bin"
"$wine" "$cli" flash "$work/small.bin" --emulate --trace "$work/trace.txt" >"$work/out.txt" 2>"$work/err.txt" || {
  echo "quenfall-cli.exe flash --emulate failed:"; cat "$work/out.txt" "$work/err.txt"; exit 1; }
tr -d '\r' <"$work/out.txt" >"$work/out.unix.txt"
grep -qx ' Program upgrade is complete!' "$work/out.unix.txt" || {
  echo "quenfall-cli.exe flash --emulate did not report completion:"; cat "$work/out.txt"; exit 1; }
grep -q '^> ' "$work/trace.txt" && grep -q '^< ' "$work/trace.txt" || {
  echo "quenfall-cli.exe flash --emulate wrote no dialogue trace"; exit 1; }
# The real Windows link, end to end: wine's drives hold no radio.
set +e
"$wine" "$cli" devices >"$work/devices.txt" 2>&1
devices_status=$?
set -e
if [ "$devices_status" -ne 1 ] || [ "$(tr -d '\r' <"$work/devices.txt")" != "No radio was found." ]; then
  echo "quenfall-cli.exe devices: expected exit 1 and no radio, got $devices_status:"; cat "$work/devices.txt"; exit 1
fi
echo "windows: quenfall-cli.exe flash --emulate completed ($(grep -c '^> ' "$work/trace.txt") frames sent)"
