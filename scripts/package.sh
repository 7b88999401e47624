#!/usr/bin/env bash
# Builds the release packages into dist/, one function per target, and lists the SHA-256
# sums of what it built in dist/SHA256SUMS:
#   scripts/package.sh [TARGET...]      targets: linux, windows (default: all of them)
#   linux     dist/quenfall_<version>_<arch>.deb for Debian 12 and alike, built by
#             dpkg-buildpackage from debian/ (the window, quenfall-cli, the radio helper given
#             its capability by the post-install, the manual pages, the desktop entry, the
#             metainfo, the icon, the bash completion and the udev rule), from a copy of this
#             tree in a folder of its own
#   windows   dist/quenfall-<version>-x64.msi, the installer (packaging/windows/quenfall.wxs,
#             built by wixl): per machine into Program Files\Quenfall, Start menu shortcuts,
#             an entry in Apps & features, upgrades in place; and
#             dist/quenfall-<version>-windows-x64.zip, the portable copy: quenfall.exe (the
#             Win32 window), quenfall-cli.exe (both run as the user) and
#             quenfall-radio-helper.exe (the one that runs as administrator, started by the
#             other two at the first upgrade), static single files cross-built with
#             MinGW-w64, with the README's Windows section and the licence
# Both are reproducible: the same sources give the same bytes, wherever and whenever they
# are built. SOURCE_DATE_EPOCH (default: the last commit's time) dates every file.
# WINDOWS_BUILD_DIR picks the MinGW-w64 build to take the programs from (default
# build/windows, the Windows test stage's); it is configured and built when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
# What the targets asked for need, installed when missing (as run.sh and test.sh do).
deps=()
for target in ${*:-linux windows}; do
  case $target in linux|windows) deps+=("package-$target") ;; esac
