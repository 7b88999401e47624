#!/usr/bin/env bash
# Reproducible artifacts: the .deb, the Windows zip and the Windows installer built a second
# time, elsewhere, are the same bytes as the first build.
#   first build    the one the package and Windows stages left in dist/ when it was made
#                  from this very tree; otherwise it is made here.
#   second build   the fresh machine's (stage 50, root 2: another root, folder, user, umask
#                  and time, every file compiled there without a compiler cache), when it was
#                  made from this tree. Where it is missing, or differs while the root's
#                  packages are not all of this machine's versions (a root made from a newer
#                  mirror may carry a newer compiler), a copy of the tree is built here, in
#                  another folder, as another user with another umask, with no compiler
#                  cache, as the only second build; where it differs and the versions agree,
#                  the stage fails.
# Prints both builds' SHA-256 sums, which second build was compared, and the time it took.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh stage-reproducible
started=$(date +%s)
version=$(sed -n 's/^project(Quenfall VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
artifacts=("quenfall_${version}_${arch}.deb")
targets=(linux)
if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  artifacts+=("quenfall-$version-windows-x64.zip" "quenfall-$version-x64.msi")
  targets+=(windows windows)
else
  echo "reproducible: no MinGW-w64 compiler; the Windows zip is not compared"
fi
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || stat -c %Y CMakeLists.txt)
export SOURCE_DATE_EPOCH
fresh=build/fresh-machine/dist

# The tree this checkout holds now, as package.sh records it.
tree=$(index=$(mktemp); cp "$(git rev-parse --git-path index)" "$index" 2>/dev/null || true
       GIT_INDEX_FILE=$index git add -A . 2>/dev/null && GIT_INDEX_FILE=$index git write-tree; rm -f "$index")
made_from_this_tree() {  # made_from_this_tree FOLDER ARTIFACT
  [ -f "$1/$2" ] && [ -n "$tree" ] && [ "$(cat "$1/$2.tree" 2>/dev/null)" = "$tree" ]
}
first=()
for i in "${!artifacts[@]}"; do
  a=${artifacts[$i]}
  if [ -f "dist/$a" ] && [ -n "$tree" ] && [ "$(cat "build/package-stamps/$a.tree" 2>/dev/null)" = "$tree" ]; then
    echo "reproducible: first build of $a: dist/$a, made earlier from this tree"
  else
    first+=("${targets[$i]}")
  fi
done
# Each target once (the Windows target builds two artifacts).
unique() { printf '%s\n' "$@" | awk 'NF && !seen[$0]++'; }
[ ${#first[@]} -eq 0 ] || mapfile -t first < <(unique "${first[@]}")
if [ ${#first[@]} -gt 0 ]; then
  echo "reproducible: first build here: ${first[*]}"
  scripts/package.sh "${first[@]}" >/dev/null
fi

# The packages the fresh root had that this machine has too, where their versions differ.
versions_differ=
if [ -f "$fresh/packages.txt" ]; then
  versions_differ=$(dpkg-query -W -f='${Package} ${Version}\n' |
    awk 'NR == FNR { here[$1] = $2; next } ($1 in here) && here[$1] != $2 { printf "%s %s (here %s); ", $1, $2, here[$1] }' - "$fresh/packages.txt")
fi

failures=0
compare() {  # compare ARTIFACT SECOND-FOLDER: 0 when the same bytes
  local a=$1 second=$2 one two
  one=$(sha256sum <"dist/$a" | cut -d' ' -f1)
  two=$(sha256sum <"$second/$a" | cut -d' ' -f1)
  echo "reproducible: $a"
  echo "  first  $one  dist/$a"
  echo "  second $two  $second/$a"
  [ "$one" = "$two" ] && return 0
  local d
  d=$(mktemp -d)
  case $a in
    *.deb) dpkg-deb -R "dist/$a" "$d/one"; dpkg-deb -R "$second/$a" "$d/two"
           diff -r "$d/one" "$d/two" | head -n 20 || true ;;
    *.zip) diff <(unzip -Z -v "dist/$a" | grep -E 'file name|CRC|modified') \
                <(unzip -Z -v "$second/$a" | grep -E 'file name|CRC|modified') | head -n 20 || true ;;
    *.msi) diff <(msiinfo suminfo "dist/$a") <(msiinfo suminfo "$second/$a") | head -n 20 || true ;;
  esac
  rm -rf "$d"
  return 1
}

# The second build from the fresh root, where there is one.
again=()
for i in "${!artifacts[@]}"; do
  a=${artifacts[$i]}
  if ! made_from_this_tree "$fresh" "$a"; then
    echo "reproducible: no build of $a from this tree by the fresh machine; it is built again here"
    again+=("${targets[$i]}")
  elif compare "$a" "$fresh"; then
    echo "ok: $a is the same bytes from this machine and from the fresh root"
  elif [ -n "$versions_differ" ]; then
    echo "reproducible: $a differs from the fresh root's, whose packages differ from this machine's: $versions_differ"
    echo "reproducible: it is built again here, where the tools are the same"
    again+=("${targets[$i]}")
  else
    echo "FAILED: $a differs between this machine and the fresh root, with the same package versions"
    failures=$((failures + 1))
  fi
done

[ ${#again[@]} -eq 0 ] || mapfile -t again < <(unique "${again[@]}")
if [ ${#again[@]} -gt 0 ]; then
  # A copy of the tree elsewhere, without its build trees or git.
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
    echo "reproducible: second build of ${again[*]} here, as uid 65534 with umask 027, in $copy"
  else
    echo "reproducible: second build of ${again[*]} here, as $(id -un) with umask 027, in $copy"
  fi
  # No ccache: the second build compiles every file itself.
  if ! (cd "$copy" && env -u CMAKE_CXX_COMPILER_LAUNCHER -u CMAKE_C_COMPILER_LAUNCHER HOME="$work" \
          "${as_user[@]}" bash -c 'umask 027; exec scripts/package.sh "$@"' _ "${again[@]}" >"$work/second.log" 2>&1); then
    tail -n 30 "$work/second.log"
    echo "reproducible: the second build failed"
    exit 1
  fi
  for i in "${!artifacts[@]}"; do
    [[ " ${again[*]} " == *" ${targets[$i]} "* ]] || continue
    a=${artifacts[$i]}
    if compare "$a" "$copy/dist"; then
      echo "ok: $a is the same bytes from both builds on this machine"
    else
      echo "FAILED: $a differs between the builds"
      failures=$((failures + 1))
    fi
  done
fi

for a in "${artifacts[@]}"; do
  one=$(sha256sum <"dist/$a" | cut -d' ' -f1)
  grep -q "^$one  $a\$" dist/SHA256SUMS || { echo "FAILED: dist/SHA256SUMS does not list $a with its sum"; failures=$((failures + 1)); }
done
echo "reproducible: $((failures)) failure(s), $(( $(date +%s) - started )) s"
[ "$failures" -eq 0 ]
