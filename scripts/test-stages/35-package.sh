#!/usr/bin/env bash
# The Debian package as a user meets it: built by dpkg-buildpackage (scripts/package.sh),
# the source package too, both checked by lintian (no error, no warning that is not
# overridden with its reason), the desktop entry and the metainfo validated, installed with
# apt, its programs' capabilities read back (only the radio helper holds one, and the
# pre-removal takes it away), run from the installed path, its manual pages and completion
# in place, and removed without a trace. Installing needs root and apt: elsewhere the
# package is built and checked, not installed.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh stage-package

deb=$(scripts/package.sh linux | sed -n 's/^package.sh: wrote \([^ ]*\.deb\) .*/\1/p')
[ -n "$deb" ] || { echo "package: no .deb was written" >&2; exit 1; }
echo "package: $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb --info "$deb" | sed -n 's/^ \(Depends\|Version\|Installed-Size\):/package: \1:/p'

failures=0
check() {  # check DESCRIPTION COMMAND...: runs it, says ok or FAILED
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# lintian: an error or a warning fails the stage (overrides carry their reasons in
# debian/quenfall.lintian-overrides); the rest is shown.
lintian_check() {  # lintian_check WHAT FILE
  local out
  out=$(lintian --tag-display-limit 0 "$2" 2>&1 | grep -v '^running with root privileges' || true)
  [ -z "$out" ] || echo "$out"
  check "lintian: no error and no warning for $1" bash -c '! grep -q "^[EW]:" <<<"$1"' _ "$out"
}
lintian_check "the .deb" "$deb"

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
# The source package, from a clean clone of the commit, as anyone would rebuild it.
if git rev-parse HEAD >/dev/null 2>&1; then
  git clone -q --no-local . "$tree/source/quenfall"
  if (cd "$tree/source/quenfall" && dpkg-buildpackage -S -us -uc -d >"$tree/source.log" 2>&1); then
    dsc=$(ls "$tree"/source/quenfall_*.dsc)
    echo "package: source package $(basename "$dsc"): $(sed -n 's/^ [0-9a-f]\{64\} \([0-9]*\) \(.*\)/\2 (\1 bytes)/p' "$dsc" | tr '\n' ' ')"
    lintian_check "the source package" "$dsc"
  else
    tail -n 20 "$tree/source.log"
    check "dpkg-buildpackage -S builds the source package" false
  fi
else
  echo "package: not a git checkout; no source package from a clean clone"
fi

dpkg-deb -x "$deb" "$tree/deb"
check "desktop-file-validate" desktop-file-validate "$tree/deb/usr/share/applications/quenfall.desktop"
metainfo=$(ls "$tree"/deb/usr/share/metainfo/*.metainfo.xml 2>/dev/null | head -n 1)
check "the metainfo is in /usr/share/metainfo" [ -n "$metainfo" ]
check "appstreamcli validate --no-net" appstreamcli validate --no-net "${metainfo:-/nonexistent}"
for page in quenfall.1.gz quenfall-cli.1.gz; do
  check "the manual page $page is in the package" [ -s "$tree/deb/usr/share/man/man1/$page" ]
done
check "the bash completion is in the package" [ -s "$tree/deb/usr/share/bash-completion/completions/quenfall-cli" ]

if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
  echo "package: not installed (needs root and apt); built and checked only"
  [ "$failures" -eq 0 ]; exit
fi
if dpkg-query -W -f='${Status}' quenfall 2>/dev/null | grep -q 'install ok installed'; then
  echo "package: quenfall is already installed on this machine; not touching it"
  [ "$failures" -eq 0 ]; exit
fi

echo "package: installing"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$PWD/$deb" >/dev/null
helper=/usr/libexec/quenfall/quenfall-radio-helper
caps() { getcap "$1" | sed -n 's/^[^ ]* //p'; }
check "the helper holds cap_sys_rawio ($(caps $helper))" [ "$(caps $helper)" = "cap_sys_rawio=ep" ]
check "quenfall holds no capability" [ -z "$(caps /usr/bin/quenfall)" ]
check "quenfall-cli holds no capability" [ -z "$(caps /usr/bin/quenfall-cli)" ]
check "the helper is not writable by others" [ "$(stat -c %a $helper)" = 755 ]
version=$(/usr/bin/quenfall-cli --version)
echo "package: installed quenfall-cli --version: $version"
check "quenfall-cli --version runs from /usr/bin" grep -q "$(dpkg-deb -f "$deb" Version)" <<<"$version"
check "the udev rule is in place" [ -e /lib/udev/rules.d/70-quenfall-radio.rules ]
check "man finds quenfall-cli(1)" bash -c 'man -w quenfall-cli >/dev/null 2>&1 || [ ! -x /usr/bin/man ]'
completed=$(bash -c 'source /usr/share/bash-completion/completions/quenfall-cli
  COMP_WORDS=(quenfall-cli fl); COMP_CWORD=1; _quenfall_cli quenfall-cli fl quenfall-cli; echo "${COMPREPLY[*]}"')
check "the installed completion completes \"fl\" to flash (got: $completed)" [ "$completed" = flash ]
# The pre-removal takes the capability away, the post-install gives it back.
/var/lib/dpkg/info/quenfall.prerm upgrade 7.1.0 >/dev/null
check "the pre-removal removes the helper's capability" [ -z "$(caps $helper)" ]
/var/lib/dpkg/info/quenfall.postinst configure 7.1.0 >/dev/null
check "the post-install grants it again" [ "$(caps $helper)" = "cap_sys_rawio=ep" ]
# An upgrade, a removal or a deconfiguration that fails after the pre-removal: dpkg calls the
# old post-install with abort-*, which must give the capability back.
for abort in "upgrade 7.1.0 abort-upgrade 7.1.0" "remove abort-remove" \
             "deconfigure in-favour other 1.0 removing quenfall 7.1.0 abort-deconfigure in-favour other 1.0 removing quenfall 7.1.0"; do
  set -- $abort
  prerm_args=() postinst_args=()
  while [ $# -gt 0 ] && [ "${1#abort-}" = "$1" ]; do prerm_args+=("$1"); shift; done
  postinst_args=("$@")
  /var/lib/dpkg/info/quenfall.prerm "${prerm_args[@]}" >/dev/null
  check "prerm ${prerm_args[0]} removes the capability" [ -z "$(caps $helper)" ]
  /var/lib/dpkg/info/quenfall.postinst "${postinst_args[@]}" >/dev/null
  check "postinst ${postinst_args[0]} gives it back" [ "$(caps $helper)" = "cap_sys_rawio=ep" ]
done
listed=$(dpkg -L quenfall | while read -r f; do [ -f "$f" ] && echo "$f"; done)

echo "package: removing"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quenfall >/dev/null
left=$(for f in $listed; do [ -e "$f" ] && echo "$f"; done; [ -e /usr/libexec/quenfall ] && echo /usr/libexec/quenfall; true)
check "removal leaves nothing behind${left:+ (left: $left)}" [ -z "$left" ]
check "dpkg no longer knows quenfall" bash -c '! dpkg-query -W quenfall 2>/dev/null | grep -q .'

echo "package: $failures check(s) failed"
[ "$failures" -eq 0 ]
