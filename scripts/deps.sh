#!/bin/sh
# Installs the Debian packages the program needs: "scripts/deps.sh run" for building and running it,
# "scripts/deps.sh test" for building and running the tests as well. Runs apt-get only when something is missing.
# "scripts/deps.sh list run|test" prints the names alone, one a line, and installs nothing.
#
# The set follows what this release's apt offers, never a table of release names: where the terminal widget
# for Qt 6 is offered (libqtermwidget6-2-dev on Ubuntu, libqtermwidget-dev on Debian), the Qt 6 set; else the
# Qt 5 set. Likewise polkit is polkitd and pkexec where they are packages of their own, and
# software-properties-common (apt-add-repository) is wanted only where apt has it.
set -eu
list=
[ "${1:-}" = list ] && { list=1; shift; }
case "${1:-run}" in
    run|test) ;;
    *) echo "usage: $0 [list] run|test" >&2; exit 2 ;;
esac

# A package apt can install: one with a candidate version (a purely virtual name has none).
offered() { apt-cache policy "$1" 2>/dev/null | grep -q '^  Candidate: [^(]'; }

# Without package lists apt knows only what is installed: read them first, or the choice would be the wrong one.
if [ -z "$list" ] && [ "$(id -u)" = 0 ] && ! ls /var/lib/apt/lists/*_Packages* >/dev/null 2>&1; then
    apt-get update -qq
fi

if offered libqtermwidget6-2-dev; then
    qt="qt6-base-dev libqtermwidget6-2-dev qtermwidget6-data"
elif offered libqtermwidget-dev; then
    qt="qt6-base-dev libqtermwidget-dev qtermwidget-data"
else
    qt="qtbase5-dev libqtermwidget5-1-dev qtermwidget5-data qt5-style-plugins"
fi
run="cmake make g++ pkg-config $qt libutf8proc-dev fonts-liberation procps curl ca-certificates"
offered software-properties-common && run="$run software-properties-common"

polkit=policykit-1
offered polkitd && offered pkexec && polkit="polkitd pkexec"
test="$run dpkg-dev xvfb xauth x11-xserver-utils libnotify-bin iproute2 python3 gnupg openssl \
file $polkit desktop-file-utils appstream libxml2-utils dbus ansible-core ansible python3-apt lintian mmdebstrap"

if [ "$1" = run ]; then wanted=$run; else wanted=$test; fi
if [ -n "$list" ]; then
    # shellcheck disable=SC2086
    printf '%s\n' $wanted
    exit 0
fi
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
