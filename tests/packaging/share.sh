#!/usr/bin/env bash
# The server package installed by its postinst as root, in a mount namespace whose /etc is a copy
# (the users it makes go with it): the service's user cannot change what workstations run, the
# unit's own command publishes the share, and a real smbd shows it read-only to the group only.
set -euo pipefail
DEBS=$1 VERSION=$2 SOURCE=$3
. "$(dirname "$0")/common.sh"

[ "$(id -u)" = 0 ] && unshare -m true 2>/dev/null ||
    { echo "SKIP: needs root and a mount namespace (unshare -m)" && exit 77; }
[ -n "${VELARIX_PRIVATE_ETC:-}" ] ||
    exec env VELARIX_PRIVATE_ETC=1 unshare -m --propagation private "$0" "$@"

work=$(mktemp -d)
cleanup() {
    [ $? -eq 0 ] || tail -n 20 "$work"/samba/log* 2>/dev/null >&2
    kill -TERM ${SMBD_PID:-} 2>/dev/null || true
    wait && rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work" # the office's accounts reach the share below it
cp -a /etc "$work/etc"
mount --bind "$work/etc" /etc
root=$work/root folder=$work/root/var/lib/velarix
dpkg-deb -x "$SERVER_DEB" "$root"
dpkg-deb -e "$SERVER_DEB" "$work/control"
mkdir -p "$work/bin" # the host's service manager is not this root's
for c in deb-systemd-helper deb-systemd-invoke systemctl; do ln -s /bin/true "$work/bin/$c"; done
DPKG_ROOT=$root PATH=$work/bin:$PATH sh "$work/control/postinst" configure ""

# The service's user reads the share but writes only the print folder.
as_service() { setpriv --reuid=_velarix --regid=velarix --init-groups "$@" 2>/dev/null; }
as_service test -r "$folder/VelarixUpd" -a -r "$folder/Client/FOM.rpt" || fail "service cannot read"
as_service touch "$folder/Stampe/probe" || fail "service cannot write its print folder"
for f in VelarixUpd Client Client/FOM.rpt Client/Documenti.mdb; do
    if as_service sh -c ": >>'$folder/$f' || mv '$folder/$f' '$folder/Stampe/'"; then
        fail "service can change $f"
    fi
done
unit=$root/lib/systemd/system/velarix-server.service
socket=$(sed -n 's/^Environment=VELARIX_ADMIN_SOCKET=%t/\/run/p' "$unit")
[ "$(readlink "$folder/.VelarixSrv.admin")" = "$socket" ] || fail "admin link is not the unit's"

# A scratch Samba on a free port; net and smbd read its configuration only. Guests are let in
# by the server, so that only the share itself can keep them out.
. "$SOURCE/tests/support/freeports.sh"
port=$(free_ports) samba=$work/samba conf=$work/samba/smb.conf
mkdir -p "$samba/usershares" "$samba/state"
chmod 1770 "$samba/usershares"
{
    echo "[global]"
    printf '%s\n' "server role = standalone server" "smb ports = $port" "interfaces = 127.0.0.1" \
        "bind interfaces only = yes" "disable netbios = yes" "map to guest = bad user" \
        "passdb backend = tdbsam:$samba/passdb.tdb" "log file = $samba/log" \
        "usershare path = $samba/usershares" "usershare max shares = 10" \
        "usershare allow guests = yes"
    for place in "private dir" "lock directory" "state directory" "cache directory" \
        "pid directory" "ncalrpc dir"; do echo "$place = $samba/state"; done
} >"$conf"
printf '#!/bin/sh\nexec %s -s %s "$@"\n' "$(command -v net)" "$conf" >"$work/bin/net" &&
    chmod +x "$work/bin/net"
for account in mario luigi; do
    useradd --no-create-home --shell /usr/sbin/nologin "$account"
    printf 'segreta\nsegreta\n' | smbpasswd -c "$conf" -s -a "$account" >/dev/null
done
usermod --append --groups velarix mario # luigi has an account but is not of the office

# The unit's own command, as root, publishes the share.
publish=$(sed -n 's/^ExecStartPre=[-+@!:]*//p' "$unit" |
    sed -e "s|/var/lib/velarix|$folder|g" -e "s|/usr/|$root/usr/|g")
PATH=$work/bin:$PATH $publish >"$work/published" || fail "share not published"
# What a user may not open is named, with the user.
denied=$(setpriv --reuid=luigi --regid=luigi --init-groups "$root/usr/sbin/velarix-admin" \
    --folder "$folder" letterheads 2>&1 || true)
[ "$denied" = "Permesso negato: $folder/Client (utente luigi)" ] || fail "denial: $denied"

smbd --foreground --debug-stdout -s "$conf" >"$samba/log.smbd" 2>&1 &
SMBD_PID=$!
wait_for 20 "smbd's port" bash -c "exec 3<>/dev/tcp/127.0.0.1/$port"
# What smbclient said, whatever its exit status.
smb() { smbclient -s "$conf" -p "$port" "$@" 2>&1 || true; }
smb -L 127.0.0.1 -U mario%segreta -g | grep -q '^Disk|Velarix|' || fail "mario does not see Velarix"
smb //127.0.0.1/Velarix -U mario%segreta -c "get VelarixUpd $work/fetched" >/dev/null
cmp -s "$work/fetched" "$root/usr/lib/velarix/VelarixUpd" || fail "mario cannot fetch the updater"
smb //127.0.0.1/Velarix -U mario%segreta -c "put $work/fetched Scritto" | grep -q ACCESS_DENIED ||
    fail "the share is writable"
# Refused at the door, before the folder's own rights: a guest, an account not of the group.
for who in "-N" "-U luigi%segreta"; do
    smb //127.0.0.1/Velarix $who -c exit | grep -q "tree connect failed: NT_STATUS_ACCESS_DENIED" ||
        fail "$who may open the share"
done
echo "share Velarix published by the unit, read-only for the group; $(cat "$work/published")"
