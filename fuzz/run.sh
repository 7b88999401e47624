#!/usr/bin/env bash
# Runs one fuzz target for a set time on the committed seed corpus.
#   fuzz/run.sh TARGET SECONDS [extra libFuzzer flags...]
# TARGET is package_loader, response, storage_descriptor, drive_selection or helper_request.
# New inputs go to build/fuzz/corpus/TARGET (kept between runs, never committed); a crash
# is written to build/fuzz/artifacts/TARGET/. The build tree is set up with clang when
# missing; QUENFALL_FUZZ_BUILD overrides where it lives.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer flags...]" >&2
  exit 2
fi
target=${1#fuzz_}
seconds=$2
shift 2

build=${QUENFALL_FUZZ_BUILD:-build/fuzz}
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUENFALL_BUILD_FUZZ=ON -DQUENFALL_BUILD_TESTS=OFF -DQUENFALL_BUILD_BENCH=OFF \
    -DQUENFALL_BUILD_GUI=OFF >/dev/null
fi
cmake --build "$build" --target "fuzz_$target" -j2 >/dev/null

seeds=fuzz/corpus/$target
work=$build/corpus/$target
artifacts=$build/artifacts/$target
mkdir -p "$work" "$artifacts"
[ -d "$seeds" ] || seeds=

# Largest input worth trying: a package of a few blocks, or one whole response buffer.
case $target in
  package_loader) max_len=16384 ;;
  response) max_len=4100 ;;
  storage_descriptor) max_len=1024 ;;
  *) max_len=4096 ;;
esac

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The first directory receives what the fuzzer finds; the committed seeds stay untouched.
exec nice -n 10 "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len="$max_len" \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" "$work" $seeds
