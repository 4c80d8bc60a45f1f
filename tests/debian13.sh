#!/bin/sh
# Runs the test command (./test.sh) in a minimal Debian 13 root, built with mmdebstrap from the mirror this
# machine's apt uses and kept in /var/tmp/zaviron-debian13 (ZAVIRON_DEBIAN13 names another folder). The root
# holds the test dependencies from its creation on, so a run needs no network; it is built anew only when the
# list that scripts/deps.sh gives there changes. Each run gets a clean copy of the tree, never a build folder.
# As on a fresh Debian 13 system, the sources are in deb822 form (sources.list.d/debian.sources) and
# /etc/apt/sources.list is absent.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
base=${ZAVIRON_DEBIAN13:-/var/tmp/zaviron-debian13}
root=$base/root
[ "$(id -u)" = 0 ] || { echo "debian13.sh: must run as root" >&2; exit 2; }

mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v security | head -n 1)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $2 !~ /security/ { print $2; exit }' /etc/apt/sources.list)

# What deps.sh wants in the root as it stands (apt-cache reads the root's lists, offline).
wanted() {
    cp "$top/scripts/deps.sh" "$root/root/deps.sh"
    chroot "$root" sh /root/deps.sh list test | sha256sum | cut -d' ' -f1
}
if [ ! -s "$base/deps.sha256" ] || [ ! -d "$root/root" ] || [ "$(wanted)" != "$(cat "$base/deps.sha256")" ]; then
    command -v mmdebstrap >/dev/null || apt-get install -y -qq mmdebstrap
    echo "debian13.sh: building the Debian 13 root in $root from $mirror"
    rm -rf "$root" "$base/deps.sha256"
    mkdir -p "$base"
    mmdebstrap --variant=apt --components=main --include=ca-certificates --skip=cleanup/apt/lists \
        --customize-hook="copy-in $top/scripts/deps.sh /root" \
        --customize-hook='chroot "$1" sh /root/deps.sh test' \
        --customize-hook='chroot "$1" apt-get clean' \
        trixie "$root" "deb $mirror trixie main" "deb $mirror trixie-updates main"
    rm "$root/etc/apt/sources.list"
    printf 'Types: deb\nURIs: %s\nSuites: trixie trixie-updates\nComponents: main\nSigned-By: %s\n' "$mirror" \
        /usr/share/keyrings/debian-archive-keyring.gpg > "$root/etc/apt/sources.list.d/debian.sources"
    wanted > "$base/deps.sha256"
fi

rm -rf "$root/work/zaviron"
mkdir -p "$root/work/zaviron"
(cd "$top" && git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - --) |
    tar -xf - -C "$root/work/zaviron"

# A private mount namespace: the mounts vanish with it, whatever way the run ends.
exec unshare -m --propagation private sh -c '
set -eu
root=$1
mount --bind "$root" "$root" # a mount point, as the sandbox wants of /
mount --rbind /dev "$root/dev"
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys"
mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
mount -t tmpfs -o mode=0755 tmpfs "$root/run"
exec chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    ${CI:+CI=$CI} sh -c "cd /work/zaviron && ./test.sh"
' debian13 "$root"
