#!/usr/bin/env bash
# The README's commands, in the README's order, on machines that have never seen the
# project: minimal Debian 12 roots (debootstrap --variant=minbase from this machine's own
# mirror), a desktop user with sudo and no locale, and the committed HEAD of this checkout
# cloned into them.
#   root 1   scripts/run.sh (builds and starts the window: Qt's offscreen platform, since the
#            root has no display and run.sh must meet the root as it is), then
#            scripts/test.sh: the release suite and the Windows stage (the one stage whose
#            tools depend on the locale), nothing else: the other stages do not depend on
#            what the machine had before, and running them twice would double CI's time.
#            QUENFALL_FRESH_STAGES names the stages run there (default "20-windows"; empty:
#            the release suite alone). The stage itself never runs inside a root
#            (QUENFALL_FRESH_MACHINE_INSIDE=1 there).
#            Its compiles come through ccache, seeded with a copy of this machine's cache:
#            a file this machine compiled with the same compiler package, flags and text is
#            not compiled again (every other is, and every link is made there).
#   root 2   scripts/package.sh (the .deb and the Windows zip, with umask 027 and no compiler
#            cache: every file compiled there), then sudo apt install ./dist/quenfall_*.deb
#            and quenfall-cli --version from /usr/bin. What it built, the git tree it was
#            built from and the root's package versions are left in build/fresh-machine/dist/
#            for the reproducibility stage, which compares them with this machine's.
#   root 3   only that .deb installed with apt, nothing built: its dependencies alone must
#            bring what it needs (the layout's fonts included); the window is shown under
#            Xvfb from /usr/bin
# QUENFALL_FRESH_ROOTS="user package" picks the roots (default "user package install";
# install needs package). The tests counted inside the roots are not added to
# scripts/test.sh's closing line: they are this machine's tests run again. Needs root (debootstrap, chroot, mounts) and a reachable mirror; skips, saying why,
# without them. The minimal root is cached in QUENFALL_FRESH_CACHE (default
# /var/cache/quenfall-fresh) for a week, and the .deb files apt fetches into it are kept
# there too; where that folder cannot be written nothing is kept. Every step's output is in
# build/fresh-machine/; here each step says how long it took.
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD
say() { echo "fresh-machine: $*"; }

if [ "${QUENFALL_FRESH_MACHINE_INSIDE:-}" = 1 ]; then
  say "skipped: this is already a fresh root"; exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  say "skipped: making and entering a root needs root (debootstrap, chroot, mount)"; exit 0
fi
scripts/install-deps.sh stage-fresh-machine
for tool in debootstrap chroot mount git; do
  command -v "$tool" >/dev/null || { say "skipped: $tool is not installed"; exit 0; }
done

stage_started=$(date +%s)
user=newcomer
stages=${QUENFALL_FRESH_STAGES-20-windows}
wanted=" ${QUENFALL_FRESH_ROOTS-user package install} "
wants() { [[ "$wanted" == *" $1 "* ]]; }
commit=$(git rev-parse HEAD)
logs=$repo/build/fresh-machine
rm -rf "$logs"
mkdir -p "$logs"
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  say "note: the checkout has uncommitted changes; the roots get the committed HEAD only"
fi
say "testing commit $commit"

# The mirror this machine installs from: deb822 sources first, then sources.list.
configured_mirror() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] || continue
    awk -v RS= '{
      uri = ""; deb = 0; suite = 0
      n = split($0, line, "\n")
      for (i = 1; i <= n; i++) {
        if (line[i] ~ /^Types:/ && (line[i] " ") ~ /[ \t]deb[ \t]/) deb = 1
        if (line[i] ~ /^URIs:/) { split(line[i], w, /[ \t]+/); uri = w[2] }
        if (line[i] ~ /^Suites:/ && (line[i] " ") ~ /[ \t]bookworm[ \t]/) suite = 1
      }
      if (deb && suite && uri != "") { print uri; exit }
    }' "$f"
  done | head -n 1
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -e "$f" ] || continue
    awk '$1 == "deb" { i = 2; if ($i ~ /^\[/) while ($i !~ /\]$/) i++; if ($i ~ /^\[/ || $i ~ /\]$/) i++
                       if ($(i + 1) == "bookworm") { print $i; exit } }' "$f"
  done | head -n 1
}
mirror=$(configured_mirror | head -n 1)
if [ -z "$mirror" ]; then
  mirror=http://deb.debian.org/debian
  say "no bookworm mirror configured on this machine; trying $mirror"
