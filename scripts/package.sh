#!/usr/bin/env bash
# Builds the release packages into dist/, one function per target:
#   scripts/package.sh [TARGET...]      targets: linux, windows (default: all of them)
#   linux     dist/quenfall_<version>_amd64.deb for Debian 12 and alike: the window,
#             quenfall-cli, the radio helper (given its capability by the post-install), the
#             desktop entry, the icon and the udev rule; from a release build of its own
#   windows   dist/quenfall-<version>-windows-x64.zip: quenfall.exe (the Win32 window),
#             quenfall-cli.exe (both run as the user) and quenfall-radio-helper.exe (the one
#             that runs as administrator, started by the other two at the first upgrade),
#             static single files cross-built with MinGW-w64, with the README's Windows
#             section and the licence
# WINDOWS_BUILD_DIR picks the MinGW-w64 build to take the programs from (default
# build/windows, the Windows test stage's); it is configured and built when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=$(sed -n 's/^project(Quenfall VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package.sh: no version in CMakeLists.txt" >&2; exit 1; }
mkdir -p dist

# Every DLL a Windows program imports must be one of Windows' known DLLs (the values of
# HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs on Windows 10 and 11),
# which the loader maps from the system folder only, or an API set, which it resolves by
# itself: any other DLL would be looked for first in the program's own folder, where
# whatever lies beside a downloaded program would run. Not on the list, so never imported:
# comctl32 (the programs load it from the system folder at run time), winmm, cfgmgr32,
# version, uxtheme, ucrtbase and MinGW's runtime DLLs.
known_dlls="advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32 \
msctf msvcrt normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 \
wldap32 ws2_32"
check_windows_imports() {
  local exe=$1 dll bad=0 name
  while read -r dll; do
    name=${dll,,}
    case "$name" in
      api-ms-win-*.dll) continue ;;
    esac
    if ! [[ " $known_dlls " == *" ${name%.dll} "* ]]; then
      echo "package.sh: $(basename "$exe") imports $dll, which is not one of Windows' known DLLs" >&2
      bad=1
    fi
  done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
  return $bad
}

linux() {
  local build=build/package-linux stage
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DQUENFALL_UDEV_RULES_DIR=/lib/udev/rules.d \
    -DQUENFALL_BUILD_TESTS=OFF -DQUENFALL_BUILD_BENCH=OFF >/dev/null
  cmake --build "$build"
  stage=$(mktemp -d)
  trap 'rm -rf "$stage"' RETURN
  # DESTDIR: the install only lays the files out; the capability is the post-install's job.
  DESTDIR="$stage" cmake --install "$build" >/dev/null

  local helper=usr/libexec/quenfall/quenfall-radio-helper
  for program in usr/bin/quenfall usr/bin/quenfall-cli "$helper"; do
    [ -x "$stage/$program" ] || { echo "package.sh: /$program was not installed" >&2; return 1; }
    strip --strip-unneeded --remove-section=.comment --remove-section=.note "$stage/$program"
  done

  local doc=$stage/usr/share/doc/quenfall
  mkdir -p "$doc"
  cp packaging/debian/copyright "$doc/copyright"
  # The changelog entry of this version, dated by the last commit so that rebuilding the same
  # tree gives the same package.
  local when
  when=$(git log -1 --format=%cD 2>/dev/null || date -R)
  printf 'quenfall (%s) unstable; urgency=medium\n\n  * Release %s.\n\n -- %s  %s\n' \
    "$version" "$version" "The Quenfall developers <dev@quenfall.example.org>" "$when" |
    gzip -9n > "$doc/changelog.gz"
  find "$stage" -type d -exec chmod 755 {} +
  find "$stage/usr/share" "$stage/lib" -type f -exec chmod 644 {} +

  # Shared-library dependencies as Debian names them, plus the tools the maintainer
  # scripts use.
  # dpkg-shlibdeps wants to run beside a debian/control naming the package.
  local shlibs scratch=$stage.shlibs
  mkdir -p "$scratch/debian"
  printf 'Source: quenfall\n\nPackage: quenfall\nArchitecture: any\n' > "$scratch/debian/control"
  shlibs=$(cd "$scratch" && dpkg-shlibdeps -O "$stage/usr/bin/quenfall" "$stage/usr/bin/quenfall-cli" "$stage/$helper" |
           sed -n 's/^shlibs:Depends=//p')
  rm -rf "$scratch"
  [ -n "$shlibs" ] || { echo "package.sh: dpkg-shlibdeps found no dependencies" >&2; return 1; }

  mkdir -p "$stage/DEBIAN"
  sed -e "s/@VERSION@/$version/" -e "s/@DEPENDS@/$shlibs, libcap2-bin/" \
      -e "s/@INSTALLED_SIZE@/$(du -sk --exclude=DEBIAN "$stage" | cut -f1)/" \
      packaging/debian/control.in > "$stage/DEBIAN/control"
  install -m 755 packaging/debian/postinst packaging/debian/postrm "$stage/DEBIAN/"
  (cd "$stage" && find usr lib -type f -exec md5sum {} + | sort -k 2) > "$stage/DEBIAN/md5sums"
  chmod 644 "$stage/DEBIAN/md5sums" "$stage/DEBIAN/control"

  local out=dist/quenfall_${version}_amd64.deb
  dpkg-deb --root-owner-group -Zxz --build "$stage" "$out" >/dev/null
  echo "package.sh: wrote $out ($(stat -c %s "$out") bytes)"
}

windows() {
  local build=${WINDOWS_BUILD_DIR:-build/windows}
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DCMAKE_MODULE_PATH="$root/cmake/cross" -DCMAKE_BUILD_TYPE=Release \
      -DQUENFALL_BUILD_GUI=OFF -DQUENFALL_BUILD_BENCH=OFF -DQUENFALL_BUILD_TESTS=OFF
  fi
  cmake --build "$build" --target quenfall-win32 quenfall-cli quenfall-radio-helper
  local window=$build/src/ui/quenfall.exe cli=$build/src/cli/quenfall-cli.exe
  local helper=$build/src/ui/quenfall-radio-helper.exe
  for exe in "$window" "$cli" "$helper"; do
    [ -f "$exe" ] || { echo "package.sh: $exe was not built" >&2; return 1; }
    check_windows_imports "$exe"
  done

  local name=quenfall-$version-windows-x64
  local stage
  stage=$(mktemp -d)
  mkdir "$stage/$name"
  cp "$window" "$cli" "$helper" "$stage/$name/"
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
[ ${#targets[@]} -gt 0 ] || targets=(linux windows)
for target in "${targets[@]}"; do
  case $target in
    linux) linux ;;
    windows) windows ;;
    *) echo "package.sh: unknown target $target (known: linux, windows)" >&2; exit 2 ;;
  esac
done
