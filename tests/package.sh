#!/bin/sh
# The Debian package from the build tree given, judged as Debian judges it, then installed, upgraded, removed and
# purged; prints every check that fails.   tests/sandbox.sh --no-net -- sh tests/package.sh BUILD-DIR
# shellcheck disable=SC2015,SC2020
set -u
build=$(cd "$1" && pwd)
catalogue=/var/lib/zaviron/dataSoftware.db default=/usr/share/zaviron/dataSoftware.db log=/var/log/zaviron.log
desktop=/usr/share/applications/org.zaviron.Zaviron.desktop metainfo=/usr/share/metainfo/org.zaviron.Zaviron.metainfo.xml
policy=/usr/share/polkit-1/actions/org.zaviron.pkexec.policy
failed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
run() { out=$("$@" 2>&1) || { fail "$* ($(echo "$out" | tail -n 20))"; return 1; }; }
# A validator's warning fails as an error does.
clean() { out=$("$@" 2>&1) && ! echo "$out" | grep -Eq '(error|warning):' || fail "$*: $out"; }

[ "${ZAVIRON_SANDBOX:-}" = 1 ] || { echo "this script installs packages: run it inside tests/sandbox.sh" >&2; exit 2; }
export DEBIAN_FRONTEND=noninteractive
cd "$(mktemp -d /tmp/package.XXXXXX)" || exit 1
run cpack --config "$build/CPackConfig.cmake" -G DEB -B "$PWD" || exit 1
set -- ./zaviron_*.deb
[ $# = 1 ] || { echo "FAIL: cpack made $# packages"; exit 1; }
deb=$1
# The same files a version later, with another default catalogue.
run dpkg-deb -R "$deb" next && echo >> "next$default" && run sed -i 's/^Version: .*/&+next1/' next/DEBIAN/control &&
    run dpkg-deb -b next next.deb && run apt-get install -y "$deb" || exit 1

# What the program runs by name or loads belongs to a package it depends on (or one a dependency brings in).
names() { tr ',|' '\n\n' | sed 's/^ *//; s/[ :].*//' | grep .; }
direct=$(dpkg-deb -f "$deb" Depends | names)
depends=$(echo "$direct"; for name in $direct; do dpkg-query -W -f='${Depends}' "$name" 2>/dev/null | names; done)
# apt-add-repository only where the release has it; the terminal's data and the Qt 5 style follow the build's Qt.
qt=$(sed -n 's/^ZAVIRON_QT_MAJOR:INTERNAL=//p' "$build/CMakeCache.txt")
loaded=/usr/share/qtermwidget$qt/color-schemes
[ "$qt" = 5 ] && loaded="$loaded $(echo /usr/lib/*/qt5/plugins/styles/libqcleanlooksstyle.so)"
for path in $(for p in apt-get dpkg-query curl gpg pidof pkexec xhost; do command -v "$p" || echo "$p"; done) \
    $(command -v apt-add-repository) $loaded; do
    # With a merged /usr a file may be registered under /bin or /lib.
    owner=$(dpkg-query -S "$path" "${path#/usr}" 2>/dev/null | head -n 1 | cut -d: -f1 | names)
    [ -n "$owner" ] && echo "$depends" | grep -qxF "$owner" || fail "$path: in no package the program depends on ($owner)"
done

for file in /usr/bin/zaviron /usr/bin/zaviron-pkexec; do [ -x "$file" ] || fail "$file is not installed"; done
tr -d '\n' < "$policy" | grep -q 'exec.path">/usr/bin/zaviron-pkexec<.*exec.allow_gui">true<' || fail "polkit: no launcher action"
# Asked every time: an authorisation kept for the session would let any of its processes start us as root.
tr -d ' \n' < "$policy" | grep -q '<allow_any>auth_admin</allow_any><allow_inactive>auth_admin</allow_inactive><allow_active>auth_admin</allow_active>' ||
    fail "polkit: an authorisation is kept"
clean xmllint --noout --dtdvalid /usr/share/polkit-1/policyconfig-1.dtd "$policy"
grep -qx 'Exec=zaviron-pkexec' "$desktop" || fail "menu entry: not started through the launcher"
clean desktop-file-validate "$desktop"
grep -q '<launchable type="desktop-id">org.zaviron.Zaviron.desktop<' "$metainfo" || fail "metainfo: no launchable"
clean appstreamcli validate --no-net "$metainfo"
# No error and no warning but one: the start-up looks at dpkg's lock file, which lintian flags.
out=$(lintian "$deb" 2>&1) && ! echo "$out" | grep -E '^[EW]: ' | grep -qv '^W: zaviron: uses-dpkg-database-directly ' ||
    fail "lintian: $out"

# From a fresh installation: whether the catalogue was edited, and the apt-get command.
cp "$build/dataSoftware.db" built.db && cp next/$default next.db && { cat built.db; echo edited; } > edited.db
for step in "edited install -y ./next.deb" "untouched install -y ./next.deb" "edited remove -y zaviron" "edited purge -y zaviron"; do
    # shellcheck disable=SC2086 # split into words on purpose
    set -- $step
    edit=$1 expected=edited.db
    shift
    [ "$edit" = untouched ] && expected=next.db
    [ "$1" = purge ] && expected=
    run dpkg --purge zaviron && run apt-get install -y "$deb" && cmp -s "$catalogue" built.db || fail "$step: not seeded"
    [ "$edit" = untouched ] || echo edited >> "$catalogue"
    echo '[01.01.2024 10:00:00]  started' > "$log"
    run apt-get "$@"
    [ "$1" = install ] && ! cmp -s "$default" next.db && fail "$step: the default catalogue was not replaced"
    [ "$1" = install ] || [ ! -e "$default" ] || fail "$step: the default catalogue is left"
    if [ -n "$expected" ]; then cmp -s "$catalogue" "$expected" || fail "$step: the catalogue is not the $expected one"
    else [ ! -e "$catalogue" ] || fail "$step: the catalogue is left"; fi
    [ "$1" = purge ] && [ -e "$log" ] && fail "$step: the log is left"
    [ "$1" = purge ] || [ -e "$log" ] || fail "$step: the log is gone"
done
[ $failed = 0 ] && echo "package: all checks passed"
