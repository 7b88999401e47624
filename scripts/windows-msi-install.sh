#!/usr/bin/env bash
# The Windows installer, read back and run under wine. Its tables (msiinfo): the three
# programs directly in ProgramFiles64Folder\Quenfall, per machine, the Start menu's two
# shortcuts, the entry in Apps & features, the major upgrade. Then, in the caller's wine
# prefix: msiexec /i (quiet) installs the programs and the shortcuts, the installed
# quenfall-cli.exe runs, the entry in Apps & features holds the version and the publisher,
# and msiexec /x removes every file, shortcut and entry it installed. Given an OLDER package
# (the same installer with a lower version), it is installed first and MSI must replace it.
#   scripts/windows-msi-install.sh MSI [OLDER]        (WINEPREFIX: a throw-away prefix)
set -euo pipefail
msi=$1
older=${2:-}
wine=${WINE:-/usr/lib/wine/wine64}
[ -x "$wine" ] || wine=$(command -v wine64)
[ -f "$msi" ] || { echo "msi: $msi is missing" >&2; exit 1; }
[ -n "${WINEPREFIX:-}" ] || { echo "msi: set WINEPREFIX to a throw-away prefix" >&2; exit 1; }
version=$(sed -n 's/^project(Quenfall VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")
msi=$(realpath "$msi")
[ -z "$older" ] || older=$(realpath "$older")
fail() { echo "msi: $*" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# msiinfo export writes a table's binary column (the Icon table's icon) into a folder of
# the current one; wine's msiexec too may leave files there: a throw-away folder.
table() { (cd "$scratch" && msiinfo export "$msi" "$1") | tr -d '\r'; }
row() {  # row TABLE PATTERN: a row of TABLE matching the extended regular expression
  table "$1" | grep -Eq "$2" || { echo "msi: no row of $1 matches: $2" >&2; table "$1" >&2; exit 1; }
}

# ---- the tables ----
msiinfo suminfo "$msi" | grep -q '^Template: x64;1033$' || fail "not a 64-bit package"
row Directory $'^INSTALLDIR\tProgramFiles64Folder\tQuenfall$'
row Directory $'^ProgramMenuFolder\tTARGETDIR\t'
for exe in quenfall.exe quenfall-cli.exe quenfall-radio-helper.exe; do
  row File $'^[A-Za-z]+\t[A-Za-z]+\t'"$exe"$'\t'
done
# Each program's component installs into INSTALLDIR, as a 64-bit component (attribute 256).
[ "$(table Component | awk -F'\t' '$3 == "INSTALLDIR" && int($4 / 256) % 2 == 1 {n++} END {print n+0}')" -eq 3 ] ||
  fail "the three programs are not 64-bit components of INSTALLDIR"
row Shortcut $'^[A-Za-z]+\tProgramMenuFolder\tQuenfall\t[A-Za-z]+\t\\[INSTALLDIR\\]quenfall\\.exe\t\t'
row Shortcut $'^[A-Za-z]+\tProgramMenuFolder\tQuenfall Shop\t[A-Za-z]+\t\\[INSTALLDIR\\]quenfall\\.exe\t--shop\t'
row Property $'^ALLUSERS\t1$'
row Property $'^ProductVersion\t'"${version//./\\.}"'$'
row Property $'^Manufacturer\tThe Quenfall developers$'
row Property $'^ARPPRODUCTICON\tquenfall\\.ico$'
row Property $'^UpgradeCode\t\\{D1D504BF-B77D-426E-8700-DE6A002946D0\\}$'
row Icon $'^quenfall\\.ico\t'
# The major upgrade: older versions of this UpgradeCode are found and removed.
row Upgrade $'^\\{D1D504BF-B77D-426E-8700-DE6A002946D0\\}\t\t'"${version//./\\.}"
row InstallExecuteSequence $'^RemoveExistingProducts\t'
echo "msi: tables hold the three programs in ProgramFiles64Folder\\Quenfall, the Start menu's Quenfall and Quenfall Shop, the icon and the major upgrade"

# ---- under wine ----
# No menu entries for this machine's desktop from wine's shortcuts.
export WINEDLLOVERRIDES="winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
drive_c=$WINEPREFIX/drive_c
folder="$drive_c/Program Files/Quenfall"
# Windows puts a per-machine package's shortcuts (ProgramMenuFolder with ALLUSERS=1) into the
# Start menu of all users; wine's msiexec puts them into the installing user's. Either counts
# here, as long as it is the one the install wrote to.
common_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
user_menu=$("$wine" cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
user_menu="$drive_c/${user_menu#C:\\}"
user_menu="${user_menu//\\//}/Microsoft/Windows/Start Menu/Programs"
windows_path() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
windows_msi=$(windows_path "$msi")
[ ! -e "$folder" ] || fail "$folder exists before the install"
find "$drive_c" -path "$drive_c/windows" -prune -o -type f -print | LC_ALL=C sort >"$scratch/before"
msiexec() { (cd "$scratch" && timeout 300 "$wine" msiexec "$@"); }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
entries() {  # the Apps & features entries named Quenfall, one "version publisher" a line
  local key
  "$wine" reg query "$uninstall_key" 2>/dev/null | tr -d '\r' | grep -i '\\Uninstall\\.' | while read -r key; do
    "$wine" reg query "$key" 2>/dev/null | tr -d '\r' | awk '
      $1 == "DisplayName" { name = substr($0, index($0, "REG_SZ") + 10) }
      $1 == "DisplayVersion" { version = $3 }
      $1 == "Publisher" { publisher = substr($0, index($0, "REG_SZ") + 10) }
      END { if (name == "Quenfall") print version " " publisher }'
  done
}

if [ -n "$older" ]; then
  msiexec /i "$(windows_path "$older")" /qn || fail "msiexec /i of the older package failed ($?)"
  was=$(entries)
  [ "$(wc -l <<<"$was")" -eq 1 ] && [ "${was%% *}" != "$version" ] || fail "the older package's entry: $was"
  echo "msi: the older package installed (Apps & features: Quenfall ${was%% *})"
fi
msiexec /i "$windows_msi" /qn || fail "msiexec /i failed ($?)"
for exe in quenfall.exe quenfall-cli.exe quenfall-radio-helper.exe; do
  [ -f "$folder/$exe" ] || fail "the install left no $folder/$exe"
done
[ "$(find "$folder" -mindepth 1 | wc -l)" -eq 3 ] || fail "the install put more than the three programs into $folder: $(ls "$folder")"
menu=$common_menu
[ -f "$menu/Quenfall.lnk" ] || menu=$user_menu
for link in Quenfall "Quenfall Shop"; do
  [ -f "$menu/$link.lnk" ] || fail "the install made no Start menu shortcut $link.lnk (looked in $common_menu and $user_menu)"
done
tr -d '\000' <"$menu/Quenfall Shop.lnk" | grep -aq -- '--shop' || fail "Quenfall Shop.lnk does not pass --shop"
installed_version=$("$wine" "C:\\Program Files\\Quenfall\\quenfall-cli.exe" --version | tr -d '\r' | head -n 1)
case "$installed_version" in
  *"$version"*) ;;
  *) fail "the installed quenfall-cli.exe --version said: $installed_version" ;;
esac
entry=$(entries)
[ "$entry" = "$version The Quenfall developers" ] ||
  fail "Apps & features should hold one Quenfall $version by The Quenfall developers${older:+ (the older one replaced)}, holds: $entry"
echo "msi: Apps & features: Quenfall $entry${older:+ (the older version replaced in place)}"
echo "msi: msiexec /i installed C:\\Program Files\\Quenfall\\{quenfall,quenfall-cli,quenfall-radio-helper}.exe and the shortcuts Quenfall and Quenfall Shop in ${menu#"$drive_c/"}; the installed quenfall-cli.exe --version says: $installed_version"

msiexec /x "$windows_msi" /qn || fail "msiexec /x failed ($?)"
[ -z "$(entries)" ] || fail "the uninstall left the entry in Apps & features: $(entries)"
[ ! -e "$folder" ] || fail "the uninstall left $folder: $(ls -A "$folder")"
for link in Quenfall "Quenfall Shop"; do
  [ ! -e "$menu/$link.lnk" ] || fail "the uninstall left the shortcut $link.lnk"
done
# Nothing else the install wrote outside the system folder is left either (wine's own
# caches of installers aside).
find "$drive_c" -path "$drive_c/windows" -prune -o -type f -print | LC_ALL=C sort >"$scratch/after"
left=$(comm -13 "$scratch/before" "$scratch/after" | grep -v -i '/windows/installer/' || true)
[ -z "$left" ] || fail "the uninstall left: $left"
echo "msi: msiexec /x removed every file, shortcut and entry it installed"
