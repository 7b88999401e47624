#!/usr/bin/env bash
# The window starts on a real X server (Xvfb) and paints itself: its picture must be a PNG
# of the window's size that is not one flat colour.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh stage-screenshot
out=$(mktemp --suffix=.png)
trap 'rm -f "$out"' EXIT
BUILD_DIR=${BUILD_DIR:-build/release} scripts/screenshot.sh "$out"

# PNG signature, then the IHDR chunk's width and height (big-endian, at bytes 16..23).
[ "$(head -c 8 "$out" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || { echo "not a PNG" >&2; exit 1; }
width=$((16#$(od -An -tx1 -j16 -N4 "$out" | tr -d ' \n')))
height=$((16#$(od -An -tx1 -j20 -N4 "$out" | tr -d ' \n')))
echo "screenshot: ${width}x${height}, $(stat -c %s "$out") bytes"
# At least the 770 x 431 client area (more on a screen that scales).
[ "$width" -ge 770 ] && [ "$height" -ge 431 ] || { echo "wrong size" >&2; exit 1; }
# A window that painted nothing compresses to almost nothing.
[ "$(stat -c %s "$out")" -gt 8000 ] || { echo "the picture is nearly empty" >&2; exit 1; }
