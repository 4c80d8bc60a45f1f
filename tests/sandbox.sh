#!/bin/sh
# Runs a command as root with overlays over the system folders, private /tmp and $HOME, its own process namespace
# (--no-net: and network); the folders in ZAVIRON_KEEP (colon-separated) stay reachable.
#   tests/sandbox.sh [--no-net] -- COMMAND [ARG...]
set -eu

net=
while [ $# -gt 0 ]; do
    case "$1" in
        --no-net) net=-n; shift ;;
        --) shift; break ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--no-net] -- COMMAND [ARG...]" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "sandbox.sh: must run as root" >&2; exit 2; }

scratch=$(mktemp -d /var/tmp/zaviron-sandbox.XXXXXX)
trap 'rm -rf "$scratch"' EXIT INT TERM

inner='
set -eu
scratch=$1; shift
n=0
for dir in /etc /var/lib /var/cache /var/log /usr /run; do
    n=$((n + 1))
    mkdir -p "$scratch/upper$n" "$scratch/work$n"
    mount -t overlay overlay -o "lowerdir=$dir,upperdir=$scratch/upper$n,workdir=$scratch/work$n" "$dir"
done
# The kept folders under /tmp: bound aside, the private /tmp mounted, bound back.
keep=${ZAVIRON_KEEP:-}
i=0
IFS=:
for path in $keep; do
    case "$path" in /tmp/*)
        i=$((i + 1)); mkdir -p "$scratch/keep$i"; mount --bind "$path" "$scratch/keep$i" ;;
    esac
done
mount -t tmpfs -o mode=1777 tmpfs /tmp
i=0
for path in $keep; do
    case "$path" in /tmp/*)
        i=$((i + 1)); mkdir -p "$path"; mount --bind "$scratch/keep$i" "$path" ;;
    esac
done
unset IFS
mkdir -p /tmp/.sandbox-home
export HOME=/tmp/.sandbox-home XDG_CONFIG_HOME=/tmp/.sandbox-home/.config
export ZAVIRON_SANDBOX=1
"$@"
'
status=0
unshare -m -p -f --mount-proc --propagation private $net sh -c "$inner" sandbox "$scratch" "$@" || status=$?
exit $status
