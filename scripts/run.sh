#!/usr/bin/env bash
# Installs what is missing, builds the tools and starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENFALL_BUILD_TESTS=OFF -DQUENFALL_BUILD_BENCH=OFF
cmake --build build/release
if [ -x build/release/src/ui/quenfall ]; then
  exec build/release/src/ui/quenfall "$@"
fi
exec build/release/src/cli/quenfall-cli "$@"
