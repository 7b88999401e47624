#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test stage.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)
scripts/install-deps.sh suite
mkdir -p build
log=build/test-output.log
# Every upgrade run the tests make (the window's, quenfall-cli's) goes into a history of the
# build's own, never into the user's.
export QUENFALL_HISTORY=$PWD/build/test-history.jsonl
source scripts/compiler-cache.sh
if [ -n "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]; then
  ccache --zero-stats >/dev/null
  echo "test.sh: compiler cache: ccache in $(ccache --get-config cache_dir), $(ccache --print-stats | awk '$1 == "files_in_cache" { print $2 }') files in it"
else
  echo "test.sh: compiler cache: none"
fi
: > "$log"
# Every step's wall time, for the table printed at the end (a failed step is listed too).
steps=()
step_started=$started
step="installing what is missing"
begin() {  # begin NAME: the step before this one has ended
  steps+=("$(($(date +%s) - step_started)) $step")
  step=$1
  step_started=$(date +%s)
}
begin "the release build"
# One closing line over every ctest run, printed also when a run or a stage fails and ends
# the script: what passed before the failure is still counted, and the step that failed is
# named (a failed build counts no test). The table of times comes just before it.
total() {
  local status=$? line mark=
  [ "$status" -eq 0 ] || { echo "test.sh: $step failed (exit status $status)"; mark=" (failed)"; }
  steps+=("$(($(date +%s) - step_started)) $step$mark")
  echo "test.sh: seconds per step"
  for line in "${steps[@]}"; do printf '  %6d  %s\n' "${line%% *}" "${line#* }"; done
  printf '  %6d  %s\n' "$(($(date +%s) - started))" "in all"
  [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] ||
    ccache --print-stats | awk '$1 ~ /^(direct|preprocessed)_cache_hit$/ { hit += $2 } $1 == "cache_miss" { miss = $2 }
      END { printf "test.sh: compiler cache in this run: %d hits, %d misses\n", hit, miss }'
  awk '/tests passed, [0-9]+ tests failed out of/ { failed += $4; total += $NF }
       END { printf "total: %d passed, %d failed\n", total - failed, failed }' "$log"
}
trap total EXIT

# Every option the suite relies on is said here: a folder that scripts/run.sh configured
# first keeps its cached OFF otherwise, and the release pass would find no test.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-}" \
  -DQUENFALL_BUILD_TESTS=ON -DQUENFALL_BUILD_BENCH=ON -DQUENFALL_BUILD_GUI=ON
cmake --build build/release
begin "the release tests"
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
  begin "stage $(basename "$stage" .sh)"
  echo "== $step"
  bash "$stage" 2>&1 | tee -a "$log"
  echo "== $step: $(($(date +%s) - step_started)) s"
done
