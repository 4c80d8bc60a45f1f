#!/bin/sh
# Runs ./test.sh in a Debian 13 root made by mmdebstrap from this machine's mirror, kept in /var/tmp/zaviron-debian13
# (or $ZAVIRON_DEBIAN13) and made anew only when deps.sh's list for it changes; it holds the test dependencies, so a
# run needs no network. Sources in deb822 form and no sources.list, as on a fresh system. A clean copy of the tree.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
base=${ZAVIRON_DEBIAN13:-/var/tmp/zaviron-debian13}
root=$base/root
[ "$(id -u)" = 0 ] || { echo "debian13.sh: must run as root" >&2; exit 2; }
mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v security | head -n 1)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $2 !~ /security/ { print $2; exit }' /etc/apt/sources.list)

wanted() { cp "$top/scripts/deps.sh" "$root/root/" && chroot "$root" sh /root/deps.sh list test | sha256sum; }
if [ ! -d "$root/root" ] || [ "$(wanted)" != "$(cat "$base/deps.sha256" 2>/dev/null)" ]; then
    command -v mmdebstrap >/dev/null || apt-get install -y -qq mmdebstrap
    rm -rf "$root" && mkdir -p "$base"
    mmdebstrap --variant=apt --include=ca-certificates --skip=cleanup/apt/lists \
        --customize-hook="copy-in $top/scripts/deps.sh /root" --customize-hook='chroot "$1" sh /root/deps.sh test' \
        --customize-hook='chroot "$1" apt-get clean' trixie "$root" "deb $mirror trixie main"
    rm "$root/etc/apt/sources.list"
    printf 'Types: deb\nURIs: %s\nSuites: trixie\nComponents: main\nSigned-By: %s\n' "$mirror" \
        /usr/share/keyrings/debian-archive-keyring.gpg > "$root/etc/apt/sources.list.d/debian.sources"
    wanted > "$base/deps.sha256"
fi
rm -rf "$root/work/zaviron" && mkdir -p "$root/work/zaviron"
(cd "$top" && git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - --) | tar -xf - -C "$root/work/zaviron"

# In a mount namespace of its own, whose mounts vanish with it; the root bound on itself is the sandbox's mount point.
exec unshare -m --propagation private sh -c '
set -eu
mount --bind "$1" "$1" && mount --rbind /dev "$1/dev" && mount --rbind /sys "$1/sys" && mount -t proc proc "$1/proc"
mount -t tmpfs -o mode=1777 tmpfs "$1/tmp" && mount -t tmpfs -o mode=0755 tmpfs "$1/run"
# The fleet test reads the host roots of this machine (never writes them): built once for both runs.
mkdir -p /var/tmp/zaviron-fleet "$1/var/tmp/zaviron-fleet" && mount --bind /var/tmp/zaviron-fleet "$1/var/tmp/zaviron-fleet"
exec chroot "$1" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 ${CI:+CI=$CI} \
    sh -c "cd /work/zaviron && ./test.sh"' debian13 "$root"
