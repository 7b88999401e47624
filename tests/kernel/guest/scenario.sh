#!/bin/bash
# Runs inside the test machine, chrooted into the host's (read-only) root, with a fresh
# /dev, /sys, /proc, /run and /tmp. The job directory is /tmp/out (shared with the host):
# job.env in, verdict and logs out. The verdict file holds "pass ...", "skip: reason" or
# "fail: reason".
set -u
out=/tmp/out
. $out/job.env
package=$out/radio.bin
report=/tmp/gadget.report
gadget_pid=
started=$(date +%s.%N)

elapsed() { awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }
verdict() { echo "$*" > $out/verdict; }
pass() { verdict "pass $*"; finish 0; }
fail() { echo "FAIL: $*"; verdict "fail: $*"; finish 1; }
finish() {
  if [ -n "$gadget_pid" ]; then kill "$gadget_pid" 2>/dev/null; wait "$gadget_pid" 2>/dev/null; fi
  [ -e $report ] && cp $report $out/gadget.report
  echo "== guest time in scenario: $(elapsed) s"
  echo "== kernel messages"
  dmesg | grep -E 'usb|sd |sd[a-z]|scsi|gadget|dummy' | tail -n 40
  exit "$1"
}
report_value() { sed -n "s/^$1=//p" $report 2>/dev/null | head -n 1; }

# The gadget: a configfs USB device whose one function is FunctionFS, bound to dummy_hcd's
# device-side controller. radio-gadget plugs it in once it has written its descriptors.
gadget_dir=/sys/kernel/config/usb_gadget/radio
make_gadget() {
  mount -t configfs none /sys/kernel/config 2>/dev/null
  mkdir -p $gadget_dir || fail "cannot create a configfs gadget"
  echo 0x1d6b > $gadget_dir/idVendor
  echo 0x0104 > $gadget_dir/idProduct
  echo 0x0200 > $gadget_dir/bcdUSB
  mkdir -p $gadget_dir/strings/0x409 $gadget_dir/configs/c.1/strings/0x409 $gadget_dir/functions/ffs.radio
  echo Quenfall > $gadget_dir/strings/0x409/manufacturer
  echo "Emulated radio" > $gadget_dir/strings/0x409/product
  echo 0001 > $gadget_dir/strings/0x409/serialnumber
  echo "Mass storage" > $gadget_dir/configs/c.1/strings/0x409/configuration
  ln -s $gadget_dir/functions/ffs.radio $gadget_dir/configs/c.1/
  mkdir -p /tmp/ffs
  mount -t functionfs radio /tmp/ffs || fail "cannot mount FunctionFS"
  udc=$(ls /sys/class/udc | head -n 1)
  [ -n "$udc" ] || fail "no USB device controller (dummy_hcd not loaded?)"
}

start_gadget() {
  make_gadget
  "$GADGET" --ffs /tmp/ffs --udc-file $gadget_dir/UDC --udc "$udc" --package $package \
    --report $report "$@" > $out/gadget.log 2>&1 &
  gadget_pid=$!
}

# The radio's disk: a removable SCSI disk with the radio's vendor and model in sysfs.
radio_disk() {
  local d
  for d in /sys/block/sd*; do
    [ -e "$d/device/vendor" ] || continue
    [ "$(cat $d/removable)" = 1 ] || continue
    [ "$(cat $d/device/vendor)" = "STM     " ] && [ "$(cat $d/device/model)" = "microSD Flash   " ] &&
      { basename "$d"; return 0; }
  done
  return 1
}
wait_for_disk() {
  local i
  for i in $(seq 1 150); do
    radio_disk >/dev/null && return 0
    kill -0 "$gadget_pid" 2>/dev/null || fail "radio-gadget ended: $(tail -n 3 $out/gadget.log)"
    sleep 0.1
  done
  fail "no disk with the radio's identity appeared"
}

