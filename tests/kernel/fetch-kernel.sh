#!/usr/bin/env bash
# Fetches Debian's current 6.1 kernel package once and keeps it unpacked in a cache outside
# the repository. Prints the unpacked tree (boot/vmlinuz-*, lib/modules/<version>/).
# Exits 77, with the reason on stderr, when no kernel can be had (no apt, no network and
# nothing cached): the kernel-level tests are then skipped, not failed.
set -euo pipefail

cache=${QUENFALL_KERNEL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quenfall-kernel}
mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9

skip() { echo "kernel unavailable: $*" >&2; exit 77; }

newest_cached() {
  local d
  for d in $(ls -d "$cache"/linux-image-6.1.0-*-amd64 2>/dev/null | sort -V -r); do
    [ -e "$d/.complete" ] && { echo "$d"; return 0; }
  done
  return 1
}

# The image Debian's linux-image-amd64 currently stands for.
current_package() {
  command -v apt-cache >/dev/null || return 1
  apt-cache depends linux-image-amd64 2>/dev/null |
    awk '$1 == "Depends:" && $2 ~ /^linux-image-6\.1\.0-[0-9]+-amd64$/ { print $2; exit }'
}

refresh_lists() {
  [ "$(id -u)" -eq 0 ] || return 1
  apt-get update -qq >/dev/null 2>&1
}

# Asking apt takes a few seconds; once a day is enough to follow Debian's updates.
if [ -n "$(find "$cache/.checked" -mmin -720 2>/dev/null)" ] && newest_cached; then exit 0; fi

package=$(current_package || true)
# apt may know no such package only because its lists are missing or stale (a fresh
# machine): refresh them and ask again.
if [ -z "$package" ] && refresh_lists; then
  package=$(current_package || true)
fi
if [ -z "$package" ]; then
  newest_cached && exit 0
  skip "apt knows no linux-image-6.1.0-*-amd64 package and none is cached in $cache"
fi

target=$cache/$package
if [ -e "$target/.complete" ]; then
  touch "$cache/.checked"
  echo "$target"
  exit 0
fi

work=$(mktemp -d "$cache/download.XXXXXX")
trap 'rm -rf "$work"' EXIT
download() { (cd "$work" && apt-get download "$package" >/dev/null 2>"$work/apt.err"); }
if ! download && ! { refresh_lists && download; }; then
  newest_cached && exit 0
  skip "apt-get download $package failed: $(tail -n 1 "$work/apt.err" 2>/dev/null)"
fi

mkdir -p "$work/tree"
dpkg-deb -x "$work"/*.deb "$work/tree"
rm -rf "$target"
mkdir -p "$target"
mv "$work/tree/boot" "$work/tree/lib" "$target/"
# The uncompressed kernel boots straight through its PVH entry: under TCG that saves the
# several seconds the guest would spend decompressing itself on every boot.
vmlinuz=$(ls "$target"/boot/vmlinuz-* | head -n 1)
offset=$(grep -abo $'\xfd7zXZ' "$vmlinuz" | head -n 1 | cut -d: -f1)
if [ -n "$offset" ]; then
  unxz=(xz -dc)
  command -v xz >/dev/null || unxz=(/bin/busybox unxz -c)
  tail -c +$((offset + 1)) "$vmlinuz" | "${unxz[@]}" > "$target/vmlinux" 2>/dev/null || true
  head -c 4 "$target/vmlinux" | grep -q ELF || rm -f "$target/vmlinux"
fi
touch "$target/.complete"
touch "$cache/.checked"
# Older images are no longer needed once the current one is here.
for old in "$cache"/linux-image-6.1.0-*-amd64; do
  [ "$old" = "$target" ] || rm -rf "$old"
done
echo "$target"
