#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short while on the committed
# seed corpus: about a minute in all. A crash, a sanitizer report or a broken invariant
# fails the stage and leaves the input in build/fuzz/artifacts/<target>/.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh stage-fuzz
build=${QUENFALL_FUZZ_BUILD:-build/fuzz}
total=${QUENFALL_FUZZ_SECONDS:-60}

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUENFALL_BUILD_FUZZ=ON -DQUENFALL_BUILD_TESTS=OFF -DQUENFALL_BUILD_BENCH=OFF \
  -DQUENFALL_BUILD_GUI=OFF >/dev/null

# Every fuzz_* executable target the build knows, except the corpus writer.
mapfile -t targets < <(cmake --build "$build" --target help | sed -n 's/^\(fuzz_[a-z_]*\): .*/\1/p' |
                       grep -v '^fuzz_make_corpus$' | sort -u)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets found" >&2
  exit 1
fi
cmake --build "$build" -j2 --target "${targets[@]}"

seconds=$(( total / ${#targets[@]} ))
[ "$seconds" -ge 5 ] || seconds=5
for t in "${targets[@]}"; do
  name=${t#fuzz_}
  echo "== fuzz: $name for ${seconds}s"
  log=$build/$name.log
  if ! QUENFALL_FUZZ_BUILD=$build fuzz/run.sh "$name" "$seconds" >"$log" 2>&1; then
    tail -n 80 "$log" >&2
    echo "fuzz target $name failed; the input is in $build/artifacts/$name/" >&2
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$log"
done
