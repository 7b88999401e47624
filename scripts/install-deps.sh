#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs and that are missing.
#   install-deps.sh run    what building and starting the tools needs
#   install-deps.sh test   that, plus what every test stage needs
set -euo pipefail
purpose=${1:-run}

run_packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libudev-dev fonts-liberation2 nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
)
# What scripts/package.sh needs beyond building: the Debian package is built by
# dpkg-buildpackage with debhelper (the manual page of quenfall-cli is made by a shell
# script, the window's is written by hand), the Windows zip by zip.
package_packages=(
  dpkg-dev debhelper zip
)
# udev: the kernel-level guest runs the host's systemd-udevd inside itself. A machine that
# runs systemd has it already; elsewhere (a container, a chroot) its post-install does not
# start it.
test_packages=(
  xvfb xauth
  clang libclang-rt-14-dev llvm
  qemu-system-x86 busybox-static udev
  g++-mingw-w64-x86-64-posix wine64 googletest
  x11-apps netpbm unzip
  lintian desktop-file-utils libcap2-bin appstream groff-base
  "${package_packages[@]}"
)

packages=("${run_packages[@]}")
[ "$purpose" = test ] && packages+=("${test_packages[@]}")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=
[ "$(id -u)" -ne 0 ] && sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
