#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs and that are missing.
#   install-deps.sh run               what building and starting the tools needs
#   install-deps.sh package-linux     that, plus what building the .deb needs
#   install-deps.sh package-windows   that, plus what building the Windows zip needs
#   install-deps.sh package           both package purposes
#   install-deps.sh test              all of the above, plus what every test stage needs
# Several purposes may be given at once.
set -euo pipefail
[ $# -gt 0 ] || set -- run

# ccache: rebuilds, and the test stages' builds of the same sources in other folders and
# roots, compile only what changed.
run_packages=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev libgl-dev libudev-dev fonts-liberation2 nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
)
# What scripts/package.sh needs beyond building: the Debian package is built by
# dpkg-buildpackage with debhelper (which wants build-essential; the manual page of
# quenfall-cli is made by a shell script, the window's is written by hand), the Windows zip
# by MinGW-w64 and zip (unzip lists it).
package_linux_packages=(
  build-essential dpkg-dev debhelper
)
package_windows_packages=(
  g++-mingw-w64-x86-64-posix zip unzip
)
# udev: the kernel-level guest runs the host's systemd-udevd inside itself. A machine that
# runs systemd has it already; elsewhere (a container, a chroot) its post-install does not
# start it.
# dbus, at-spi2-core and python3-pyatspi: the window read by a real AT-SPI client.
# debootstrap: the fresh-machine stage builds its minimal Debian roots with it.
test_packages=(
  xvfb xauth
  clang libclang-rt-14-dev llvm
  qemu-system-x86 busybox-static udev
  g++-mingw-w64-x86-64-posix wine64 googletest librsvg2-bin icoutils
  x11-apps netpbm unzip
  lintian desktop-file-utils libcap2-bin appstream groff-base
  debootstrap
  dbus-daemon dbus-bin at-spi2-core python3-pyatspi
)

packages=("${run_packages[@]}")
for purpose in "$@"; do
  case $purpose in
    run) ;;
    package-linux) packages+=("${package_linux_packages[@]}") ;;
    package-windows) packages+=("${package_windows_packages[@]}") ;;
    package) packages+=("${package_linux_packages[@]}" "${package_windows_packages[@]}") ;;
    test) packages+=("${package_linux_packages[@]}" "${package_windows_packages[@]}" "${test_packages[@]}") ;;
    *) echo "install-deps.sh: unknown purpose $purpose (known: run, package-linux, package-windows, package, test)" >&2
       exit 2 ;;
  esac
done

missing=()
declare -A seen=()
for p in "${packages[@]}"; do
  [ -z "${seen[$p]:-}" ] || continue
  seen[$p]=1
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=
[ "$(id -u)" -ne 0 ] && sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
# Through env: sudo resets the environment, and a DEBIAN_FRONTEND set before it would never
# reach apt-get.
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
