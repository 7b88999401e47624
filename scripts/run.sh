#!/usr/bin/env bash
# Installs what is missing, builds the tools and starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
source scripts/compiler-cache.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENFALL_BUILD_TESTS=OFF -DQUENFALL_BUILD_BENCH=OFF \
  -DCMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-}"
cmake --build build/release
if [ -x build/release/src/ui/quenfall ]; then
  exec build/release/src/ui/quenfall "$@"
fi
exec build/release/src/cli/quenfall-cli "$@"