# Runs the tool, keeping its output and exit code.
run_cli() {
  local log=$1; shift
  local t0=$(date +%s.%N)
  "$@" > $out/$log 2>&1
  cli_rc=$?
  echo "== $log: exit $cli_rc after $(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }') s"
  cat $out/$log
}

case "$SCENARIO" in
smoke)
  start_gadget
  wait_for_disk
  disk=$(radio_disk)
  pass "disk $disk with the radio's identity"
  ;;
upgrade)
  # A whole upgrade: the radio answers the first enter request with a restart into boot
  # mode, leaves the bus and comes back as a new disk; the tool finds it again and sends
  # every block.
  start_gadget
  wait_for_disk
  first=$(radio_disk)
  run_cli flash.log "$CLI" flash $package --trace $out/trace.txt
  [ $cli_rc -eq 0 ] || fail "flash ended with $cli_rc"
  grep -q " Program upgrade is complete!" $out/flash.log || fail "no completion text"
  [ "$(report_value restarts)" = 1 ] || fail "the radio restarted $(report_value restarts) times, not once"
  [ "$(report_value bus_leaves)" -ge 1 ] || fail "the device never left the bus"
  [ "$(report_value exits_answered)" -ge 1 ] || fail "the exit request was never answered"
  [ "$(report_value sections_match)" = yes ] ||
    fail "the radio's sections differ from the package: $(grep -E '^(section|difference|violation)=' $report | head -n 5 | tr '\n' ';')"
  grep -q '^violation=' $report && fail "the radio saw protocol violations: $(grep '^violation=' $report | head -n 3 | tr '\n' ';')"
  pass "upgrade with restart (disk $first, then $(radio_disk || echo none)); $(report_value vendor_writes) vendor writes, $(report_value vendor_reads) vendor reads"
  ;;
unprivileged)
  # Without CAP_SYS_RAWIO the kernel would refuse the vendor commands with a bare EPERM;
  # the tool must say so in plain words and must not send anything.
  start_gadget
  wait_for_disk
  disk=$(radio_disk)
  chmod 666 /dev/$disk  # the node is not the obstacle: the capability is
  run_cli flash.log setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all \
    --bounding-set=-all "$CLI" flash $package
  [ $cli_rc -ne 0 ] || fail "flash succeeded without CAP_SYS_RAWIO"
  grep -qi "CAP_SYS_RAWIO\|capabilit\|permission" $out/flash.log || fail "no permission text"
  [ "$(report_value vendor_writes)" = 0 ] && [ "$(report_value vendor_reads)" = 0 ] ||
    fail "vendor commands reached the radio: $(report_value vendor_writes) writes, $(report_value vendor_reads) reads"
  pass "refused with the permission text; no vendor command reached the radio"
  ;;
unplugged)
  # The radio leaves the bus for good at the third block of the run.
  start_gadget --vanish-at-block 2
  wait_for_disk
  run_cli flash.log "$CLI" flash $package
  [ $cli_rc -ne 0 ] || fail "flash reported success although the radio vanished"
  grep -q " Communication Error!\|Program upgrade failed!" $out/flash.log || fail "neither the communication error nor the failure text"
  grep -q " Program upgrade is complete!" $out/flash.log && fail "the completion text was shown"
  radio_disk >/dev/null && fail "the radio's disk is still there"
  pass "ended with exit $cli_rc and $(grep -o ' Communication Error!\|Program upgrade failed!' $out/flash.log | head -n 1 | sed 's/^ //')"
  ;;
no_radio)
  run_cli devices.log "$CLI" devices
  run_cli flash.log "$CLI" flash $package
  [ $cli_rc -ne 0 ] || fail "flash succeeded without a radio"
  grep -q "Unable to connected,Please check whether the device is connected.\| No device detected!" $out/flash.log ||
    fail "no no-radio text"
  pass "no radio: exit $cli_rc, $(grep -o 'Unable to connected[^!]*\.\| No device detected!' $out/flash.log | head -n 1)"
  ;;
*)
  fail "unknown scenario $SCENARIO"
  ;;
esac
