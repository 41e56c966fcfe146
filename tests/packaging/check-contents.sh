#!/usr/bin/env bash
# The two packages' control fields and contents, as dpkg-deb shows them, and Debian's own checks:
# lintian finds no error and no warning, every program is hardened (hardening-check), and
# systemd-analyze rates the service's sandbox at most 2.0 (0 is tight, 10 is none).
set -euo pipefail
DEBS=$1 VERSION=$2 KIND=${3:-release} # KIND: release, or sanitized (never shipped)
. "$(dirname "$0")/common.sh"

for deb in "$SERVER_DEB" "$CLIENT_DEB"; do
    [ "$(dpkg-deb -f "$deb" Version)" = "$VERSION" ] || fail "$deb: version"
    [ "$(dpkg-deb -f "$deb" Architecture)" = "$ARCH" ] || fail "$deb: architecture"
    depends=$(dpkg-deb -f "$deb" Depends)
    # Found by dpkg-shlibdeps, and the SQLite driver Qt loads at run time.
    for package in libqt6core6 libqt6network6 libqt6sql6 libqt6sql6-sqlite; do
        [[ ",$depends," =~ [,\ ]$package[\ ,\(] ]] || fail "$deb: Depends lacks $package: $depends"
    done
    # Only FHS places; /var/lib/velarix is made by postinst, never shipped.
    if dpkg-deb -c "$deb" | awk '{print $6}' | grep -Ev '^\./(usr|etc|lib/systemd)(/|$)|^\./(lib/)?$'; then
        fail "$deb: files outside /usr, /etc, /lib/systemd"
    fi
done

[[ $(dpkg-deb -f "$SERVER_DEB" Depends) =~ (^|[ ,])samba([ ,]|$) ]] || fail "server: no samba"
[[ $(dpkg-deb -f "$CLIENT_DEB" Depends) =~ cups-client ]] || fail "client: no cups-client"
[[ $(dpkg-deb -f "$CLIENT_DEB" Depends) =~ libqt6printsupport6 ]] || fail "client: no printing"

contains() {
    local deb=$1
    shift
    local listing
    listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
    for path in "$@"; do
        grep -qx "\./${path#/}" <<<"$listing" || fail "$(basename "$deb") lacks $path"
    done
}
contains "$SERVER_DEB" /usr/lib/velarix/VelarixSrv /usr/lib/velarix/VelarixUpd \
    /usr/lib/velarix/velarix-server-setup /usr/share/velarix/templates/FOM.rpt \
    /usr/share/velarix/templates/logo.png /lib/systemd/system/velarix-server.service \
    /etc/default/velarix-server
contains "$CLIENT_DEB" /usr/lib/velarix/client/VelarixCL /usr/bin/velarix-client \
    /usr/share/applications/velarix-client.desktop /etc/xdg/autostart/VelarixCL.desktop
# Each program ships once: two packages owning one file cannot be installed together.
if dpkg-deb -c "$CLIENT_DEB" | grep -q 'VelarixSrv\|VelarixUpd'; then
    fail "client carries server files"
fi

# Maintainer scripts and conffiles, executable where dpkg runs them, valid shell.
control=$(mktemp -d)
trap 'rm -rf "$control"' EXIT
dpkg-deb -e "$SERVER_DEB" "$control/server"
dpkg-deb -e "$CLIENT_DEB" "$control/client"
for script in postinst prerm postrm; do
    [ -x "$control/server/$script" ] || fail "server: $script missing or not executable"
    sh -n "$control/server/$script" || fail "server: $script is not valid shell"
done
grep -qx /etc/default/velarix-server "$control/server/conffiles" || fail "server: conffiles"
grep -qx /etc/xdg/autostart/VelarixCL.desktop "$control/client/conffiles" || fail "client: conffiles"

lintian --fail-on error,warning "$SERVER_DEB" "$CLIENT_DEB" || fail "lintian"
dpkg-deb -x "$SERVER_DEB" "$control/files"
dpkg-deb -x "$CLIENT_DEB" "$control/files"
mapfile -t programs < <(find "$control/files" -type f \
    -exec sh -c 'head -c 4 "$1" | grep -q ELF' _ {} \; -print)
[ "${#programs[@]}" -ge 5 ] || fail "only ${#programs[@]} programs found"
# Debian 12's own C start files carry no control-flow mark, so no program there has one.
if [ "$KIND" = sanitized ]; then
    echo "hardening not checked: a sanitizer build"
else
    hardening-check --quiet --nocfprotection "${programs[@]}" || fail "not hardened"
fi
systemd-analyze security --offline=yes --threshold=20 \
    "$control/files/lib/systemd/system/velarix-server.service" >"$control/rating" ||
    fail "sandbox rated above 2.0: $(grep -v '✓' "$control/rating")"
echo "contents, control fields, lintian and hardening as expected; $(tail -n 1 "$control/rating")"
