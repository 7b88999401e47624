#!/usr/bin/env bash
# The "none" platform, where a port to another system starts: the whole default build
# (quenfall-cli, and the window when Qt is there) without any radio support and without
# libudev. An emulated upgrade must complete; asking for a real radio must say plainly
# that this build has none, and fail.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh stage-none-platform
started=$(date +%s)
build=build/none
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

gui=OFF
if pkg-config --exists Qt6Widgets 2>/dev/null || [ -e /usr/lib/x86_64-linux-gnu/cmake/Qt6Widgets ]; then gui=ON; fi
# The compiler and a launcher (ccache) come from the environment, as in every other build.
launcher=()
[ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] || launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER="$CMAKE_CXX_COMPILER_LAUNCHER")
# The release tree's build type: every file the two builds share is then the same compile,
# which the compiler cache gives back instead of compiling it again.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUENFALL_PLATFORM=none \
  -DQUENFALL_BUILD_TESTS=OFF -DQUENFALL_BUILD_BENCH=OFF -DQUENFALL_BUILD_GUI="$gui" "${launcher[@]}" >"$work/configure.txt" \
  || { cat "$work/configure.txt"; exit 1; }
cmake --build "$build" -j"$(nproc)"

cli=$build/src/cli/quenfall-cli
programs=("$cli")
[ "$gui" = OFF ] || programs+=("$build/src/ui/quenfall")
for program in "${programs[@]}"; do
  [ -x "$program" ] || { echo "none: $program was not built"; exit 1; }
  if ldd "$program" | grep -q libudev || readelf -d "$program" | grep NEEDED | grep -q libudev; then
    echo "none: $program links libudev"; exit 1
  fi
done
[ ! -e "$build/src/libexec/quenfall/quenfall-radio-helper" ] || { echo "none: a radio helper was built"; exit 1; }

# An emulated upgrade of a small package made by pack.
head -c 5000 /dev/urandom >"$work/section0.bin"
head -c 2048 /dev/urandom >"$work/section2.bin"
"$cli" pack -o "$work/small.bin" --model 17 --section 0="$work/section0.bin" --section 2="$work/section2.bin"
QUENFALL_HISTORY="$work/history.jsonl" "$cli" flash "$work/small.bin" --emulate --trace "$work/trace.txt" \
  >"$work/out.txt" 2>&1 || { echo "none: flash --emulate failed:"; cat "$work/out.txt"; exit 1; }
grep -qx ' Program upgrade is complete!' "$work/out.txt" || {
  echo "none: flash --emulate did not report completion:"; cat "$work/out.txt"; exit 1; }
[ "$(wc -l <"$work/history.jsonl")" -eq 1 ] || { echo "none: the run was not recorded in the history"; exit 1; }

# A real radio: each command says there is no radio support here, exits 1 and does not crash.
for command in devices "flash $work/small.bin" doctor; do
  set +e
  # shellcheck disable=SC2086
  QUENFALL_HISTORY="$work/history.jsonl" "$cli" $command >"$work/real.txt" 2>&1
  status=$?
  set -e
  if [ "$status" -ne 1 ] || ! grep -q 'this build has no radio support on this system' "$work/real.txt"; then
    echo "none: quenfall-cli $command: expected exit 1 and no radio support, got $status:"; cat "$work/real.txt"; exit 1
  fi
done

echo "none: built ${programs[*]##*/} without libudev and without a radio helper;" \
  "flash --emulate completed ($(grep -c '^> ' "$work/trace.txt") frames sent, recorded);" \
  "devices, flash and doctor said there is no radio support and exited 1 ($(( $(date +%s) - started )) s)"
