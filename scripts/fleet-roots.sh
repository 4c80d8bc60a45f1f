#!/bin/sh
# Builds the hosts of the fleet test: a Debian 12 and a Debian 13 root with apt and Python (python3-apt for Ansible's
# apt modules), made by mmdebstrap from this machine's mirror with empty package lists, as a fresh image has them.
# Kept in /var/tmp/zaviron-fleet (or $ZAVIRON_FLEET) and made anew only when this script changes; the test never
# changes them (it runs each host on an overlay of its own).
set -eu
base=${ZAVIRON_FLEET:-/var/tmp/zaviron-fleet}
[ "$(id -u)" = 0 ] || { echo "fleet-roots.sh: must run as root" >&2; exit 2; }
mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v security | head -n 1)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $2 !~ /security/ { print $2; exit }' /etc/apt/sources.list)
stamp=$(sha256sum < "$0")
mkdir -p "$base"
for suite in bookworm trixie; do
    [ "$(cat "$base/$suite.stamp" 2>/dev/null)" = "$stamp" ] && continue
    command -v mmdebstrap >/dev/null || { echo "fleet-roots.sh: mmdebstrap is missing (scripts/deps.sh test)" >&2; exit 1; }
    rm -rf "$base/$suite" "$base/$suite.stamp"
    mmdebstrap --quiet --variant=apt --include=python3,python3-apt "$suite" "$base/$suite" "deb $mirror $suite main"
    echo "$stamp" > "$base/$suite.stamp"
done
