#!/usr/bin/env bash
# The whole test suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer:
# any out-of-bounds access, use after free, leak or undefined behaviour fails the stage.
# The kernel-level test is left to its own stage.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh stage-sanitizers
build=${QUENFALL_ASAN_BUILD:-build/asan}
sanitize="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"

# A unity build: each target's sources compiled a few at a time in one translation unit,
# which takes a third of the time of one compile per file. The sanitizers look for faults
# at run time, which the grouping does not change; the release tree and the Windows tree
# still compile every file on its own, so a file that forgets an include is caught there.
# Two files of one target that give the same name to a helper of their own (in an unnamed
# namespace) clash here: name one of them apart.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_UNITY_BUILD=ON \
  -DCMAKE_CXX_FLAGS="$sanitize" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DQUENFALL_BUILD_TESTS=ON -DQUENFALL_BUILD_BENCH=OFF -DQUENFALL_BUILD_GUI=ON
# Everything but what cannot carry the sanitizers' runtime: the kernel test's radio gadget
# is linked statically for its guest, and only that test uses it.
skip='radio-gadget'
mapfile -t targets < <(cmake --build "$build" --target help | sed -n 's/^\([^/ ]*\): phony$/\1/p' |
  grep -vxE 'test|edit_cache|rebuild_cache|list_install_components|install|all|clean|help|.*_autogen(_timestamp_deps)?|lib.*\.a' |
  grep -vxF "$skip")
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
# The randomized upgrades play their full count in the release pass; here they look for
# memory and undefined-behaviour faults, and a fifth of the runs keeps the stage short.
export QUENFALL_RANDOM_RUNS=${QUENFALL_RANDOM_RUNS:-2000}

ctest --test-dir "$build" --output-on-failure --no-tests=error -j"$(nproc)" -LE kernel
