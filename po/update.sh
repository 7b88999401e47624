#!/bin/bash
# Brings every catalogue up to date with the sources: extracts the template and merges it
# into each po/LANG.po (new texts untranslated, changed ones marked fuzzy). Translators run
# it before they start.
#   po/update.sh [LANG...]     (default: every po/*.po)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
pot=$(mktemp --suffix=.pot)
trap 'rm -f "$pot"' EXIT
bash "$here/extract.sh" "$pot"
if [ $# -eq 0 ]; then
  set -- $(cd "$here" && ls *.po 2>/dev/null | sed 's/\.po$//')
fi
for language in "$@"; do
  po=$here/$language.po
  if [ ! -f "$po" ]; then
    msginit --no-translator --no-wrap --locale="$language.UTF-8" -i "$pot" -o "$po"
  else
    msgmerge --quiet --update --backup=none --no-wrap --previous "$po" "$pot"
  fi
  msgfmt --check --statistics -o /dev/null "$po"
done
