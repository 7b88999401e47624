#!/usr/bin/env bash
# Builds the release archives into dist/, one function per target:
#   scripts/package.sh [TARGET...]      targets: windows (default: all of them)
#   windows   dist/quenfall-<version>-windows-x64.zip: quenfall.exe (the Win32 window) and
#             quenfall-cli.exe, static single files cross-built with MinGW-w64, with the
#             README's Windows section and the licence
# WINDOWS_BUILD_DIR picks the MinGW-w64 build to take the programs from (default
# build/windows, the Windows test stage's); it is configured and built when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=$(sed -n 's/^project(Quenfall VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package.sh: no version in CMakeLists.txt" >&2; exit 1; }
mkdir -p dist

# Every DLL a Windows program imports must come with Windows itself: nothing of MinGW's
# runtime (libstdc++, libgcc, libwinpthread) may be needed beside the .exe.
check_windows_imports() {
  local exe=$1 dll bad=0
  while read -r dll; do
    case "${dll,,}" in
      kernel32.dll|user32.dll|gdi32.dll|gdiplus.dll|comctl32.dll|comdlg32.dll|shell32.dll|winmm.dll|\
      msvcrt.dll|advapi32.dll|ole32.dll|setupapi.dll|ws2_32.dll|shlwapi.dll|ucrtbase.dll|api-ms-win-*) ;;
      *) echo "package.sh: $(basename "$exe") needs $dll, which Windows does not have" >&2; bad=1 ;;
    esac
  done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
  return $bad
}

windows() {
  local build=${WINDOWS_BUILD_DIR:-build/windows}
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DCMAKE_MODULE_PATH="$root/cmake/cross" -DCMAKE_BUILD_TYPE=Release \
      -DQUENFALL_BUILD_GUI=OFF -DQUENFALL_BUILD_BENCH=OFF -DQUENFALL_BUILD_TESTS=OFF
  fi
  cmake --build "$build" --target quenfall-win32 quenfall-cli
  local window=$build/src/ui/quenfall.exe cli=$build/src/cli/quenfall-cli.exe
  for exe in "$window" "$cli"; do
    [ -f "$exe" ] || { echo "package.sh: $exe was not built" >&2; return 1; }
    check_windows_imports "$exe"
  done

  local name=quenfall-$version-windows-x64
  local stage
  stage=$(mktemp -d)
  mkdir "$stage/$name"
  cp "$window" "$cli" "$stage/$name/"
  x86_64-w64-mingw32-strip "$stage/$name/"*.exe
  # The README's Windows section, and the licence, with Windows line ends.
  awk '/^## Windows/{on=1; print; next} on && /^## /{exit} on' README.md | sed 's/$/\r/' >"$stage/$name/README.txt"
  [ -s "$stage/$name/README.txt" ] || { echo "package.sh: the README has no Windows section" >&2; return 1; }
  sed 's/$/\r/' LICENSE >"$stage/$name/LICENSE.txt"
  rm -f "dist/$name.zip"
  (cd "$stage" && zip -q -X -r "$root/dist/$name.zip" "$name")
  rm -rf "$stage"
  echo "package.sh: wrote dist/$name.zip ($(stat -c %s "dist/$name.zip") bytes: $(unzip -Z1 "dist/$name.zip" | tr '\n' ' '))"
}

targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(windows)
for target in "${targets[@]}"; do
  case $target in
    windows) windows ;;
    *) echo "package.sh: unknown target $target (known: windows)" >&2; exit 2 ;;
  esac
done
