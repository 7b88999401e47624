#!/usr/bin/env bash
# Builds the packages users install, into dist/:
#   package.sh linux    dist/quenfall_<version>_amd64.deb (Debian 12 and alike)
# Each target builds from a clean release configuration of its own under build/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
version=$(sed -n 's/^project(Quenfall VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }
mkdir -p dist

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
    [ -x "$stage/$program" ] || { echo "package: /$program was not installed" >&2; return 1; }
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
  [ -n "$shlibs" ] || { echo "package: dpkg-shlibdeps found no dependencies" >&2; return 1; }

  mkdir -p "$stage/DEBIAN"
  sed -e "s/@VERSION@/$version/" -e "s/@DEPENDS@/$shlibs, libcap2-bin/" \
      -e "s/@INSTALLED_SIZE@/$(du -sk --exclude=DEBIAN "$stage" | cut -f1)/" \
      packaging/debian/control.in > "$stage/DEBIAN/control"
  install -m 755 packaging/debian/postinst packaging/debian/postrm "$stage/DEBIAN/"
  (cd "$stage" && find usr lib -type f -exec md5sum {} + | sort -k 2) > "$stage/DEBIAN/md5sums"
  chmod 644 "$stage/DEBIAN/md5sums" "$stage/DEBIAN/control"

  local out=dist/quenfall_${version}_amd64.deb
  dpkg-deb --root-owner-group -Zxz --build "$stage" "$out" >/dev/null
  echo "$root/$out"
}

targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(linux)
for target in "${targets[@]}"; do
  case "$target" in
    linux) linux ;;
    *) echo "package: unknown target $target (linux)" >&2; exit 2 ;;
  esac
done
