#!/usr/bin/env bash
# The server package's maintainer scripts, run into a scratch root (DPKG_ROOT) with the system
# commands they call replaced by recorders: install, upgrade over the office's edits and over
# links planted in the folder, remove, purge.
set -euo pipefail
DEBS=$1 VERSION=$2
. "$(dirname "$0")/common.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root stubs=$work/stubs calls=$work/calls.log
dpkg-deb -x "$SERVER_DEB" "$root"
dpkg-deb -e "$SERVER_DEB" "$work/control"
mkdir -p "$stubs"
: >"$calls"
for command in groupadd useradd usermod gpasswd chown \
    deb-systemd-helper deb-systemd-invoke systemctl net; do
    printf '#!/bin/sh\necho "%s $*" >>"%s"\n' "$command" "$calls" >"$stubs/$command"
done
# getent knows what groupadd and useradd made, and Samba's usershare group.
cat >"$stubs/getent" <<STUB
#!/bin/sh
[ "\$2" = sambashare ] && exit 0
[ "\$1" = group ] && exec grep -q "^groupadd .*\$2\\\$" "$calls"
exec grep -q "^useradd .*\$2\\\$" "$calls"
STUB
chmod +x "$stubs"/*

run() { DPKG_ROOT=$root PATH=$stubs:$PATH sh "$work/control/$1" "${@:2}"; }
count() { grep -c "$1" "$calls" || true; }
folder=$root/var/lib/velarix

# First install.
run postinst configure ""
for file in Client/ODL.rpt Client/PRE.rpt Client/FOM.rpt Client/FVV.rpt Client/logo.png; do
    [ -s "$folder/$file" ] || fail "install: no $file"
done
[ -d "$folder/Stampe" ] || fail "install: no print folder"
[ "$(head -c 15 "$folder/Client/Documenti.mdb")" = "SQLite format 3" ] || fail "install: database"
cmp -s "$folder/VelarixUpd" "$root/usr/lib/velarix/VelarixUpd" || fail "install: updater"
[ "$(stat -c %a "$folder")" = 2750 ] || fail "install: folder mode $(stat -c %a "$folder")"
[ "$(count '^useradd --system --gid velarix .* _velarix$')" = 1 ] || fail "install: user"
[ "$(count "^chown -h _velarix:velarix $folder/Stampe\$")" = 1 ] || fail "install: print folder"
[ "$(count '^deb-systemd-helper enable velarix-server.service$')" = 1 ] || fail "install: enable"
# The web page's pair: for this host, the key the service user's alone, in the service's folder.
web=$folder/.web
[ "$(stat -c %a "$web")/$(stat -c %a "$web/server.key")" = 700/600 ] || fail "install: .web modes"
openssl x509 -in "$web/server.crt" -noout -ext subjectAltName | grep -q "DNS:$(hostname)" &&
    openssl pkey -in "$web/server.key" -noout || fail "install: web certificate or key"
[ "$(count "^chown -h _velarix:velarix $web\$")/$(count "^chown -h _velarix:.*/server.key ")" = 1/1 ] ||
    fail "install: .web owner"
certificate=$(md5sum <"$web/server.crt")

# The office edits a template and its letterheads; an older updater lies in the share.
echo "; edited by the office" >>"$folder/Client/FOM.rpt"
edited=$(md5sum <"$folder/Client/FOM.rpt")
echo "old updater" >"$folder/VelarixUpd"

# Links an older package's service user could plant, each to somewhere outside the folder.
outside=$work/outside && mkdir -p "$outside" && echo "not the updater" >"$outside/victim"
ln -sfn "$outside/victim" "$folder/.VelarixUpd.new"
ln -sfn "$outside/missing/ODL.rpt" "$folder/Client/ODL.rpt"
ln -sfn "$outside/Documenti.mdb" "$folder/Client/Documenti.mdb"
ln -sfn "$outside" "$folder/Client/logo.png"
before=$(find "$outside" -printf '%p %s %T@\n' | sort)

# Upgrade: nothing of the office's is replaced, the updater follows the package, no second user,
# no link followed, nothing changed below the folder but what the package adds.
run postinst configure 1.0.0.0
[ "$(find "$outside" -printf '%p %s %T@\n' | sort)" = "$before" ] || fail "upgrade wrote outside"
[ "$(md5sum <"$folder/Client/FOM.rpt")" = "$edited" ] || fail "upgrade replaced a template"
cmp -s "$folder/VelarixUpd" "$root/usr/lib/velarix/VelarixUpd" || fail "upgrade kept an old updater"
[ "$(count '^groupadd')" = 1 ] && [ "$(count '^useradd')" = 1 ] || fail "upgrade: user made twice"
[ "$(md5sum <"$web/server.crt")" = "$certificate" ] || fail "upgrade replaced the web certificate"
# A link in place of .web/ goes; the new pair is made in a folder of its own.
rm -rf "$web" && ln -sfn "$outside" "$web"
run postinst configure 1.0.0.0
[ ! -L "$web" ] && [ -s "$web/server.key" ] || fail "upgrade: .web link kept"
[ "$(find "$outside" -printf '%p %s %T@\n' | sort)" = "$before" ] || fail "upgrade wrote outside"

# Remove keeps the data and withdraws the share; purge deletes the data.
run prerm remove
run postrm remove
[ "$(md5sum <"$folder/Client/FOM.rpt")" = "$edited" ] || fail "remove lost the data"
[ "$(count '^net usershare delete Velarix$')" = 1 ] || fail "remove: share left published"
run postrm purge
[ ! -e "$folder" ] || fail "purge left $folder"
run postrm purge # a second purge finds nothing to do
echo "maintainer scripts: install, upgrade, remove, purge as expected"
