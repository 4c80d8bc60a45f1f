#!/bin/sh
# The launcher's user side, run as "nobody", against an X server with access control on, as a compositor runs Xwayland
# (Xvfb, whose cookie only this script holds, lets the user in by uid). Stand-ins: pkexec (polkit's agent needs a
# session) is a setuid setpriv under pkexec's environment; the program lists as root who may connect.   Run in sandbox.sh
set -u
[ "${ZAVIRON_SANDBOX:-}" = 1 ] || { echo "this script installs the launcher: run it inside tests/sandbox.sh" >&2; exit 2; }
install -m 755 "$1" /usr/bin/zaviron-pkexec && mkdir -p /usr/share/zaviron && touch /usr/share/zaviron/dataSoftware.db
t=/tmp/launcher failed=0 && mkdir -m 1777 $t && cd $t && export DISPLAY=:7 PATH="$t:/usr/bin:/bin" || exit 1
cp /usr/bin/setpriv rootpriv && chmod 4755 rootpriv && echo "echo \"\$*\" > $t/told" > notify-send
printf '[ "$(cat %s/code)" = refused ] && exit 126\nexec %s/rootpriv --reuid=0 --regid=0 --clear-groups env -i PATH=/usr/bin:/bin HOME=/root DISPLAY="$DISPLAY" ${XAUTHORITY+"XAUTHORITY=$XAUTHORITY"} "$@"\n' $t $t > pkexec
printf '#!/bin/sh\nxhost > %s/seen 2>&1; exit "$(cat %s/code)"\n' $t $t > /usr/bin/zaviron && chmod 755 pkexec notify-send /usr/bin/zaviron
touch server stale && xauth -q -f server add :7 . "$(mcookie)" && xauth -q -f stale add :7 . "$(mcookie)" && cp server own
Xvfb :7 -auth server -nolisten tcp -noreset 2>/dev/null &
x() { XAUTHORITY=$t/server xhost "$@" 2>&1; }
chown nobody stale own && for _ in $(seq 100); do x +SI:localuser:nobody >/dev/null && break; sleep 0.1; done
# case | the user's environment | the list beforehand | program's status | launcher's status | root saw | root listed after | told
while IFS='|' read -r name vars before code want saw after told; do
    rm -f seen told && echo "$code" > code && x "$before" >/dev/null
    status=0 && setpriv --reuid=nobody --regid=nogroup --clear-groups env $vars HOME=$t zaviron-pkexec 2>/dev/null || status=$?
    got=$(sed -n 's/^SI:localuser:root$/grant/p; s/^access control .*/in/p' seen 2>/dev/null | sort | head -n 1)
    got="$status ${got:-nothing} $(x | grep -cx SI:localuser:root) $([ -e told ] && echo told)"
    [ "$got" = "$want $saw $after $told" ] || { echo "FAIL: $name: (status, root saw, root listed after, told) $got"; failed=1; }
done <<EOT
granted while the program runs, taken back after it||-SI:localuser:root|0|0|grant|0|
taken back after the program failed||-SI:localuser:root|3|3|grant|0|
taken back after the password was refused||-SI:localuser:root|refused|126|nothing|0|
none when root carries the user's cookie|XAUTHORITY=$t/own|-SI:localuser:root|0|0|in|0|
none when root is let in already, and that grant kept||+SI:localuser:root|0|0|grant|1|
a stale cookie: root cannot get in, the user is told|XAUTHORITY=$t/stale|-SI:localuser:root|0|69|nothing|0|told
no display at all: the user is told|-u DISPLAY|-SI:localuser:root|0|1|nothing|0|told
none when access control is off (the last case: nothing turns it on again)||+|0|0|in|0|
EOT
grep -q 'root не может открыть дисплей X «:7»' /var/log/zaviron.log || { echo "FAIL: no log line"; failed=1; }
[ $failed = 0 ] && echo "launcher: all cases passed"
