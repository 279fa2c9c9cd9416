#!/usr/bin/env bash
# The station under a screen reader: the English edition on a virtual display of its own
# (Xvfb), with a session bus and an accessibility bus (AT-SPI) of its own, on a simulated line of
# four machines; station_client.py works it through AT-SPI alone. The station must survive the
# reading and end with status 0 when the client closes it.
#
# Usage: run_station.sh STATION NODESIM
# Exit status: 0 passed, 1 failed, 77 skipped (a piece is missing, or the bus cannot start).
#   TALVORN_A11Y_KEEP=1 keeps the test's folder (logs, working folder) afterwards.
set -uo pipefail

station_program="$(realpath "$1")"
nodesim="$(realpath "$2")"
here="$(cd "$(dirname "$0")" && pwd)"
python=/usr/bin/python3 # the system's, which has pyatspi
packages="xvfb xauth dbus-x11 at-spi2-core python3-pyatspi"

skip() {
    echo "a11y: skipped: $*"
    exit 77
}
for tool in Xvfb xauth dbus-daemon /usr/libexec/at-spi-bus-launcher "$python"; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is missing (apt-get install $packages)"
done
"$python" -c 'import pyatspi' 2>/dev/null || skip "pyatspi is missing (apt-get install $packages)"

dir="$(mktemp -d "${TMPDIR:-/tmp}/talvorn-a11y-XXXXXX")"
xvfb_pid="" bus_pid="" a11y_pid="" sim_pid="" station_pid=""

