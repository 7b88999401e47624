#!/bin/bash
# Every catalogue is complete and well formed: msgfmt's checks pass (formats, header,
# plural forms), nothing is untranslated or fuzzy, and every text of the sources' template is
# in it.
#   po/check.sh [TEMPLATE.pot]     (default: extracted from the sources now)
set -euo pipefail
for tool in msgfmt msgcmp xgettext; do
  command -v $tool >/dev/null || { echo "skipped: $tool is not installed (gettext)"; exit 77; }
done
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -ge 1 ]; then
  pot=$1
else
  # Extracted here rather than taken from a build: a build of some targets only has none.
  pot=$(mktemp --suffix=.pot)
  trap 'rm -f "$pot"' EXIT
  bash "$here/extract.sh" "$pot" 2>/dev/null
fi
status=0
shopt -s nullglob
catalogues=("$here"/*.po)
echo "checking ${#catalogues[@]} catalogues against $(grep -c '^msgid ' "$pot") texts"
for po in "${catalogues[@]}"; do
  name=$(basename "$po")
  stats=$(LC_ALL=C msgfmt --check --statistics -o /dev/null "$po" 2>&1) || { echo "$name: $stats"; status=1; continue; }
  echo "$name: $stats"
  case $stats in
    *untranslated*|*fuzzy*) echo "$name: not complete"; status=1 ;;
  esac
  # Every text of the sources, translated (untranslated or fuzzy ones count as missing).
  if ! msgcmp "$po" "$pot" 2>&1; then
    echo "$name: texts of the sources have no translation in it yet: po/update.sh ${name%.po} merges"
    echo "  them in to be translated; a change that adds texts lands with their translations"
    status=1
  fi
done
exit $status
