#!/usr/bin/env bash
# Reproducible artifacts: the .deb and the Windows zip built a second time, later, from a
# copy of the same tree in another folder (as an ordinary user with another umask, where
# the stage runs as root), are the same bytes as the first build. The first build is the one
# the package and Windows stages left in dist/ when it was made from this very tree;
# otherwise it is made here too. Prints both builds' SHA-256 sums and the time it took.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
started=$(date +%s)
version=$(sed -n 's/^project(Quenfall VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
artifacts=("quenfall_${version}_${arch}.deb")
targets=(linux)
if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  artifacts+=("quenfall-$version-windows-x64.zip")
  targets+=(windows)
else
  echo "reproducible: no MinGW-w64 compiler; the Windows zip is not compared"
fi
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || stat -c %Y CMakeLists.txt)
export SOURCE_DATE_EPOCH

# The tree this checkout holds now, as package.sh records it.
tree=$(index=$(mktemp); cp "$(git rev-parse --git-path index)" "$index" 2>/dev/null || true
       GIT_INDEX_FILE=$index git add -A . 2>/dev/null && GIT_INDEX_FILE=$index git write-tree; rm -f "$index")
first=()
for i in "${!artifacts[@]}"; do
  a=${artifacts[$i]}
  if [ -f "dist/$a" ] && [ -n "$tree" ] && [ "$(cat "build/package-stamps/$a.tree" 2>/dev/null)" = "$tree" ]; then
    echo "reproducible: first build of $a: dist/$a, made earlier from this tree"
  else
    first+=("${targets[$i]}")
  fi
done
if [ ${#first[@]} -gt 0 ]; then
  echo "reproducible: first build here: ${first[*]}"
  scripts/package.sh "${first[@]}" >/dev/null
fi

# The second build: a copy of the tree elsewhere, without its build trees or git.
work=$(mktemp -d /tmp/quenfall-reproducible.XXXXXX)
trap 'rm -rf "$work"' EXIT
copy=$work/elsewhere/quenfall
mkdir -p "$copy"
if [ -n "$tree" ]; then
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do if [ -e "$f" ] || [ -L "$f" ]; then printf '%s\0' "$f"; fi; done |
    tar --null -T - -cf - | tar -xf - -C "$copy"
else
  tar --exclude='./build*' --exclude=./dist --exclude=./.git -cf - . | tar -xf - -C "$copy"
fi
as_user=()
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
  chown -R 65534:65534 "$work"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  echo "reproducible: second build as uid 65534 with umask 027, in $copy"
else
  echo "reproducible: second build as $(id -un) with umask 027, in $copy"
fi
# No ccache: the second build compiles every file itself.
if ! (cd "$copy" && env -u CMAKE_CXX_COMPILER_LAUNCHER -u CMAKE_C_COMPILER_LAUNCHER HOME="$work" \
        "${as_user[@]}" bash -c 'umask 027; exec scripts/package.sh "$@"' _ "${targets[@]}" >"$work/second.log" 2>&1); then
  tail -n 30 "$work/second.log"
  echo "reproducible: the second build failed"
  exit 1
fi

failures=0
for a in "${artifacts[@]}"; do
  one=$(sha256sum <"dist/$a" | cut -d' ' -f1)
  two=$(sha256sum <"$copy/dist/$a" | cut -d' ' -f1)
  echo "reproducible: $a"
  echo "  first  $one  dist/$a"
  echo "  second $two  $copy/dist/$a"
  if [ "$one" = "$two" ]; then
    echo "ok: $a is the same bytes from both builds"
  else
    echo "FAILED: $a differs between the builds"
    failures=$((failures + 1))
    case $a in
      *.deb) mkdir -p "$work/one" "$work/two"
             dpkg-deb -R "dist/$a" "$work/one"; dpkg-deb -R "$copy/dist/$a" "$work/two"
             diff -r "$work/one" "$work/two" | head -n 20 || true ;;
      *.zip) diff <(unzip -Z -v "dist/$a" | grep -E 'file name|CRC|modified') \
                  <(unzip -Z -v "$copy/dist/$a" | grep -E 'file name|CRC|modified') | head -n 20 || true ;;
    esac
  fi
  grep -q "^$one  $a\$" dist/SHA256SUMS || { echo "FAILED: dist/SHA256SUMS does not list $a with its sum"; failures=$((failures + 1)); }
done
echo "reproducible: $((failures)) failure(s), $(( $(date +%s) - started )) s"
[ "$failures" -eq 0 ]
