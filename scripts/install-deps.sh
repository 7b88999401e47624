#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs and that are missing.
#   install-deps.sh run               what building and starting the tools needs
#   install-deps.sh package-linux     that, plus what building the .deb needs
#   install-deps.sh package-windows   that, plus what building the Windows zip and installer needs
#   install-deps.sh package           both package purposes
#   install-deps.sh suite             run, plus what the release build's tests need
#   install-deps.sh stage-NAME        suite, plus what the test stage NAME needs (its file
#                                     in scripts/test-stages/ without the number: sanitizers,
#                                     fuzz, windows, none-platform, screenshot, package,
#                                     kernel, fresh-machine, reproducible)
#   install-deps.sh test              all of the above: what every test stage needs
# Several purposes may be given at once. scripts/test.sh installs the suite's, and each stage
# what it needs itself, so that a run of some stages installs no more than they use.
set -euo pipefail
[ $# -gt 0 ] || set -- run

# ccache: rebuilds, and the test stages' builds of the same sources in other folders and
# roots, compile only what changed. libssl-dev: libcrypto, the packages' SHA-256.
# fonts-wqy-zenhei: Chinese glyphs for the window (Liberation and DejaVu hold Cyrillic), so the
# text-fit tests measure real glyphs. Not the smaller Micro Hei: the title's faces name that
# one, and installing it would change the English window's title.
run_packages=(
  g++ cmake ninja-build pkg-config ccache
  qt6-base-dev libgl-dev libudev-dev libssl-dev fonts-liberation2 fonts-wqy-zenhei nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
)
# What scripts/package.sh needs beyond building: the Debian package is built by
# dpkg-buildpackage with debhelper (which wants build-essential; the manual page of
# quenfall-cli is made by a shell script, the window's is written by hand), the Windows zip
# by MinGW-w64 (its programs' icon drawn by rsvg-convert and icotool) and zip (unzip lists
# it), the Windows installer by wixl (msitools' msiinfo reads it back).
package_linux_packages=(
  build-essential dpkg-dev debhelper
)
package_windows_packages=(
  g++-mingw-w64-x86-64-posix librsvg2-bin icoutils zip unzip wixl msitools
)
# The release build's tests: the window read by a real AT-SPI client (dbus, at-spi2-core and
# python3-pyatspi) on an X server, the manual page rendered by groff, and the catalogues
# checked against the sources' texts by gettext's own tools.
suite_packages=(
  xvfb xauth groff-base gettext
  dbus-daemon dbus-bin at-spi2-core python3-pyatspi
)
# Each stage's own. udev: the kernel-level guest runs the host's systemd-udevd inside itself
# (a machine that runs systemd has it already; elsewhere, a container or a chroot, its
# post-install does not start it). debootstrap: the fresh machine's minimal Debian roots.
declare -A stage_packages=(
  [sanitizers]=""
  [fuzz]="clang libclang-rt-14-dev llvm"
  [windows]="${package_windows_packages[*]} wine64 googletest x11-apps netpbm"
  [none-platform]=""
  [screenshot]=""
  [package]="${package_linux_packages[*]} lintian desktop-file-utils libcap2-bin appstream"
  [kernel]="qemu-system-x86 busybox-static udev"
  [fresh-machine]="debootstrap"
  [reproducible]="${package_linux_packages[*]} ${package_windows_packages[*]}"
)

packages=("${run_packages[@]}")
for purpose in "$@"; do
  case $purpose in
    run) ;;
    package-linux) packages+=("${package_linux_packages[@]}") ;;
    package-windows) packages+=("${package_windows_packages[@]}") ;;
    package) packages+=("${package_linux_packages[@]}" "${package_windows_packages[@]}") ;;
    suite) packages+=("${suite_packages[@]}") ;;
    stage-*)
      [ -n "${stage_packages[${purpose#stage-}]+set}" ] || {
        echo "install-deps.sh: no test stage ${purpose#stage-} (known: ${!stage_packages[*]})" >&2; exit 2; }
      read -ra more <<<"${stage_packages[${purpose#stage-}]}"
      packages+=("${suite_packages[@]}" "${more[@]}") ;;
    test)
      packages+=("${package_linux_packages[@]}" "${package_windows_packages[@]}" "${suite_packages[@]}")
      for stage in "${!stage_packages[@]}"; do read -ra more <<<"${stage_packages[$stage]}"; packages+=("${more[@]}"); done ;;
    *) echo "install-deps.sh: unknown purpose $purpose (known: run, package-linux, package-windows, package, suite, stage-NAME, test)" >&2
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
