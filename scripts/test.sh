#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test stage.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release
ctest --test-dir build/release --output-on-failure -j2

# Further stages (sanitizers, the Windows build under wine, fuzzing, the kernel-level test)
# live in scripts/test-stages/ and run in name order.
for stage in scripts/test-stages/*.sh; do
  [ -e "$stage" ] || continue
  echo "== stage: $(basename "$stage")"
  bash "$stage"
done