# Every process started here, and whatever they started (the buses' services), by process id.
descendants() {
    local child
    for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do
        descendants "$child"
        echo "$child"
    done
}
stop() { # stop PID: the process and everything below it; waits for it
    local pid=$1 all p i
    [[ -n "$pid" ]] || return 0
    all="$(descendants "$pid") $pid"
    for p in $all; do
        kill -TERM "$p" 2>/dev/null || true
    done
    for ((i = 0; i < 50; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    for p in $all; do
        kill -KILL "$p" 2>/dev/null || true
    done
    wait "$pid" 2>/dev/null || true
}
cleanup() {
    local status=$?
    stop "$station_pid"
    stop "$a11y_pid"
    stop "$bus_pid"
    stop "$sim_pid"
    stop "$xvfb_pid"
    if [[ "${TALVORN_A11Y_KEEP:-0}" == 1 ]]; then
        echo "a11y: folder kept: $dir"
    else
        rm -rf "$dir"
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

show_log() { # show_log NAME FILE
    echo "--- $1"
    tail -n 40 "$2" 2>/dev/null || true
}

# --- A virtual display that only holders of its key may use (as scripts/demo makes its own).
: >"$dir/Xauthority"
key="$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')"
xauth -q -f "$dir/Xauthority" add :0 . "$key"
Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp -auth "$dir/Xauthority" \
    3>"$dir/display" >"$dir/xvfb.log" 2>&1 </dev/null &
xvfb_pid=$!
for ((i = 0; i < 300; i++)); do
    [[ -s "$dir/display" ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
[[ -s "$dir/display" ]] || {
    show_log Xvfb "$dir/xvfb.log"
    skip "the virtual display did not start"
}
export DISPLAY=":$(head -n1 "$dir/display")" XAUTHORITY="$dir/Xauthority"
xauth -q -f "$dir/Xauthority" add "$DISPLAY" . "$key"

# --- A session bus, and the accessibility bus on it.
mkdir -p -m 0700 "$dir/runtime"
export XDG_RUNTIME_DIR="$dir/runtime" XDG_CONFIG_HOME="$dir/config" XDG_CACHE_HOME="$dir/cache"
export XDG_DATA_HOME="$dir/data" HOME="$dir/home"
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
unset AT_SPI_BUS_ADDRESS DBUS_SESSION_BUS_PID SESSION_MANAGER QT_QPA_PLATFORMTHEME
dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$dir/bus" \
    >"$dir/bus.log" 2>&1 </dev/null &
bus_pid=$!
for ((i = 0; i < 100; i++)); do
    [[ -s "$dir/bus" ]] && break
    sleep 0.1
done
[[ -s "$dir/bus" ]] || {
    show_log dbus-daemon "$dir/bus.log"
    skip "the session bus did not start"
}
export DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$dir/bus")"
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$dir/at-spi.log" 2>&1 </dev/null &
a11y_pid=$!
# The accessibility bus is up once the launcher owns its name on the session bus.
bus_up() {
    "$python" - <<'EOF' 2>/dev/null
import sys
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
owned = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                      "NameHasOwner", GLib.Variant("(s)", ("org.a11y.Bus",)),
                      GLib.VariantType("(b)"), Gio.DBusCallFlags.NONE, 2000, None)
sys.exit(0 if owned.unpack()[0] else 1)
EOF
}
for ((i = 0; i < 100; i++)); do
    bus_up && break
    kill -0 "$a11y_pid" 2>/dev/null || break
    sleep 0.1
done
bus_up || {
    show_log at-spi-bus-launcher "$dir/at-spi.log"
    skip "the accessibility bus did not start"
}

# --- Four machines on a simulated line; the station's working folder and two design files.
"$nodesim" --link "$dir/line1" --nodes 4 >"$dir/line1.out" 2>"$dir/line1.err" </dev/null &
sim_pid=$!
for ((i = 0; i < 300; i++)); do
    grep -q '^ready' "$dir/line1.out" 2>/dev/null && break
    sleep 0.1
done
grep -q '^ready' "$dir/line1.out" || {
    show_log talvorn-nodesim "$dir/line1.err"
    echo "a11y: FAILED: the simulated line did not start"
    exit 1
}
mkdir -p "$dir/work" "$dir/designs"
head -c 3000 /dev/urandom >"$dir/designs/A1.DST"
head -c 5000 /dev/urandom >"$dir/designs/B2.DST"
cat >"$dir/work/Para.ini" <<EOF
[SYS_PARA]
Channel1ComID=COM1
Channel1ComSum=4
Channel1ComOne=1
Channel1ComSpeed=3
Channel2ComID=
Channel2ComSum=0
Channel2ComOne=33
Channel2ComSpeed=3
FilePath=$dir/designs
[PORTS]
COM1=$dir/line1
EOF

# --- The station, with its accessibility on as a screen reader turns it on.
(cd "$dir/work" && QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 \
    exec "$station_program" >"$dir/station.log" 2>&1 </dev/null) &
station_pid=$!

timeout 240 "$python" "$here/station_client.py" "$station_pid" \
    "$dir/designs/A1.DST" "$dir/designs/B2.DST"
client=$?
if ((client == 77)); then
    show_log station "$dir/station.log"
    skip "the accessibility bus did not carry the station"
fi

# The client closed the station with Exit System: it ends, with status 0.
for ((i = 0; i < 300; i++)); do
    kill -0 "$station_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$station_pid" 2>/dev/null; then
    station_status="still running"
else
    wait "$station_pid"
    station_status=$?
    station_pid=""
fi
if ((client != 0)) || [[ "$station_status" != 0 ]]; then
    echo "a11y: FAILED: client status $client, station status $station_status" \
        "(139 is a crash: a segmentation fault)"
    show_log station "$dir/station.log"
    exit 1
fi
# Qt's own table interface warned before each of its crashes; ours never asks for such a cell.
if grep -q "QAccessibleTable\|QAccessibleTree\|Cannot create accessible child" "$dir/station.log"; then
    echo "a11y: FAILED: the station's lists handed out invalid cells:"
    grep "QAccessibleTable\|QAccessibleTree\|Cannot create accessible child" "$dir/station.log" | head -5
    exit 1
fi
echo "a11y: passed"
