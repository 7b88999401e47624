#!/usr/bin/env bash
# Takes a picture of the shop window during a run: quenfall --shop --emulate 4 on an X
# server of its own (Xvfb), Enter pressed through the XTest extension, the screen read with
# xwd half-way through the uploads and written as PNG.
#   scripts/screenshot-shop.sh [OUTPUT.png]     (default docs/shop-window-qt.png)
# BUILD_DIR picks the build (default build/release), which must hold quenfall and quenfall-cli.
# AFTER: seconds from Enter to the picture (default 9: past the restarts, mid-upload).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${BUILD_DIR:-build/release}")
out=$(realpath -m "${1:-docs/shop-window-qt.png}")
work=$(mktemp -d /tmp/quenfall-shop-shot.XXXXXX)
trap 'rm -rf "$work"' EXIT

# A package of 98 blocks, and a history of the picture's own.
mkdir -p "$work/shop" "$work/state"
head -c 200000 /dev/urandom >"$work/section.bin"
"$build/src/cli/quenfall-cli" pack -o "$work/shop/firmware.bin" --model 0 --scramble 1 --section 0="$work/section.bin" >/dev/null

cat >"$work/enter.py" <<'PY'
import ctypes
x = ctypes.cdll.LoadLibrary("libX11.so.6")
t = ctypes.cdll.LoadLibrary("libXtst.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XFlush.argtypes = [ctypes.c_void_p]
t.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
d = x.XOpenDisplay(None)
code = x.XKeysymToKeycode(d, 0xFF0D)  # Return
t.XTestFakeKeyEvent(d, code, 1, 0)
t.XTestFakeKeyEvent(d, code, 0, 0)
x.XFlush(d)
PY
cat >"$work/xwd2png.py" <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
h = struct.unpack(">25I", data[:100])
header, width, height, bpp, bpl, ncolors = h[0], h[4], h[5], h[11], h[12], h[19]
w, hh, step = int(sys.argv[3]), int(sys.argv[4]), bpp // 8
off = header + ncolors * 12
rows = []
for y in range(hh):
    line = data[off + y * bpl: off + y * bpl + w * step]
    rows.append(b"\0" + b"".join(bytes((line[i + 2], line[i + 1], line[i])) for i in range(0, w * step, step)))
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
open(sys.argv[2], "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, hh, 8, 2, 0, 0, 0))
                              + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))
PY
cat >"$work/run.sh" <<SH
set -eu
XDG_STATE_HOME="$work/state" QT_QPA_PLATFORM=xcb "$build/src/ui/quenfall" --shop --emulate 4 "$work/shop/firmware.bin" &
pid=\$!
sleep 3
python3 "$work/enter.py"
sleep ${AFTER:-9}
xwd -root -display "\$DISPLAY" >"$work/screen.xwd"
kill \$pid
SH
# No window manager: the window sits at the top left, at its first size (860 x 420).
timeout 90 xvfb-run -a -s "-screen 0 900x460x24 -nolisten tcp" bash "$work/run.sh"
mkdir -p "$(dirname "$out")"
python3 "$work/xwd2png.py" "$work/screen.xwd" "$out" 860 420
echo "screenshot-shop.sh: wrote $out"
