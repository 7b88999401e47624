#!/bin/bash
# Extracts every text to translate from the sources into a template (.pot): the build runs
# it, and update.sh merges its result into the catalogues.
#   po/extract.sh OUT.pot
set -euo pipefail
out=$1
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mapfile -t sources < <(find src -name '*.cpp' -o -name '*.h' | LC_ALL=C sort)
# Only our marks are keywords; the texts hold "{name}" fields, never printf's directives.
xgettext --language=C++ --from-code=UTF-8 --sort-by-file --force-po \
  --add-comments=Translators: --package-name=Quenfall \
  --package-version="$(sed -n 's/^project(Quenfall VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" \
  --msgid-bugs-address=https://quenfall.example.org \
  --keyword= --keyword=Tr --keyword=TrPlural:1,2 --keyword=Translatable \
  --flag=Tr:1:no-c-format --flag=TrPlural:1:no-c-format --flag=TrPlural:2:no-c-format \
  --flag=Translatable:1:no-c-format \
  -o "$out.tmp" "${sources[@]}"
# The creation date changes nothing a translator needs; without it the template is the same
# bytes from the same sources.
sed '/^"POT-Creation-Date:/d' "$out.tmp" > "$out"
rm -f "$out.tmp"
