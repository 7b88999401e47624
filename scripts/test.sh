#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test stage.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

mkdir -p build
log=build/test-output.log
# Every upgrade run the tests make (the window's, quenfall-cli's) goes into a history of the
# build's own, never into the user's.
export QUENFALL_HISTORY=$PWD/build/test-history.jsonl
: > "$log"

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release
ctest --test-dir build/release --output-on-failure -j2 2>&1 | tee -a "$log"

# Further stages (sanitizers, fuzzing, the Windows build under wine, the screenshot, the
# kernel-level test) live in scripts/test-stages/ and run in name order.
for stage in scripts/test-stages/*.sh; do
  [ -e "$stage" ] || continue
  echo "== stage: $(basename "$stage")"
  bash "$stage" 2>&1 | tee -a "$log"
done

# One closing line over every ctest run above.
awk '/tests passed, [0-9]+ tests failed out of/ { failed += $4; total += $NF }
     END { printf "total: %d passed, %d failed\n", total - failed, failed }' "$log"