done
[ ${#deps[@]} -eq 0 ] || scripts/install-deps.sh "${deps[@]}"
root=$PWD
version=$(sed -n 's/^project(Quenfall VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package.sh: no version in CMakeLists.txt" >&2; exit 1; }
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || true)
  [ -n "$SOURCE_DATE_EPOCH" ] || SOURCE_DATE_EPOCH=$(stat -c %Y CMakeLists.txt)
fi
export SOURCE_DATE_EPOCH
built=()

# What a build was made from: the git tree of the working tree as it is (uncommitted changes
# too), or nothing outside a git checkout. The reproducibility stage compares an artifact
# with a rebuild only when both were made from the same tree.
tree_id() {
  local index
  git rev-parse --is-inside-work-tree >/dev/null 2>&1 || return 0
  index=$(mktemp)
  cp "$(git rev-parse --git-path index)" "$index" 2>/dev/null || true
  GIT_INDEX_FILE=$index git add -A . 2>/dev/null && GIT_INDEX_FILE=$index git write-tree
  rm -f "$index"
}
record_tree() {  # record_tree ARTIFACT: notes beside the build trees what it was made from
  mkdir -p build/package-stamps
  tree_id >"build/package-stamps/$1.tree"
}
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
  # One version everywhere: the build's, the package's and the software centres'.
  local changelog_version release
  changelog_version=$(dpkg-parsechangelog -S Version)
  release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' packaging/linux/*.metainfo.xml | head -n 1)
  if [ "$changelog_version" != "$version" ] || [ "$release" != "$version" ]; then
    echo "package.sh: CMakeLists.txt says $version, debian/changelog $changelog_version and the metainfo's newest release $release" >&2
    return 1
  fi

  # A copy of the sources as they are in this tree (uncommitted changes too), without build
  # trees, so that dpkg-buildpackage writes its files beside the copy and nowhere here.
  local work src
  work=$(mktemp -d)
  trap 'rm -rf "$work"' RETURN
  src=$work/quenfall-$version
  mkdir "$src"
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard |
      while IFS= read -r -d '' f; do if [ -e "$f" ] || [ -L "$f" ]; then printf '%s\0' "$f"; fi; done |
      tar --null -T - -cf - | tar -xf - -C "$src"
  else
    tar --exclude='./build*' --exclude=./dist --exclude=./.git --exclude='./obj-*' -cf - . | tar -xf - -C "$src"
  fi

  echo "package.sh: dpkg-buildpackage in $src (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
  (cd "$src" && dpkg-buildpackage -us -uc -b -j"${PACKAGE_JOBS:-$(nproc)}") >"$work/build.log" 2>&1 || {
    tail -n 40 "$work/build.log" >&2
    echo "package.sh: dpkg-buildpackage failed" >&2
    return 1
  }
  local deb
  deb=quenfall_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb
  [ -f "$work/$deb" ] || { echo "package.sh: dpkg-buildpackage wrote no $deb" >&2; return 1; }
  cp "$work/$deb" dist/
  built+=("$deb")
  record_tree "$deb"
  echo "package.sh: wrote dist/$deb ($(stat -c %s "dist/$deb") bytes)"
}

# A GUID named by text: the same text gives the same GUID (a name-based one, version 5's
# nibble and RFC 4122's variant set), for the installer's codes that must not be random.
guid_of() {
  local h
  h=$(printf '%s' "$1" | sha256sum | cut -c1-32 | tr a-f A-F)
  printf '%s-%s-5%s-%X%s-%s\n' "${h:0:8}" "${h:8:4}" "${h:13:3}" $(((16#${h:16:1} & 3) | 8)) "${h:17:3}" "${h:20:12}"
}

# windows_msi FOLDER ICON: dist/quenfall-<version>-x64.msi from the programs in FOLDER.
windows_msi() {
  local programs=$1 icon=$2 name=quenfall-$version-x64.msi work product package started ended
  work=$(mktemp -d)
  cp -p "$programs"/*.exe "$work/"
  cp packaging/windows/quenfall.wxs "$icon" "$work/"
  # The files' times go into the cabinet inside the package.
  touch -h -d "@$SOURCE_DATE_EPOCH" "$work"/*
  # The product code changes with the version (a newer version replaces an older one); the
  # package code names the package's content (what goes in, and its date), so it follows the
  # sources wherever they are built, in a checkout or not.
  product=$(guid_of "quenfall product $version")
  package=$(guid_of "quenfall package $version $SOURCE_DATE_EPOCH $(cd "$work" && LC_ALL=C sha256sum -- * | sha256sum)")
  started=$(date +%s)
  # -a x64: wixl ignores the Package element's Platform.
  (cd "$work" && wixl -a x64 -D Version="$version" -D ProductCode="$product" -o "$name" quenfall.wxs) || {
    echo "package.sh: wixl failed" >&2
    rm -rf "$work"
    return 1
  }
  ended=$(date +%s)
  # wixl writes a random package code and the time of the build into the summary
  # information: the package code is set anew, and the two times (created, last saved,
  # each a FILETIME after its type 64) are found by their value (the time of the build,
  # or SOURCE_DATE_EPOCH already where wixl heeds it) and set to SOURCE_DATE_EPOCH.
  msibuild "$work/$name" -s "Quenfall: firmware upgrades of two-way radios" "The Quenfall developers" "x64;1033" "{$package}"
  perl -e '
    my ($file, $from, $to, $epoch) = @ARGV;
    open(my $in, "<:raw", $file) or die "$file: $!\n";
    local $/;
    my $data = <$in>;
    close $in;
    my $unix = 116444736000000000;  # 1970 in FILETIME units (100 ns since 1601)
    my $new = $unix + $epoch * 10000000;
    my $bytes = pack("V2", $new % 4294967296, int($new / 4294967296));
    my @found;
    while ($data =~ /\x40\x00\x00\x00(.{8})/sg) {
      my ($lo, $hi) = unpack("V2", $1);
      my $ticks = $hi * 4294967296 + $lo - $unix;
      next if $ticks < 0 || $ticks % 10000000;
      my $s = $ticks / 10000000;
      push @found, pos($data) - 8 if ($s >= $from && $s <= $to) || $s == $epoch;
    }
    my $count = @found;
    substr($data, $_, 8) = $bytes for @found;
    die "the summary information holds $count build times, not 2\n" unless $count == 2;
    open(my $out, ">:raw", $file) or die "$file: $!\n";
    print $out $data;
    close $out;
  ' "$work/$name" "$started" "$ended" "$SOURCE_DATE_EPOCH" || {
    echo "package.sh: $name: the build time was not replaced" >&2
    rm -rf "$work"
    return 1
  }
  cp "$work/$name" dist/
  rm -rf "$work"
  built+=("$name")
  record_tree "$name"
  echo "package.sh: wrote dist/$name ($(stat -c %s "dist/$name") bytes)"
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
  # The same bytes from every build: modes and times fixed (zip keeps local time, so in
  # UTC), entries in one order, no extra fields (-X: no owners, no further time stamps).
  find "$stage/$name" -type d -exec chmod 755 {} + -o -type f -name '*.exe' -exec chmod 755 {} + \
    -o -type f -exec chmod 644 {} +
  find "$stage/$name" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  rm -f "dist/$name.zip"
  (cd "$stage" && find "$name" | LC_ALL=C sort | TZ=UTC zip -q -X -D -@ "$root/dist/$name.zip")
  windows_msi "$stage/$name" "$build/packaging/windows/quenfall.ico" || { rm -rf "$stage"; return 1; }
  rm -rf "$stage"
  built+=("$name.zip")
  record_tree "$name.zip"
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

# The sums of what this run built, with those of earlier runs' files still in dist/
# (computed again: a file may have been rebuilt since).
{
  printf '%s\n' "${built[@]}"
  if [ -f dist/SHA256SUMS ]; then sed -n 's/^[0-9a-f]\{64\}  //p' dist/SHA256SUMS; fi
} | LC_ALL=C sort -u | while IFS= read -r f; do if [ -f "dist/$f" ]; then (cd dist && sha256sum "$f"); fi; done >dist/SHA256SUMS.new
mv dist/SHA256SUMS.new dist/SHA256SUMS
echo "package.sh: dist/SHA256SUMS:"
sed 's/^/  /' dist/SHA256SUMS