fi
if ! timeout 60 /usr/lib/apt/apt-helper download-file "$mirror/dists/bookworm/InRelease" "$logs/InRelease" \
     >"$logs/mirror-probe.log" 2>&1; then
  say "skipped: the mirror $mirror cannot be reached ($(tail -n 1 "$logs/mirror-probe.log"))"; exit 0
fi
say "mirror: $mirror"

cache=${QUENFALL_FRESH_CACHE:-/var/cache/quenfall-fresh}
if ! { mkdir -p "$cache" && [ -w "$cache" ]; } 2>/dev/null; then
  say "cannot write $cache: nothing is kept for the next run"
  cache=
fi
# One run at a time uses a cache: apt in two roots would fight over its archive folder.
if [ -n "$cache" ]; then
  exec 9>"$cache/lock"
  flock -n 9 || { say "another run holds $cache; waiting for it"; flock 9; }
fi
work=$(mktemp -d /var/tmp/quenfall-fresh.XXXXXX)

# Every mount made below, in order; unmounted in reverse, and a root is removed only when
# nothing is mounted inside it any more.
mounts=()
roots=()
unmount_all() {
  local i r pid
  for r in "${roots[@]}"; do
    # Whatever a step left running inside (an X server, a wineserver) holds its mounts.
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
      [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$r" ] && kill -9 "$pid" 2>/dev/null || true
    done
  done
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" 2>/dev/null || true
  done
  mounts=()
}
cleanup() {
  unmount_all
  if grep -qF " $work/" /proc/mounts; then
    say "something is still mounted under $work; it is left in place"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT

mnt() {  # mnt MOUNT-ARGUMENTS... TARGET: mounts, and remembers it for the unmounting
  mount "$@"
  mounts+=("${@: -1}")
}
mount_into() {  # mount_into ROOT: what a running Debian has beside its files
  local r=$1
  mnt -t proc proc "$r/proc"
  mnt -t sysfs -o ro sysfs "$r/sys"
  mnt --bind /dev "$r/dev"
  mnt -t devpts -o newinstance,ptmxmode=0666,mode=620,gid=5 devpts "$r/dev/pts"
  mnt -t tmpfs -o mode=1777 tmpfs "$r/dev/shm"
  mnt -t tmpfs -o mode=755 tmpfs "$r/run"
  if [ -n "$cache" ]; then
    mkdir -p "$cache/apt-archives/partial"
    mnt --bind "$cache/apt-archives" "$r/var/cache/apt/archives"
  fi
}

# step NAME COMMAND...: runs it with its output in build/fresh-machine/NAME.log, says how long
# it took; on failure shows the log's end. ctest's summary lines are reworded there so that
# scripts/test.sh's closing count takes in only this machine's runs: the roots run the same
# tests again, they are not more tests.
step() {
  local name=$1 started status
  shift
  started=$(date +%s)
  set +e
  "$@" >"$logs/$name.log" 2>&1
  status=$?
  set -e
  if [ "$status" -eq 0 ]; then
    say "$name: ok in $(($(date +%s) - started)) s"
  else
    say "$name: FAILED (exit status $status) after $(($(date +%s) - started)) s; the end of its output:"
    tail -n 80 "$logs/$name.log" | sed -e 's/tests passed, /tests passed (in the root), /' -e 's/^/  | /'
  fi
  return "$status"
}

# as_user ROOT COMMAND: the command in a login shell of the desktop user, with the
# environment a fresh login has: no locale, no display, nothing of this machine's.
as_user() {
  local r=$1 ids
  shift
  # By number: chroot would look the name up in this machine's files, not the root's.
  ids=$(awk -F: -v u="$user" '$1 == u { print $3 ":" $4 }' "$r/etc/passwd")
  nice -n 10 chroot --userspec="$ids" "$r" /usr/bin/env -i HOME="/home/$user" USER="$user" \
    LOGNAME="$user" SHELL=/bin/bash PATH=/usr/local/bin:/usr/bin:/bin TERM=dumb \
    QUENFALL_FRESH_MACHINE_INSIDE=1 /bin/bash -c "cd && $*" </dev/null
}
as_root() {
  local r=$1
  shift
  chroot "$r" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin /bin/bash -c "$*" </dev/null
}

# The minimal root of this week: made once, kept as a tarball.
week=$(date -u +%G-W%V)
base=${cache:-$work}/bookworm-minbase-$week.tar
make_base() {
  local r=$work/base
  mkdir -p "$r"
  # sudo for the desktop user, git to clone the project; nothing else beyond minbase.
  debootstrap --variant=minbase --include=sudo,git,ca-certificates bookworm "$r" "$mirror"
  # A desktop user of the sudo group, asked no password (nobody is there to type it).
  chroot "$r" useradd --create-home --shell /bin/bash --groups sudo "$user"
  echo "$user ALL=(ALL:ALL) NOPASSWD: ALL" >"$r/etc/sudoers.d/$user"
  chmod 440 "$r/etc/sudoers.d/$user"
  # Packages installed in a root must not start their services on this machine.
  printf '#!/bin/sh\nexit 101\n' >"$r/usr/sbin/policy-rc.d"
  chmod 755 "$r/usr/sbin/policy-rc.d"
  chroot "$r" apt-get clean
  tar -C "$r" --numeric-owner -cpf "$base.part" .
  mv "$base.part" "$base"
  rm -rf "$r"
  [ -z "$cache" ] || find "$cache" -maxdepth 1 -name 'bookworm-minbase-*.tar' ! -name "$(basename "$base")" -delete
}
if [ -f "$base" ]; then
  say "minimal root: the cached one of $week ($base)"
else
  say "minimal root: none cached for $week, made with debootstrap"
  step debootstrap make_base
fi

# new_root NAME: a root unpacked from the minimal one, with the project's HEAD offered as a
# repository to clone, and its mounts made.
new_root() {
  local r=$work/$1
  mkdir -p "$r"
  tar -C "$r" --numeric-owner -xpf "$base"
  roots+=("$r")
  git init -q --bare "$r/srv/quenfall.git"
  git -C "$repo" push -q "$r/srv/quenfall.git" "$commit:refs/heads/main"
  git -C "$r/srv/quenfall.git" symbolic-ref HEAD refs/heads/main
  chroot "$r" chown -R "$user:$user" /srv/quenfall.git
  mount_into "$r"
}

count_of() {  # count_of LOG: the tests counted by the first ctest summary in LOG
  sed -n 's/.*tests passed, [0-9]* tests failed out of \([0-9]*\).*/\1/p' "$1" | head -n 1
}

# seed_compiler_cache ROOT: this machine's ccache, copied to the desktop user's default cache
# folder, where the root's test.sh finds it once its install step has brought ccache.
seed_compiler_cache() {
  local r=$1 from
  from=$(ccache --get-config cache_dir 2>/dev/null || true)
  if [ -z "$from" ] || [ ! -d "$from" ] || [ "${QUENFALL_CCACHE:-1}" = 0 ]; then
    say "compiler cache: none on this machine; root 1 compiles every file"
    return 0
  fi
  mkdir -p "$r/home/$user/.cache"
  cp -a "$from" "$r/home/$user/.cache/ccache"
  chroot "$r" chown -R "$user:$user" "/home/$user/.cache"
  say "compiler cache: this machine's ($(du -sh "$from" | cut -f1)) copied into root 1"
}

failed=0
# ---- root 1: run.sh, then test.sh
if wants user; then
  new_root user
  r=$work/user
  step clone as_user "$r" 'git clone -q /srv/quenfall.git quenfall'
  seed_compiler_cache "$r"
  if step run.sh as_user "$r" 'cd quenfall && QT_QPA_PLATFORM=offscreen timeout 3600 scripts/run.sh --emulate --exit-when-shown'; then
    shown=$(tail -n 1 "$logs/run.sh.log")
    if [ "$shown" = shown ]; then
      say "run.sh: the window started (offscreen) and showed itself"
    else
      say "run.sh: FAILED: the window did not say it was shown (last line: $shown)"; failed=1
    fi
  else
    failed=1
  fi
  if step test.sh as_user "$r" "cd quenfall && QUENFALL_TEST_STAGES='$stages' scripts/test.sh"; then
    closing=$(tail -n 1 "$logs/test.sh.log")
    say "test.sh in the root (stages: ${stages:-none}): $closing"
    if ! [[ "$closing" =~ ^total:\ ([0-9]+)\ passed,\ 0\ failed$ ]] || [ "${BASH_REMATCH[1]}" -eq 0 ]; then
      say "test.sh: FAILED: it did not end with a count of passed tests and none failed"; failed=1
    fi
    # The same tests as on this machine: the release build's count against this checkout's
    # own, when this machine has one (scripts/test.sh builds it before the stages).
    inside=$(count_of "$logs/test.sh.log")
    if [ -f build/release/CTestTestfile.cmake ]; then
      here=$(ctest --test-dir build/release -N 2>/dev/null | sed -n 's/^Total Tests: //p')
      if [ "$inside" = "$here" ]; then
        say "test.sh: the release suite ran $inside tests in the root, as many as build/release holds here"
      else
        say "test.sh: FAILED: the release suite ran ${inside:-no} tests in the root, build/release holds ${here:-none} here"
        failed=1
      fi
    else
      say "test.sh: the release suite ran ${inside:-no} tests in the root (no build/release here to compare with)"
    fi
  else
    failed=1
  fi
  unmount_all
fi

# ---- root 2: package.sh linux, then apt install of what it wrote
deb=
if wants package; then
  new_root package
  r=$work/package
  step clone-2 as_user "$r" 'git clone -q /srv/quenfall.git quenfall' || failed=1
  if step package.sh as_user "$r" 'cd quenfall && umask 027 && scripts/package.sh'; then
    built=$r/home/$user/quenfall
    deb=$(ls "$built/dist/"quenfall_*_amd64.deb | head -n 1)
    say "package.sh: $(basename "$deb"), Depends: $(dpkg-deb -f "$deb" Depends)"
    say "package.sh: $(cd "$built/dist" && ls | grep -v SHA256SUMS | tr '\n' ' ')"
    cp "$deb" "$work/"
    # For the reproducibility stage: the artifacts, what they were built from, and with what.
    mkdir -p "$logs/dist"
    cp "$built"/dist/* "$logs/dist/"
    for f in "$built"/build/package-stamps/*.tree; do cp "$f" "$logs/dist/"; done
    chroot "$r" dpkg-query -W -f='${Package} ${Version}\n' >"$logs/dist/packages.txt"
    if step apt-install as_user "$r" 'cd quenfall && sudo apt install -y ./dist/quenfall_*_amd64.deb' &&
       step cli-version as_user "$r" '/usr/bin/quenfall-cli --version'; then
      say "installed: $(head -n 1 "$logs/cli-version.log")"
    else
      failed=1
    fi
  else
    failed=1
    deb=
  fi
  unmount_all
fi

# ---- root 3: the .deb alone, then the window on an X server
if wants install && [ -n "$deb" ]; then
  new_root install
  r=$work/install
  cp "$work/$(basename "$deb")" "$r/tmp/"
  if step apt-install-alone as_user "$r" "sudo apt-get update -qq && sudo apt install -y /tmp/$(basename "$deb")" &&
     step cli-version-alone as_user "$r" '/usr/bin/quenfall-cli --version'; then
    say "installed alone: $(head -n 1 "$logs/cli-version-alone.log")"
    font=$(as_user "$r" 'fc-match -f "%{file}" "Liberation Sans"' 2>&1 || true)
    if [[ "$font" == *LiberationSans* ]]; then
      say "the layout's font came with the package: $font"
    else
      say "FAILED: the layout's font (Liberation Sans) did not come with the package: fc-match gives $font"
      failed=1
    fi
    # The X server is the test's, not the package's: installed after it.
    if step xvfb as_root "$r" 'DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends xvfb xauth' &&
       step window as_user "$r" 'timeout 120 xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" env QT_QPA_PLATFORM=xcb /usr/bin/quenfall --exit-when-shown'; then
      shown=$(tail -n 1 "$logs/window.log")
      if [ "$shown" = shown ]; then
        say "window: /usr/bin/quenfall showed itself on Xvfb"
      else
        say "window: FAILED: /usr/bin/quenfall did not say it was shown (last line: $shown)"; failed=1
      fi
    else
      failed=1
    fi
  else
    failed=1
  fi
  unmount_all
fi

say "$(($(date +%s) - stage_started)) s in all; the output of each step is in $logs/"
[ "$failed" -eq 0 ]
