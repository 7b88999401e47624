#!/usr/bin/env bash
# The kernel-level stage: the emulated radio as a real USB drive inside a QEMU guest running
# Debian's 6.1 kernel, with quenfall-cli run against it (tests/kernel). Uses the release
# build that scripts/test.sh has made. A machine that cannot fetch the kernel or run QEMU
# skips these tests, and says why, rather than failing. KVM is used only when a probe guest
# has come up under it in this run (tests/kernel/choose-accel.sh), else TCG;
# QUENFALL_KERNEL_ACCEL=kvm|tcg forces one.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh stage-kernel
build=${QUENFALL_BUILD_DIR:-build/release}
started=$(date +%s)

cmake --build "$build" --target radio-gadget quenfall-cli quenfall-radio-helper watch-status
work=$build/tests/kernel/work
results=$work/results.txt
rm -f "$results" "$work/accel"
# Probed once here; the scenarios reuse the verdict.
accel_line=$(tests/kernel/choose-accel.sh "$work")
accel_line="accelerator: ${accel_line%% *} (${accel_line#* })"
echo "== kernel stage: $accel_line"
# The tests are registered under the "kernel" configuration so that the plain ctest pass
# leaves them out. One guest per core: a guest keeps a core busy only while it boots and
# computes, and much of a scenario is the radio's own pace (its restart, the pause after the
# last block), so guests side by side take less than one after the other.
jobs=${QUENFALL_KERNEL_GUESTS:-$(nproc)}
echo "== kernel stage: $jobs guests at a time"
set +e
ctest --test-dir "$build" -C kernel -L kernel --no-tests=error --output-on-failure --timeout 240 -j"$jobs" |
  tee "$build/kernel-stage.log"
status=${PIPESTATUS[0]}
set -e

echo "== kernel stage: scenarios ($accel_line)"
cat "$results" 2>/dev/null || true
echo "== kernel stage: $(($(date +%s) - started)) s in all"
exit "$status"
