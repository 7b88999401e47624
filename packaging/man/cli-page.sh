#!/bin/sh
# Writes the manual page of quenfall-cli: the hand-written parts from TEMPLATE, the synopsis
# and the commands from what the built program's --help says, so that the page and --help
# never disagree.
#   cli-page.sh CLI TEMPLATE VERSION DATE OUT
set -eu
cli=$1 template=$2 version=$3 date=$4 out=$5

# The page is English whatever language the build machine speaks.
help=$(QUENFALL_LANGUAGE=C "$cli" --help)

# roff: backslashes and minus signs escaped, no text line taken for a request; in a usage
# line the program's name and the command's word are bold.
common='
  function esc(s) { gsub(/\\/, "\\e", s); gsub(/-/, "\\-", s); if (s ~ /^[.\047]/) s = "\\&" s; return s }
  function usage(s,   n, w) {
    n = split(s, w, " ")
    s = esc(s)
    if (n >= 2 && w[2] ~ /^(-|[a-z])/) { sub(/^[^ ]+ [^ ]+/, "\\fB&\\fR", s) } else { sub(/^[^ ]+/, "\\fB&\\fR", s) }
    return s }'

# The synopsis: every usage line (two blanks, then the program's name), with the lines that
# continue it, as --help lays them out.
synopsis=$(printf '%s\n' "$help" | awk "$common"'
  /^  quenfall-cli/ { in_usage = 1; print usage(substr($0, 3)); next }
  in_usage && /^       / { print esc(substr($0, 3)); next }
  { in_usage = 0 }')

# The commands: each block of usage lines, then its explanation as a paragraph.
commands=$(printf '%s\n' "$help" | awk "$common"'
  /^  quenfall-cli/ {
    if (state != "usage") { if (state == "text") print ".RE"; print ".PP"; print ".nf" }
    state = "usage"; print usage(substr($0, 3)); next }
  state == "usage" && /^       / { print esc(substr($0, 3)); next }
  /^      [^ ]/ {
    if (state == "usage") { print ".fi"; print ".RS" }
    state = "text"; sub(/^ +/, ""); print esc($0); next }
  END { if (state == "usage") print ".fi"; if (state == "text") print ".RE" }')

summary=$(printf '%s\n' "$help" | sed -n '1s/^quenfall-cli: //p' | awk "$common"'{ print esc($0) }')

tmp=$out.tmp
while IFS= read -r line; do
  case $line in
    @SYNOPSIS@) printf '.nf\n%s\n.fi\n' "$synopsis" ;;
    @COMMANDS@) printf '%s\n' "$commands" ;;
    *) printf '%s\n' "$line" | sed -e "s/@VERSION@/$version/g" -e "s/@DATE@/$date/g" -e "s/@SUMMARY@/$summary/g" ;;
  esac
done <"$template" >"$tmp"
mv "$tmp" "$out"
