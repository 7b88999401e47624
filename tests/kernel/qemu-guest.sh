# shellcheck shell=bash
# Sourced by run-guest.sh and choose-accel.sh: runs QEMU under a time limit and watches it.
#
# run_qemu LIMIT_SECONDS ERR_FILE CONSOLE_FILE QEMU_ARGUMENTS...
# Sets qemu_rc to QEMU's exit status (124 when the time limit ended it) and, when QEMU
# abandoned the guest, qemu_gave_up to QEMU's own words on one line. On a KVM internal
# error QEMU does not exit: it dumps the registers, pauses the machine and waits, so
# waiting for it would only wait out the limit. Its stderr is the one sign.
# A guest that has written nothing to its console after QUENFALL_KERNEL_FIRST_SIGN_SECONDS
# (30; the kernel's first warning comes within a second or two, even under TCG) never
# started: a broken nested KVM can also hang without a word from QEMU. That sets
# qemu_silent and ends QEMU as well.

qemu_give_up_words='KVM internal error|emulation failure|KVM: entry failed|kvm run failed'

# shellcheck disable=SC2034 # the results are read by the scripts that source this
run_qemu() {
  local limit=$1 err=$2 console=$3
  shift 3
  qemu_rc=0
  qemu_gave_up=
  qemu_silent=
  local deadline=$((SECONDS + limit)) timed_out=
  local first_sign=$((SECONDS + ${QUENFALL_KERNEL_FIRST_SIGN_SECONDS:-30}))
  qemu-system-x86_64 "$@" 2>"$err" &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    if grep -qE "$qemu_give_up_words" "$err"; then
      qemu_gave_up=$(grep -E "$qemu_give_up_words" "$err" | head -n 3 | paste -sd ';' | sed 's/;/; /g')
      break
    fi
    if [ "$SECONDS" -ge "$first_sign" ] && [ ! -s "$console" ]; then
      qemu_silent=1
      break
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
      timed_out=1
      break
    fi
    sleep 0.2
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid" 2>/dev/null || true
    local grace=$((SECONDS + 5))
    while kill -0 "$pid" 2>/dev/null && [ "$SECONDS" -lt "$grace" ]; do sleep 0.2; done
    kill -KILL "$pid" 2>/dev/null || true
  fi
  wait "$pid" || qemu_rc=$?
  if [ -n "$timed_out" ]; then qemu_rc=124; fi
  return 0
}

# The last thing QEMU said, on one line, for a reason when it said nothing more telling.
qemu_last_words() {
  grep -v 'terminating on signal' "$1" 2>/dev/null | grep -v '^[[:space:]]*$' | tail -n 1 || true
}
