#!/bin/sh
# Installs the Debian packages the program needs: "scripts/deps.sh run" for building and running it,
# "scripts/deps.sh test" for building and running the tests as well. Runs apt-get only when something is missing.
set -eu
run="cmake make g++ pkg-config qtbase5-dev libqtermwidget5-1-dev libutf8proc-dev qtermwidget5-data \
qt5-style-plugins fonts-liberation procps wget software-properties-common"
test="$run dpkg-dev clang libclang-rt-14-dev xvfb xauth iproute2 python3 gnupg \
file policykit-1 desktop-file-utils appstream libxml2-utils dbus ansible-core python3-apt lintian"
case "${1:-run}" in
    run) wanted=$run ;;
    test) wanted=$test ;;
    *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac
missing=
for p in $wanted; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
[ -n "$missing" ] || exit 0
[ "$(id -u)" = 0 ] || { echo "Missing packages:$missing. Run as root to install them." >&2; exit 1; }
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing
