#!/usr/bin/env bash
# Starts what a Linux desktop gives a screen reader (an X server, a session bus, the
# accessibility bus with its registry) and runs the AT-SPI client against the window.
#   run_window_accessibility_test.sh QUENFALL QUENFALL_CLI
# Exit 77 (skipped, with the reason) where one of them is missing or does not start.
set -euo pipefail
quenfall=$1
cli=$2
here=$(cd "$(dirname "$0")" && pwd)
launcher=/usr/libexec/at-spi-bus-launcher
python=/usr/bin/python3

skip() { echo "SKIP: $*"; exit 77; }
command -v xvfb-run >/dev/null || skip "xvfb-run is missing (xvfb)"
command -v xauth >/dev/null || skip "xauth is missing"
command -v dbus-run-session >/dev/null || skip "dbus-run-session is missing (dbus-daemon)"
[ -x "$launcher" ] || skip "$launcher is missing (at-spi2-core)"
"$python" -c 'import pyatspi' 2>/dev/null || skip "$python cannot import pyatspi (python3-pyatspi)"

work=$(mktemp -d /tmp/quenfall-atspi.XXXXXX)
trap 'rm -rf "$work"' EXIT
# Two sections, 40 blocks in all: enough steps of the progress bar to follow.
head -c 70000 /dev/urandom >"$work/section0.bin"
head -c 10000 /dev/urandom >"$work/section2.bin"
"$cli" pack -o "$work/package.bin" --model 17 --section 0="$work/section0.bin" --section 2="$work/section2.bin" >/dev/null

# Inside the session: the accessibility bus, then the client, which starts the window.
cat >"$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -u
"$LAUNCHER" --launch-immediately >"$WORK/launcher.log" 2>&1 &
launcher=$!
for _ in $(seq 100); do
  address=$(dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress 2>/dev/null \
            | sed -n 's/^ *string "\(.*\)"$/\1/p')
  [ -n "$address" ] && break
  kill -0 "$launcher" 2>/dev/null || break
  sleep 0.1
done
if [ -z "${address:-}" ]; then
  echo "SKIP: the accessibility bus did not start:"; cat "$WORK/launcher.log"; exit 77
fi
echo "accessibility bus at $address"
"$PYTHON" "$HERE/window_accessibility_test.py" "$QUENFALL" "$PACKAGE"
status=$?
kill "$launcher" 2>/dev/null
exit $status
SESSION
chmod +x "$work/session.sh"

export LAUNCHER=$launcher PYTHON=$python HERE=$here QUENFALL=$quenfall PACKAGE=$work/package.bin WORK=$work
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
set +e
timeout 150 xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" dbus-run-session -- "$work/session.sh" 2>"$work/stderr.log"
status=$?
set -e
if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
  echo "-- what the bus, the window and the client said on stderr:"
  grep -v -e 'Failed to set fd limit' "$work/stderr.log" | tail -40
fi
exit "$status"
