#!/usr/bin/env bash
# The Win32 shop window end to end: quenfall.exe --shop --emulate 4 PACKAGE under wine on an
# X server of its own (Xvfb), Enter pressed by a driver from outside (win32_shop_driver.exe),
# which then waits for the summary "4 of 4 radios upgraded" and closes the window; the four
# runs' records must be in the history. With OUTPUT.png, a picture of the window is taken
# while the radios are being upgraded (captured with xwd, turned into a PNG with netpbm).
# Then station mode: quenfall.exe --shop --station --emulate 3 PACKAGE with no key pressed
# must leave three completed records, one per radio; with STATION.png, a picture of it.
#   scripts/shop-window-windows.sh [OUTPUT.png [STATION.png]]
# WINDOWS_BUILD_DIR picks the MinGW-w64 build (default build/windows), which must hold
# quenfall.exe, quenfall-cli.exe and the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${WINDOWS_BUILD_DIR:-build/windows}
case $build in /*) ;; *) build=$root/$build ;; esac
out=${1:-}
case $out in /*|'') ;; *) out=$root/$out ;; esac
station_out=${2:-}
case $station_out in /*|'') ;; *) station_out=$root/$station_out ;; esac
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[ -x "$wine" ] || wine=$(command -v wine64)
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
for tool in Xvfb xwd xwdtopnm pnmtopng; do
  command -v "$tool" >/dev/null || { echo "shop-window-windows.sh: $tool is missing (scripts/install-deps.sh test)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/quenfall-shop.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all LC_ALL=C.UTF-8
export QUENFALL_HISTORY=$work/history.jsonl
display=
for n in $(seq 200 249); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=:$n; break; }
done
[ -n "$display" ] || { echo "shop-window-windows.sh: no free X display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=
driver=
cleanup() {
  [ -n "$driver" ] && kill "$driver" 2>/dev/null
  [ -n "$app" ] && kill "$app" 2>/dev/null
  DISPLAY=$display "$wineserver" -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

# A package long enough that the picture catches the uploads under way.
head -c 60000 /dev/urandom >"$work/section0.bin"
head -c 2048 /dev/urandom >"$work/section2.bin"
"$wine" "$build/src/cli/quenfall-cli.exe" pack -o "$work/crate.bin" --model 17 \
  --section 0="$work/section0.bin" --section 2="$work/section2.bin" >/dev/null

"$wine" "$build/src/ui/quenfall.exe" --shop --emulate 4 "$work/crate.bin" >/dev/null 2>&1 &
app=$!
"$wine" "$build/tests/ui/win32/win32_shop_driver.exe" "4 of 4 radios upgraded" >"$work/driver.txt" 2>&1 &
driver=$!
for _ in $(seq 600); do grep -q pressed "$work/driver.txt" 2>/dev/null && break; sleep 0.2; done
grep -q pressed "$work/driver.txt" || { echo "shop-window-windows.sh: Enter was never pressed:"; cat "$work/driver.txt"; exit 1; }
if [ -n "$out" ]; then
  # A picture every half second until the runs end; the one from a second and a half before
  # the end shows the blocks going out, whatever the machine's speed.
  shots=0
  while ! grep -q "radios upgraded" "$work/driver.txt" && kill -0 "$driver" 2>/dev/null; do
    xwd -name "Quenfall Shop" -silent -out "$work/shot-$shots.xwd" 2>/dev/null && shots=$((shots + 1))
    sleep 0.5
  done
  [ "$shots" -gt 0 ] || { echo "shop-window-windows.sh: no picture of the window was taken"; exit 1; }
  pick=$((shots > 3 ? shots - 4 : 0))
  mkdir -p "$(dirname "$out")"
  xwdtopnm "$work/shot-$pick.xwd" 2>/dev/null | pnmtopng -compression 9 >"$out"
  echo "shop-window-windows.sh: wrote $out (picture $((pick + 1)) of $shots)"
fi
set +e
wait "$driver"
status=$?
set -e
driver=
[ "$status" -eq 0 ] || { echo "shop-window-windows.sh: the shop window did not upgrade all four:"; cat "$work/driver.txt"; exit 1; }
wait "$app" || true
app=
records=$(grep -c '"outcome":" Program upgrade is complete!"' "$QUENFALL_HISTORY" || true)
[ "$records" -eq 4 ] || { echo "shop-window-windows.sh: $records completed records in the history, not 4"; exit 1; }
echo "shop-window-windows.sh: Enter upgraded 4 of 4 emulated radios; 4 records in the history"

# Station mode, no key pressed: the radios come 3 s apart, each is upgraded once although
# each comes back after its reset.
export QUENFALL_HISTORY=$work/station.jsonl
"$wine" "$build/src/ui/quenfall.exe" --shop --station --emulate 3 "$work/crate.bin" >/dev/null 2>&1 &
app=$!
completed() {
  local n
  n=$(grep -c '"outcome":" Program upgrade is complete!"' "$QUENFALL_HISTORY" 2>/dev/null)
  echo "${n:-0}"
}
shot_taken=
for _ in $(seq 900); do
  [ "$(completed)" -ge 3 ] && break
  # While the third radio is being upgraded, the first two already done.
  if [ -n "$station_out" ] && [ -z "$shot_taken" ] && [ "$(completed)" -ge 2 ]; then
    xwd -name "Quenfall Shop" -silent -out "$work/station.xwd" 2>/dev/null && shot_taken=1
  fi
  sleep 0.2
done
# Long enough for each radio's return after its reset, which must start nothing.
sleep 4
if [ -n "$station_out" ]; then
  [ -n "$shot_taken" ] || xwd -name "Quenfall Shop" -silent -out "$work/station.xwd" 2>/dev/null
  mkdir -p "$(dirname "$station_out")"
  xwdtopnm "$work/station.xwd" 2>/dev/null | pnmtopng -compression 9 >"$station_out"
  echo "shop-window-windows.sh: wrote $station_out"
fi
kill "$app" 2>/dev/null || true
app=
records=$(cat "$QUENFALL_HISTORY" 2>/dev/null | wc -l)
[ "$(completed)" -eq 3 ] && [ "$records" -eq 3 ] ||
  { echo "shop-window-windows.sh: station mode left $records records, $(completed) completed, not 3"; exit 1; }
echo "shop-window-windows.sh: station mode upgraded 3 emulated radios as they arrived, each once"
