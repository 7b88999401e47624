#!/usr/bin/env bash
# The bash completion of quenfall-cli, as bash calls it: commands, each command's options,
# packages (*.bin, *.boot and folders) where a package is expected, any file where another
# file is, and the radios that devices lists.
#   completion_test.sh CLI COMPLETION
set -u
cli=$1 completion=$2
# shellcheck source=/dev/null
source "$completion"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch new.bin OLD.BOOT notes.txt trace.log
mkdir firmware

failures=0
complete_line() {  # complete_line WORD...: what completing the last word offers, sorted
    COMP_WORDS=("$cli" "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _quenfall_cli "$cli" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//'
}
expect() {  # expect WHAT EXPECTED WORD...
    local what=$1 expected=$2 got
    shift 2
    got=$(complete_line "$@")
    if [ "$got" = "$expected" ]; then echo "ok: $what"; else
        echo "FAILED: $what: expected \"$expected\", got \"$got\""; failures=$((failures + 1)); fi
}

expect "the commands" "--help --version devices doctor flash history inspect pack station" ""
expect "commands by prefix" "flash" "fl"
expect "help names the commands" "devices doctor flash history inspect pack station" help ""
expect "station's options, its continued usage line too" "--allow-model-change --count --emulate --emulate-fault --events --help --report" station new.bin "--"
expect "a package for inspect" "OLD.BOOT firmware new.bin" inspect ""
expect "a package for flash" "OLD.BOOT firmware new.bin" flash ""
expect "packages by prefix" "new.bin" flash "n"
expect "flash's options" "--all --allow-model-change --device --emulate --events --help --report --trace" flash new.bin "--"
expect "inspect's options" "--help --json" inspect "-"
expect "devices' options" "--emulate --help --json" devices "--"
expect "pack's options, its continued usage line too" "--bank --help --model --scramble --section --variant" pack "--"
expect "any file for a trace" "OLD.BOOT firmware new.bin notes.txt trace.log" flash new.bin --trace ""
expect "any file for the events" "OLD.BOOT firmware new.bin notes.txt trace.log" flash new.bin --events ""
expect "any file for the station's events" "OLD.BOOT firmware new.bin notes.txt trace.log" station new.bin --events ""
expect "any file for pack's output" "notes.txt" pack -o "no"
expect "nothing for a model code" "" pack --model ""
expect "section ids" "10= 11= 1=" pack --section "1"
expect "a section's file after its id" "notes.txt" pack --section 3 = "no"
expect "a section's file right after the equals sign" "OLD.BOOT firmware new.bin notes.txt trace.log" pack --section 3 =
echo "completion: $failures failure(s)"
[ "$failures" -eq 0 ]
