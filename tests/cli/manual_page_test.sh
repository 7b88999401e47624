#!/bin/sh
# quenfall-cli's manual page says what --help says: the page, rendered as man shows it,
# holds the whole of --help's usage and every command's own --help, word for word.
#   manual_page_test.sh CLI PAGE
set -u
cli=$1 page=$2
command -v groff >/dev/null 2>&1 || { echo "SKIP: groff is missing, the page cannot be rendered"; exit 77; }
[ -s "$page" ] || { echo "FAILED: no manual page at $page"; exit 1; }

# One line, blanks folded: the page wraps its paragraphs where --help breaks its lines.
flat() { tr -s ' \n\t' '   ' | sed 's/^ //; s/ $//'; }
rendered=$(groff -man -Tascii -P-cbou -ww "$page" 2>&1 | flat)
failures=0
expect_in_page() {  # expect_in_page WHAT TEXT
  case $rendered in
    *"$2"*) echo "ok: the page holds $1" ;;
    *) echo "FAILED: the page does not hold $1:"; echo "  $2"; failures=$((failures + 1)) ;;
  esac
}

# The page is English: so is the --help it is held to.
export QUENFALL_LANGUAGE=C
help=$("$cli" --help) || { echo "FAILED: quenfall-cli --help"; exit 1; }
expect_in_page "the summary" "NAME quenfall-cli - $(printf '%s\n' "$help" | sed -n '1s/^quenfall-cli: //p')"
expect_in_page "every usage of --help" "$(printf '%s\n' "$help" | sed '1,/^usage:$/d' | flat)"

commands=$(printf '%s\n' "$help" | sed -n 's/^  quenfall-cli \([a-z][a-z]*\)\( .*\)\{0,1\}$/\1/p' | sort -u)
[ -n "$commands" ] || { echo "FAILED: --help lists no command"; exit 1; }
for command in $commands; do
  own=$("$cli" "$command" --help) || { echo "FAILED: quenfall-cli $command --help"; failures=$((failures + 1)); continue; }
  [ "$(printf '%s\n' "$own" | head -n 1)" = "usage:" ] || {
    echo "FAILED: quenfall-cli $command --help does not start with its usage"; failures=$((failures + 1)); }
  expect_in_page "quenfall-cli $command --help" "$(printf '%s\n' "$own" | sed 1d | flat)"
  [ "$("$cli" help "$command")" = "$own" ] || {
    echo "FAILED: quenfall-cli help $command is not what $command --help says"; failures=$((failures + 1)); }
done
echo "manual page: $failures failure(s)"
[ "$failures" -eq 0 ]
