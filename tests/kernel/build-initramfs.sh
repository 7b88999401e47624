#!/usr/bin/env bash
# Builds the guest's initramfs: busybox, guest/init, and the kernel modules the tests need
# with everything they depend on, in load order.
#   build-initramfs.sh KERNEL_TREE OUTPUT_DIR   -> prints the initramfs path
# The result is reused while the kernel, init and this script are unchanged.
set -euo pipefail

tree=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
# busybox-static's binary: the initramfs has no C library for anything else.
busybox=/bin/busybox
[ -x "$busybox" ] || { echo "initramfs: busybox (busybox-static) is not installed" >&2; exit 77; }

version=$(ls "$tree/lib/modules" | head -n 1)
moddir=$tree/lib/modules/$version

# USB gadget and host side, SCSI disks and their generic nodes, a SCSI disk that hangs from
# no USB port (scsi_debug), and 9p over virtio for the shared host root.
wanted=(configfs libcomposite usb_f_fs dummy_hcd usb_storage sd_mod sg scsi_debug
        virtio_pci 9pnet_virtio 9p)

key=$( { echo "$version"; echo "${wanted[*]}"; cat "$here/guest/init" "$0" "$busybox"; } | sha256sum | cut -c1-16)
image=$out/initramfs-$key.cpio
# Guests start side by side: one of them builds the image, the others wait for it.
mkdir -p "$out"
exec 9>"$out/.initramfs.lock"
flock 9
if [ -s "$image" ]; then
  echo "$image"
  exit 0
fi

declare -A path_of=()
while read -r rel; do
  name=${rel##*/}
  name=${name%.ko}
  path_of[${name//-/_}]=$rel
done < "$moddir/modules.order"

declare -A seen=()
order=()
depends_of() {
  tr '\0' '\n' < "$moddir/$1" | sed -n 's/^depends=//p' | head -n 1 | tr ',' ' '
}
visit() {
  local name=${1//-/_} dep
  [ -n "${seen[$name]:-}" ] && return 0
  seen[$name]=1
  local rel=${path_of[$name]:-}
  [ -n "$rel" ] || return 0   # built into the kernel
  for dep in $(depends_of "$rel"); do visit "$dep"; done
  order+=("$name")
}
for m in "${wanted[@]}"; do visit "$m"; done

stage=$(mktemp -d "$out/initramfs.XXXXXX")
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage"/{bin,dev,proc,sys,host,out,modules}
cp "$busybox" "$stage/bin/busybox"
cp "$here/guest/init" "$stage/init"
chmod 755 "$stage/init"
: > "$stage/modules/order"
for name in "${order[@]}"; do
  cp "$moddir/${path_of[$name]}" "$stage/modules/$name.ko"
  echo "$name" >> "$stage/modules/order"
done
(cd "$stage" && find . | LC_ALL=C sort | "$busybox" cpio -o -H newc 2>/dev/null) > "$image.new"
mv "$image.new" "$image"
echo "$image"
