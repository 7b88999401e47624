#!/usr/bin/env bash
# The kernel and initramfs every guest boots, fetched and built once and then reused.
#   guest-image.sh WORK_DIR   -> prints the kernel's path, then the initramfs's, one a line
# Exits 77 with the reason as its last line on stderr when no kernel can be had.
set -euo pipefail
work=$1
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
kernel_tree=$("$here/fetch-kernel.sh" 2>"$work/fetch.err") ||
  { rc=$?; cat "$work/fetch.err" >&2; exit $rc; }
kernel=$kernel_tree/vmlinux
[ -e "$kernel" ] || kernel=$(ls "$kernel_tree"/boot/vmlinuz-* | head -n 1)
initramfs=$("$here/build-initramfs.sh" "$kernel_tree" "$work")
echo "$kernel"
echo "$initramfs"
