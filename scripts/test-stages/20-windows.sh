#!/usr/bin/env bash
# The Windows build: cross-compiles the core, the Windows radio link, the tests and
# quenfall-cli with MinGW-w64, then runs the tests and an emulated upgrade under wine.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh stage-windows
root=$PWD
build=$root/build/windows
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[ -x "$wine" ] || wine=$(command -v wine64)
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

# Wine turns Windows file names into Unix ones in the locale's character set: without a
# UTF-8 locale (a minimal install, a container) a name outside ASCII cannot be opened. The
# stage picks its own rather than depending on the caller's.
export LC_ALL=C.UTF-8
unset LANGUAGE
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
# The Win32 window's tests, its screenshot and its timed runs need an X server for wine: a
# private Xvfb unless a display is already there. Without one they skip and say so.
xvfb_pid=
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  for n in $(seq 100 149); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { export DISPLAY=:$n; break; }
  done
  Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break; sleep 0.1; done
fi
trap 'cleanup; [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true' EXIT
echo "windows: window tests on display ${DISPLAY:-(none: they skip)}"
"$wineserver" -p
"$wine" cmd /c exit >/dev/null 2>&1

cmake -S . -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_MODULE_PATH="$root/cmake/cross" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" \
  -DCMAKE_BUILD_TYPE=Release \
  -DQUENFALL_BUILD_GUI=OFF -DQUENFALL_BUILD_BENCH=OFF -DQUENFALL_BUILD_TESTS=ON
cmake --build "$build" -j2
# Every test group runs here, CliTest included (it drives quenfall-cli.exe under wine).
# Now and then wine ends a test program at start, before it prints a line (seen once in
# some thousand launches, in a pure computation that passed on every other run): such a
# test is run once more, and ctest lists it, so a real failure still fails twice.
ctest --test-dir "$build" --output-on-failure --no-tests=error -j2 --repeat until-pass:2

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

# The Win32 window (quenfall.exe): single files that import only Windows' known DLLs, the
# window shown under wine, its timer grid and a 1 MiB upgrade through it, and the zip.
for exe in "$build/src/ui/quenfall.exe" "$cli"; do
  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
  echo "windows: $(basename "$exe") imports $imports"
  if echo "$imports" | grep -qiE 'lib(stdc\+\+|gcc|winpthread)[^ ]*\.dll'; then
    echo "$(basename "$exe") needs MinGW's runtime DLLs: it must be linked statically"; exit 1
  fi
done
if [ -n "${DISPLAY:-}" ]; then
  shown=$(timeout 120 "$wine" "$build/src/ui/quenfall.exe" --emulate --exit-when-shown 2>/dev/null | tr -d '\r')
  [ "$shown" = shown ] || { echo "quenfall.exe --emulate did not show its window (got: $shown)"; exit 1; }
  echo "windows: quenfall.exe --emulate showed its window"
  "$wine" "$build/bench/win32/timer_grid_bench.exe" 1000 | tr -d '\r'
  "$wine" "$build/bench/win32/window_flash_bench.exe" | tr -d '\r'
  shot=$work/screenshot-windows.png
  WINDOWS_BUILD_DIR=$build scripts/screenshot-windows.sh "$shot"
  width=$((16#$(od -An -tx1 -j16 -N4 "$shot" | tr -d ' \n')))
  height=$((16#$(od -An -tx1 -j20 -N4 "$shot" | tr -d ' \n')))
  [ "$width" -eq 770 ] && [ "$height" -eq 431 ] || { echo "the Win32 window's picture is ${width}x${height}, not 770x431"; exit 1; }
  echo "windows: screenshot of the Win32 window ${width}x${height}, $(stat -c %s "$shot") bytes"
  # The shop window: quenfall.exe --shop --emulate 4 PACKAGE, Enter, all four upgraded; then
  # --station --emulate 3 with no key pressed, three upgraded as they arrive.
  WINDOWS_BUILD_DIR=$build scripts/shop-window-windows.sh "$work/shop-window-win32.png" "$work/station-win32.png"
else
  echo "windows: no X server (Xvfb missing): the Win32 window was not shown, timed or pictured"
fi
WINDOWS_BUILD_DIR=$build scripts/package.sh windows | tee "$work/package.txt"
# The installer: its tables read back, then installed under wine over an older version of
# itself (the same installer source, version 0.9.0), run, and removed.
msi=$(sed -n 's/^package.sh: wrote \(dist\/[^ ]*\.msi\) .*/\1/p' "$work/package.txt")
[ -n "$msi" ] || { echo "package.sh windows wrote no installer"; exit 1; }
mkdir "$work/older"
cp "$build/src/ui/quenfall.exe" "$cli" "$build/src/ui/quenfall-radio-helper.exe" \
  "$build/packaging/windows/quenfall.ico" packaging/windows/quenfall.wxs "$work/older/"
(cd "$work/older" && wixl -a x64 -D Version=0.9.0 -D ProductCode=0C0FFEE0-0000-4000-8000-000000000090 \
  -o older.msi quenfall.wxs)
WINE=$wine scripts/windows-msi-install.sh "$msi" "$work/older/older.msi"
# Each program's execution level (the helper alone asks for an administrator), its icon and
# version record, and no DLL planted beside the programs runs.
for exe in "$build/src/ui/quenfall.exe" "$cli" "$build/src/ui/quenfall-radio-helper.exe"; do
  want=asInvoker
  [ "$(basename "$exe")" = quenfall-radio-helper.exe ] && want=requireAdministrator
  level=$(wrestool -x --raw -t24 "$exe" | grep -o 'requestedExecutionLevel level="[A-Za-z]*"' || true)
  [ "$level" = "requestedExecutionLevel level=\"$want\"" ] || { echo "$(basename "$exe") does not ask for $want: $level"; exit 1; }
  wrestool -l "$exe" | grep -q 'type=group_icon' && wrestool -l "$exe" | grep -q 'type=version' ||
    { echo "$(basename "$exe") lacks its icon or its version record"; exit 1; }
done
echo "windows: quenfall.exe and quenfall-cli.exe run asInvoker, quenfall-radio-helper.exe requireAdministrator; each carries the icon and the version record"
WINE=$wine WINESERVER=$wineserver scripts/windows-planted-dlls.sh "$build"
