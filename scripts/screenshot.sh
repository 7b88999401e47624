#!/usr/bin/env bash
# Takes a picture of the real window: quenfall on an X server of its own (Xvfb), with the
# emulated radio attached, saved by Qt's own grab of the window as it was first painted.
#   scripts/screenshot.sh [OUTPUT.png]     (default docs/screenshot.png)
# BUILD_DIR picks the build (default build/release); it is built first when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/release}
out=${1:-docs/screenshot.png}

if [ ! -x "$build/src/ui/quenfall" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" --target quenfall
fi
mkdir -p "$(dirname "$out")"
rm -f "$out"

# A screen larger than the window so it is centred and whole; 24 bits for true colours.
timeout 60 xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" \
  env QT_QPA_PLATFORM=xcb "$build/src/ui/quenfall" --emulate --screenshot "$out"

[ -s "$out" ] || { echo "screenshot.sh: no picture was written to $out" >&2; exit 1; }
echo "screenshot.sh: wrote $out"
