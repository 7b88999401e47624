#!/bin/sh
# The window's command line as a user meets it without a display: --help and --version
# print and exit 0, a mistyped option or a missing value exits 2 with the usage, and none of
# them opens a window (with no display, a window would end in an abort).
#   window_command_line_test.sh QUENFALL
set -u
window=$1
failures=0
run() {  # run EXPECTED_STATUS EXPECTED_TEXT WHERE ARGS...
  expected=$1 text=$2 where=$3
  shift 3
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$window" "$@" 2>/tmp/quenfall-cl-err.$$)
  status=$?
  err=$(cat /tmp/quenfall-cl-err.$$)
  rm -f /tmp/quenfall-cl-err.$$
  [ "$where" = out ] && shown=$out || shown=$err
  if [ "$status" -ne "$expected" ]; then
    echo "FAILED: quenfall $*: exit $status, not $expected ($err)"; failures=$((failures + 1)); return
  fi
  case $shown in
    *"$text"*) echo "ok: quenfall $* exits $status with \"$text\"" ;;
    *) echo "FAILED: quenfall $*: no \"$text\" in: $shown"; failures=$((failures + 1)) ;;
  esac
}
run 0 "usage: quenfall [--shop" out --help
run 0 "usage: quenfall [--shop" out -h
run 0 "key set:" out --version
run 2 "quenfall: unknown option --emualte" err --emualte
run 2 "usage: quenfall [--shop" err --emualte
run 2 "--screenshot needs a file name" err --screenshot
run 2 "unknown option --bogus" err --shop --emulate 2 --bogus fw.bin
echo "window command line: $failures failure(s)"
[ "$failures" -eq 0 ]
