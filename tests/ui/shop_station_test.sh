#!/bin/sh
# The shop window's station mode as a technician starts it and leaves it alone:
#   quenfall --shop --station --emulate 3 PACKAGE
# with no key pressed leaves three completed runs in the history, one per emulated radio,
# each upgraded once although each comes back after its reset. Runs on Qt's offscreen
# platform unless a display is given.
#   shop_station_test.sh QUENFALL QUENFALL_CLI
set -u
window=$1 cli=$2
work=$(mktemp -d /tmp/quenfall-station.XXXXXX)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
head -c 20000 /dev/urandom >"$work/section0.bin"
"$cli" pack -o "$work/package.bin" --model 17 --section 0="$work/section0.bin" >/dev/null || exit 1
export QUENFALL_HISTORY="$work/history.jsonl"
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
"$window" --shop --station --emulate 3 "$work/package.bin" >"$work/out" 2>&1 &
pid=$!
completed() {
  n=$(grep -c '"completed":true' "$QUENFALL_HISTORY" 2>/dev/null)
  echo "${n:-0}"
}
# The radios come 3 s apart and each run waits for its radio's restart.
for _ in $(seq 1 600); do
  [ "$(completed)" -ge 3 ] && break
  kill -0 "$pid" 2>/dev/null || { echo "FAILED: the window ended: $(cat "$work/out")"; exit 1; }
  sleep 0.1
done
# Long enough for each radio's return after its reset, which must start nothing.
sleep 4
records=$(cat "$QUENFALL_HISTORY" 2>/dev/null | wc -l)
done_runs=$(completed)
locations=$(grep -o '"location":"[^"]*"' "$QUENFALL_HISTORY" | sort -u | wc -l)
serials=$(grep -o '"serial":"[^"]*"' "$QUENFALL_HISTORY" | sort -u | wc -l)
programs=$(grep -c '"program":"quenfall"' "$QUENFALL_HISTORY")
if [ "$records" -eq 3 ] && [ "$done_runs" -eq 3 ] && [ "$locations" -eq 3 ] && [ "$serials" -eq 3 ] && [ "$programs" -eq 3 ]; then
  echo "ok: three radios, three completed runs, none upgraded twice"
  exit 0
fi
echo "FAILED: $records records, $done_runs completed, $locations locations, $serials serials, $programs by the window"
cat "$QUENFALL_HISTORY" 2>/dev/null
exit 1
