#!/usr/bin/env bash
# Chooses QEMU's accelerator for the kernel-level guests by trying it: KVM only once a probe
# guest has come up under it on this machine, else TCG. A /dev/kvm that opens is no promise
# that KVM runs a guest (nested KVM in a virtual machine may fail at the first instruction).
#   choose-accel.sh WORK_DIR   -> prints one line: "kvm|tcg REASON"
# QUENFALL_KERNEL_ACCEL=kvm|tcg forces one. The verdict is kept in WORK_DIR/accel, so a
# stage run probes once for all its scenarios (40-kernel.sh removes it when it starts; a
# verdict older than an hour is probed again). QUENFALL_KVM_DEVICE names the device to
# look for (/dev/kvm), so that a machine without one can be tried on one that has it.
set -euo pipefail
work=$(realpath -m "$1")
here=$(cd "$(dirname "$0")" && pwd)

case "${QUENFALL_KERNEL_ACCEL:-}" in
  kvm | tcg) echo "$QUENFALL_KERNEL_ACCEL forced by QUENFALL_KERNEL_ACCEL"; exit 0 ;;
  '') ;;
  *) echo "QUENFALL_KERNEL_ACCEL must be kvm or tcg, not '$QUENFALL_KERNEL_ACCEL'" >&2; exit 2 ;;
esac

mkdir -p "$work"
verdict=$work/accel
exec 9>"$work/accel.lock"
flock 9
if [ -s "$verdict" ] && [ -n "$(find "$verdict" -mmin -60 2>/dev/null)" ]; then
  cat "$verdict"
  exit 0
fi

decide() {
  echo "$*" > "$verdict.new"
  mv "$verdict.new" "$verdict"
  echo "$*"
  exit 0
}

device=${QUENFALL_KVM_DEVICE:-/dev/kvm}
[ -e "$device" ] || decide "tcg no $device on this machine"
{ [ -r "$device" ] && [ -w "$device" ]; } || decide "tcg $device is not readable and writable for $(id -un)"
command -v qemu-system-x86_64 >/dev/null || decide "tcg qemu-system-x86_64 is not installed"

image=$("$here/guest-image.sh" "$work" 2>"$work/probe-image.err") ||
  decide "tcg no guest to probe KVM with: $(tail -n 1 "$work/probe-image.err")"
kernel=$(sed -n 1p <<<"$image")
initramfs=$(sed -n 2p <<<"$image")

# The probe guest stops in its first process (guest/init), which prints the marker and
# powers off: a second or two under a working KVM.
# shellcheck source=tests/kernel/qemu-guest.sh
. "$here/qemu-guest.sh"
probe=$work/probe
rm -rf "$probe"
mkdir -p "$probe"
limit=${QUENFALL_KERNEL_PROBE_SECONDS:-10}
marker='quenfall: probe guest is up'
probe_started=$SECONDS
run_qemu "$limit" "$probe/qemu.err" "$probe/console.log" \
  -machine pc -accel kvm -cpu max -smp 1 -m 512 \
  -kernel "$kernel" -initrd "$initramfs" \
  -append "console=ttyS0 panic=-1 loglevel=5 quenfall.probe" \
  -display none -monitor none -serial "file:$probe/console.log" \
  -nic none -no-reboot
if grep -qF "$marker" "$probe/console.log" 2>/dev/null; then
  decide "kvm the KVM probe guest came up in $((SECONDS - probe_started)) s"
fi
if [ -n "$qemu_gave_up" ]; then
  decide "tcg KVM probe failed: $qemu_gave_up"
fi
said=$(qemu_last_words "$probe/qemu.err")
if [ "$qemu_rc" -eq 124 ]; then
  shown=nothing
  [ -s "$probe/console.log" ] && shown="kernel messages but not the marker"
  decide "tcg KVM probe failed: the probe guest showed $shown within $limit s; QEMU said ${said:-nothing}"
fi
decide "tcg KVM probe failed: QEMU exited with $qemu_rc${said:+: $said}"
