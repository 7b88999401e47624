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
# One closing line over every ctest run, printed also when a run or a stage fails and ends
# the script: what passed before the failure is still counted, and the step that failed is
# named (a failed build counts no test).
step="the release build"
total() {
  local status=$?
  [ "$status" -eq 0 ] || echo "test.sh: $step failed (exit status $status)"
  awk '/tests passed, [0-9]+ tests failed out of/ { failed += $4; total += $NF }
       END { printf "total: %d passed, %d failed\n", total - failed, failed }' "$log"
}
trap total EXIT

# Every option the suite relies on is said here: a folder that scripts/run.sh configured
# first keeps its cached OFF otherwise, and the release pass would find no test.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUENFALL_BUILD_TESTS=ON -DQUENFALL_BUILD_BENCH=ON -DQUENFALL_BUILD_GUI=ON
cmake --build build/release
step="the release tests"
ctest --test-dir build/release --output-on-failure --no-tests=error -j2 2>&1 | tee -a "$log"

# Further stages (sanitizers, fuzzing, the Windows build under wine, the screenshot, the
# kernel-level test, the fresh machine) live in scripts/test-stages/ and run in name order.
# QUENFALL_TEST_STAGES="20-windows 30-screenshot" runs only the stages named (all of them
# when unset; an empty value runs none).
for stage in scripts/test-stages/*.sh; do
  [ -e "$stage" ] || continue
  if [ -n "${QUENFALL_TEST_STAGES+set}" ] && [[ " $QUENFALL_TEST_STAGES " != *" $(basename "$stage" .sh) "* ]]; then
    echo "== stage: $(basename "$stage") not run (QUENFALL_TEST_STAGES=\"$QUENFALL_TEST_STAGES\")"
    continue
  fi
  step="stage $(basename "$stage")"
  echo "== $step"
  bash "$stage" 2>&1 | tee -a "$log"
done
