#!/usr/bin/env bash
# One kernel-level scenario: boots Debian's 6.1 kernel under QEMU (KVM when it has proved
# itself on this machine, else TCG: see choose-accel.sh) with the host's root shared read-only, and runs guest/scenario.sh SCENARIO in it against the
# emulated radio plugged in as a USB drive (radio-gadget on dummy_hcd).
#   run-guest.sh SCENARIO QUENFALL_CLI RADIO_GADGET WORK_DIR WATCH_STATUS RADIO_HELPER
# Exit: 0 passed, 1 failed, 77 skipped (the reason is printed).
set -euo pipefail

scenario=$1
cli=$(realpath "$2")
gadget=$(realpath "$3")
work=$(realpath -m "$4")
watch=$(realpath "$5")
helper=$(realpath "$6")
here=$(cd "$(dirname "$0")" && pwd)
started=$(date +%s.%N)
accel=

elapsed() { awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }
# One line per scenario in WORK_DIR/results.txt, for the stage's summary.
result() {
  echo "$1: $2"
  mkdir -p "$work"
  echo "$scenario: $1 in $(elapsed) s${accel:+ under $accel}: $2" >> "$work/results.txt"
}
skip() { result SKIPPED "$*"; exit 77; }

command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not installed (package qemu-system-x86)"
[ -x /bin/busybox ] || skip "busybox is not installed (package busybox-static)"
# The guest mounts its own /tmp: a checkout under the host's /tmp (CI may clone there) is
# shared with the guest separately and put back in place, one top-level folder each.
host_tmp_dirs=()
for path in "$cli" "$gadget" "$watch" "$helper" "$here"; do
  case "$path" in
    *[[:space:]]*) skip "paths with blanks cannot be passed to the guest ($path)" ;;
    /tmp/*) top=${path#/tmp/}; host_tmp_dirs+=("${top%%/*}") ;;
    /run/* | /dev/* | /proc/* | /sys/*)
      skip "$path is not visible in the guest, which mounts its own /run, /dev, /proc and /sys" ;;
  esac
done
host_tmp_share=()
if [ ${#host_tmp_dirs[@]} -gt 0 ]; then
  host_tmp_share=(-virtfs local,path=/tmp,mount_tag=hosttmp,security_model=none,readonly=on,multidevs=remap)
fi

mkdir -p "$work"
image=$("$here/guest-image.sh" "$work" 2>"$work/image.err") ||
  { rc=$?; cat "$work/image.err"; [ $rc -eq 77 ] && skip "$(tail -n 1 "$work/image.err")"; exit $rc; }
kernel=$(sed -n 1p <<<"$image")
initramfs=$(sed -n 2p <<<"$image")
read -r accel accel_reason < <("$here/choose-accel.sh" "$work") || true
[ -n "$accel" ] || { result FAILED "no accelerator chosen (see above)"; exit 1; }
echo "accelerator: $accel ($accel_reason)"

job=$work/$scenario
rm -rf "$job"
mkdir -p "$job"
# The package the radio is to receive, made by the tool itself: three sections with
# position-dependent contents, the first long enough to be sent in several blocks.
section() { head -c "$2" < <(seq 1 1000000) > "$job/section-$1"; }
section 0 $((6 * 2048 + 100))
section 1 3000
section 3 5000
"$cli" pack -o "$job/radio.bin" --model 2 --section 0="$job/section-0" --section 1="$job/section-1" \
  --section 3="$job/section-3" >"$job/pack.log" 2>&1 ||
  { cat "$job/pack.log"; result FAILED "quenfall-cli pack"; exit 1; }

cat > "$job/job.env" <<EOF
SCENARIO=$scenario
SCENARIO_SCRIPT=$here/guest/scenario.sh
CLI=$cli
GADGET=$gadget
WATCH=$watch
HELPER=$helper
QUENFALL_HISTORY=/tmp/out/history.jsonl
HOST_TMP_DIRS=$(printf '%s\n' "${host_tmp_dirs[@]}" | sort -u | tr '\n' ' ')
EOF

# A hang anywhere (guest, gadget, tool) ends here, not in CI's own time-out; a guest that
# QEMU abandons ends as soon as QEMU says so.
guest_limit=${QUENFALL_KERNEL_GUEST_SECONDS:-150}
# shellcheck source=tests/kernel/qemu-guest.sh
. "$here/qemu-guest.sh"
run_qemu "$guest_limit" "$job/qemu.err" "$job/console.log" \
  -machine pc -accel "$accel" -cpu max -smp 1 -m 512 \
  -kernel "$kernel" -initrd "$initramfs" \
  -append "console=ttyS0 panic=-1 loglevel=5" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -virtfs "local,path=$job,mount_tag=out,security_model=none" \
  "${host_tmp_share[@]}" \
  -display none -monitor none -serial "file:$job/console.log" \
  -nic none -no-reboot
if [ -n "$qemu_gave_up" ]; then
  head -n 20 "$job/qemu.err"
  result FAILED "QEMU abandoned the guest under $accel after $(elapsed) s: $qemu_gave_up"
  exit 1
fi
if [ -n "$qemu_silent" ]; then
  cat "$job/qemu.err"
  said=$(qemu_last_words "$job/qemu.err")
  result FAILED "the guest never started under $accel: nothing on its console after $(elapsed) s; QEMU said ${said:-nothing}"
  exit 1
fi
if [ $qemu_rc -ne 0 ] && [ $qemu_rc -ne 124 ] && [ ! -s "$job/console.log" ]; then
  cat "$job/qemu.err"
  # A KVM that was asked for and does not start is a failure; a QEMU that cannot run the
  # guest at all, even under TCG, is a machine these tests cannot use.
  [ "$accel" = kvm ] && { result FAILED "QEMU could not start the guest under kvm: $(qemu_last_words "$job/qemu.err")"; exit 1; }
  skip "QEMU could not start the guest: $(qemu_last_words "$job/qemu.err")"
fi

echo "== $scenario: guest log"
cat "$job/guest.log" 2>/dev/null || true
verdict=$(cat "$job/verdict" 2>/dev/null || true)
echo "== $scenario: qemu exit $qemu_rc, wall time $(elapsed) s"
case "$verdict" in
  pass*) result PASSED "${verdict#pass }"; exit 0 ;;
  skip*) skip "${verdict#skip: }" ;;
esac
echo "== $scenario: console"
tail -n 60 "$job/console.log" 2>/dev/null || true
echo "== $scenario: the guest's USB and SCSI messages"
grep -E 'usb|scsi|sd[a-z]* |gadget|dummy|ffs|init:' "$job/dmesg.txt" 2>/dev/null | tail -n 40 || true
[ $qemu_rc -eq 124 ] && result FAILED "the guest did not finish within $guest_limit s" && exit 1
verdict=${verdict#fail: }
if [ -z "$verdict" ] && [ $qemu_rc -ne 0 ]; then
  verdict="QEMU exited with $qemu_rc before the guest gave a verdict: $(qemu_last_words "$job/qemu.err")"
fi
result FAILED "${verdict:-the guest gave no verdict}"
exit 1
