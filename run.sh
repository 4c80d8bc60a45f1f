#!/bin/sh
# Installs what the program needs, builds it and starts it on the bundled default catalogue. Run as root.
set -eu
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/deps.sh" run
cmake -S "$top" -B "$top/build" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$top/build" -j"$(nproc)"

# The program works in the folder that holds its catalogue; a catalogue the user already edited there is kept.
home=${ZAVIRON_HOME:-/var/lib/zaviron}
mkdir -p "$home"
[ -e "$home/dataSoftware.db" ] || cp "$top/build/dataSoftware.db" "$home/dataSoftware.db"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "zaviron is built ($top/build/zaviron), but there is no display to show it on (DISPLAY is not set)." >&2
    echo "Start it from a desktop session, or without one under a virtual display: xvfb-run -a $0" >&2
    exit 1
fi
cd "$home"
exec "$top/build/zaviron"
