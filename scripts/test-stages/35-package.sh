#!/usr/bin/env bash
# The Debian package as a user meets it: built, checked by lintian and
# desktop-file-validate, installed with apt, its programs' capabilities read back (only the
# radio helper holds one), run from the installed path, and removed without a trace.
# Installing needs root and apt: elsewhere the package is built and checked, not installed.
set -euo pipefail
cd "$(dirname "$0")/../.."

deb=$(scripts/package.sh linux | sed -n 's/^package.sh: wrote \([^ ]*\.deb\) .*/\1/p')
[ -n "$deb" ] || { echo "package: no .deb was written" >&2; exit 1; }
echo "package: $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb --info "$deb" | sed -n 's/^ \(Depends\|Version\|Installed-Size\):/package: \1:/p'

failures=0
check() {  # check DESCRIPTION COMMAND...: runs it, says ok or FAILED
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# lintian: errors fail the stage; warnings are shown.
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
[ -z "$lintian_out" ] || echo "$lintian_out"
check "lintian reports no errors" bash -c '! grep -q "^E:" <<<"$1"' _ "$lintian_out"

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
check "desktop-file-validate" desktop-file-validate "$tree/usr/share/applications/quenfall.desktop"

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
listed=$(dpkg -L quenfall | while read -r f; do [ -f "$f" ] && echo "$f"; done)

echo "package: removing"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quenfall >/dev/null
left=$(for f in $listed; do [ -e "$f" ] && echo "$f"; done; [ -e /usr/libexec/quenfall ] && echo /usr/libexec/quenfall; true)
check "removal leaves nothing behind${left:+ (left: $left)}" [ -z "$left" ]
check "dpkg no longer knows quenfall" bash -c '! dpkg-query -W quenfall 2>/dev/null | grep -q .'

echo "package: $failures check(s) failed"
[ "$failures" -eq 0 ]
