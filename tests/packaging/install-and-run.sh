#!/usr/bin/env bash
# Both packages unpacked into a scratch root (dpkg -x): the installed server runs headless with
# the command line of its installed service unit, and the installed client, started through its
# launcher by a person with an empty home, updates itself from the server and prints to PDF.
set -euo pipefail
DEBS=$1 VERSION=$2 SOURCE=$3
. "$(dirname "$0")/common.sh"

work=$(mktemp -d)
cleanup() {
    # A failure shows what the programs said.
    [ $? -eq 0 ] || tail -n 20 "$work"/server.err "$work"/client.err 2>/dev/null >&2
    for pid in ${CLIENT_PIDS:-} ${SERVER_PID:-}; do kill -TERM "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
root=$work/root srv=$work/srv home=$work/home pdf=$work/pdf log=$work/log run=$work/run
mkdir -p "$root" "$home" "$pdf" "$log" "$run/velarix-server"
dpkg -x "$SERVER_DEB" "$root"
dpkg -x "$CLIENT_DEB" "$root"

export XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen
export VELARIX_UNATTENDED=1 VELARIX_TIMER_SCALE=30 VELARIX_HOLD_MINUTES=0.02
. "$SOURCE/tests/support/freeports.sh"
base=$(free_ports)
export VELARIX_BASE_PORT=$base

# The server folder as the package's postinst lays it out, set up with the admin command.
"$root/usr/lib/velarix/velarix-server-setup" "$srv"
admin() { "$root/usr/sbin/velarix-admin" --folder "$srv" "$@"; }
csv=$root/usr/share/velarix/templates/sample-letterheads.csv
if [ "$(id -u)" = 0 ]; then
    # A folder of another user: root reads the file it names before it becomes that user.
    chmod 755 "$work" && chown -R nobody: "$srv"
    mkdir -m 700 "$work/private" && cp "$csv" "$work/private/" && csv=$work/private/${csv##*/}
fi
admin import "$csv" >/dev/null
[ "$(id -u)" != 0 ] || chown -R root: "$srv"
# The web page's password, with .web/ laid out as the package does (the service user's: here
# nobody's when root runs this). The line kept is standard PBKDF2, for the owner of .web/ alone.
mkdir -m 700 "$srv/.web" && { [ "$(id -u)" != 0 ] || chown nobody: "$srv/.web"; }
echo "password del web" | admin web-password >/dev/null || fail "web-password"
if echo corta | admin web-password 2>/dev/null; then fail "a short web password taken"; fi
python3 - "$srv/.web/password" <<'CHECK' || fail "web password line: $(cat "$srv/.web/password")"
import base64, hashlib, sys
scheme, rounds, salt, digest = open(sys.argv[1]).read().strip().split('$')
sys.exit(scheme != 'pbkdf2-sha256' or base64.b64decode(digest) != hashlib.pbkdf2_hmac(
    'sha256', 'password del web'.encode(), base64.b64decode(salt), int(rounds)))
CHECK
[ "$(stat -c %a/%U "$srv/.web/password")" = "600/$(stat -c %U "$srv/.web")" ] || fail "web password mode"
[ "$(cat "$srv/Client/Aggiorna.txt")" = $'SI\r' ] || fail "import: Aggiorna.txt"
admin letterheads | grep -q "^  2  AUTORIPARAZIONI SANTORO" || fail "import: letterheads"
# A folder that cannot be listed is refused and nothing is written.
if admin print-folder '\\server\Velarix\Manca\' 2>"$work/refused"; then fail "missing folder taken"; fi
grep -q "Cartella non valida" "$work/refused" && [ ! -e "$srv/Client/Copie.txt" ] || fail "refusal"
admin print-folder '\\server\Velarix\Stampe\' >/dev/null
printf '%s\r\n' '\\server\Velarix\Stampe\' 1 1 1 1 1 1 0 0 >"$work/Copie.expected"
# Refused, Copie.txt as it was: a line feed, and folders holding what workstations run.
for folder in $'\\\\server\\Velarix\\Stampe\\\n1' '\\server\Velarix\' '\\server\Velarix\Client\'; do
    if admin --yes print-folder "$folder" 2>>"$work/refused"; then fail "taken: $folder"; fi
done
[ "$(grep -c "Carattere di controllo non ammesso\|riservata ai programmi" "$work/refused")" = 3 ] ||
    fail "refusals: $(cat "$work/refused")"
cmp "$srv/Client/Copie.txt" "$work/Copie.expected" || fail "Copie.txt not as the window writes it"

# The service's own command line, environment and folder, read from the installed unit.
# Its runtime folder (%t) and log folder are this run's own, and so is its one-per-machine lock.
unit=$root/lib/systemd/system/velarix-server.service
in_root() { sed -e "s|/var/lib/velarix|$srv|g;s|/var/log/velarix|$log|g" \
    -e "s|/usr/|$root/usr/|g;s|%t|$run|g"; }
exec_start=$(sed -n 's/^ExecStart=//p' "$unit" | in_root)
directory=$(sed -n 's/^WorkingDirectory=//p' "$unit" | in_root)
for assignment in $(sed -n 's/^Environment=//p' "$unit" | in_root); do export "${assignment?}"; done
[ -n "$exec_start" ] && [ "$directory" = "$log" ] || fail "unit: ExecStart or WorkingDirectory"
ln -s "$VELARIX_ADMIN_SOCKET" "$srv/.VelarixSrv.admin" # as the package's postinst links it
(cd "$directory" && unset DISPLAY WAYLAND_DISPLAY && exec $exec_start) 2>"$work/server.err" &
SERVER_PID=$!
wait_for 20 "the server's ports" bash -c "exec 3<>/dev/tcp/127.0.0.1/$base"
[ -e "$run/velarix-server/VelarixSrv.lock" ] || fail "lock not in the runtime folder"
# A service registers no start at log-on.
[ ! -e "$XDG_CONFIG_HOME/autostart/VelarixSrv.desktop" ] || fail "the service wrote an autostart entry"
[ ! -e "$srv/VelarixSrv.autostart" ] || fail "the service left an autostart marker"

# Changes made beside the running server are taken up without a restart.
admin --yes copies FOM=2 ODL2=3 >/dev/null
[ "$(sed -n '5p;7p' "$srv/Client/Copie.txt" | tr -d '\r' | tr '\n' ' ')" = "2 3 " ] || fail "copies"
wait_for 10 "the copies taken up" grep -q "Copie.txt modificato" "$log/VXreg.txt"
admin letterhead 7 "NUOVA DITTA S.r.l." "Via Roma 1" >/dev/null
[ "$(admin letterhead 7 | head -2 | tr '\n' '|')" = "1: NUOVA DITTA S.r.l.|2: Via Roma 1|" ] \
    || fail "letterhead 7 not stored"
wait_for 10 "the letterheads taken up" grep -q "Dati Ditta modificati" "$log/VXreg.txt"
admin delete-letterhead 7 >/dev/null
if admin letterheads | grep -q "^  7 "; then fail "letterhead 7 not deleted"; fi
if admin letterhead 7 >/dev/null 2>&1; then fail "a company without a row shown"; fi
if admin delete-letterhead 7 2>/dev/null; then fail "deleting a missing company succeeded"; fi

# A file for a workstation that is away is set aside after the hold time; the queue shows it.
cp "$SOURCE/examples/FOM01533.002" "$srv/.drop"
mv "$srv/.drop" "$srv/Stampe/FOM01533.002"
wait_for 30 "the file set aside" test -e "$srv/Stampe/FOM01533.002.PRN.ERR"
admin queue | grep -q "^messo da parte *FOM01533.002.PRN.ERR" || fail "queue: $(admin queue)"
# The installed service's web page lists it too (no certificate in this scratch root: plain HTTP
# on 127.0.0.1 alone).
python3 -c 'import sys, urllib.request; sys.exit(sys.argv[2] not in
urllib.request.urlopen(sys.argv[1]).read().decode())' \
    "http://127.0.0.1:$((base + 31))/attesa" FOM01533.002.PRN.ERR || fail "web page"

# A person's first start: the launcher seeds their own folder, the update fetches the server's
# Client folder into it, the client registers and prints.
mkdir -p "$home/.local/share/velarix"
printf '127.0.0.1\r\n' >"$home/.local/share/velarix/IPHost.set"
export HOME=$home VELARIX_SHARE_ROOT=$srv VELARIX_PC_NAME=VELARIXDEMO VELARIX_PDF_DIR=$pdf
"$root/usr/bin/velarix-client" 2>"$work/client.err" &
CLIENT_PIDS=$!
folder=$home/.local/share/velarix
wait_for 30 "the client's update" test -e "$folder/FOM.rpt"
wait_for 30 "the workstation's registration" grep -q "VELARIXDEMO" "$log/VXreg.txt"
CLIENT_PIDS="$CLIENT_PIDS $(pgrep -f "$folder/VelarixCL" | tr '\n' ' ')"
# Put back, the set-aside file is printed, in the two copies set above.
admin put-back FOM01533.002.PRN.ERR >/dev/null
wait_for 60 "the two printed copies" sh -c "[ \$(ls '$pdf' | grep -c '^FOM.*pdf$') -ge 2 ]"
wait_for 20 "the completion" sh -c "! ls '$srv'/Stampe/FOM01533.002*"
[ "$(ls "$pdf" | grep -c '^FOM.*pdf$')" = 2 ] || fail "not two copies"
pdftotext "$(ls "$pdf"/FOM*.pdf | head -n1)" - | grep -q "SANTORO" || fail "PDF without letterhead"
if admin put-back FOM01533.002.PRN.ERR 2>/dev/null; then fail "put back twice"; fi
cmp -s "$folder/VelarixCL" "$root/usr/lib/velarix/client/VelarixCL" || fail "client not seeded"
echo "installed server and client printed FOM01533.002"
