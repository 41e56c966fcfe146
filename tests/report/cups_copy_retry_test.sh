#!/usr/bin/env bash
# A printer that takes the first copy of an invoice and refuses the second, with the real server
# and client and a real CUPS queue (on file:/dev/null): the client answers nothing, and when the queue takes
# jobs again the server's next offer prints the second copy only. The queue stops accepting jobs
# just before the client asks about it for the second copy (a stand-in lpstat counts the asks and
# runs cupsreject, then the real lpstat answers). Jobs are counted in CUPS's own job list.
# Usage: cups_copy_retry_test.sh BIN_DIR SOURCE_DIR
# Exit 77 (skipped) when CUPS is missing or cupsd cannot be started.
set -u
BIN=$1 SOURCE=$2
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
. "$SOURCE/scripts/cups-pdf.sh"
command -v cupsreject >/dev/null || skip "cupsreject not installed"

work=$(mktemp -d)
cleanup() {
    for pid in ${CLIENT_PID:-} ${SERVER_PID:-}; do
        kill -TERM "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    lpadmin -x VelarixRetry 2>/dev/null
    rm -rf "$work"
    cups_stop
}
trap cleanup EXIT
cups_start "$work"
cups_null_queue VelarixRetry
lpstat=$(command -v lpstat)

# The server folder with two copies of an invoice (FOM), and a workstation up to date with it
# that prints invoices on VelarixRetry.
srv=$work/server cl=$work/client tools=$work/tools
mkdir -p "$srv/Client" "$srv/Stampe" "$cl" "$tools"
cp "$SOURCE"/templates/*.rpt "$SOURCE"/templates/*.png "$srv/Client/"
"$BIN/velarix-letterheads" --no-update-flag "$srv/Client/Documenti.mdb" \
    "$SOURCE/templates/sample-letterheads.csv" >/dev/null || fail "letterheads"
printf '%s\r\n' '\\localhost\Velarix\Stampe\' 1 1 1 2 1 1 0 0 >"$srv/Client/Copie.txt"
cp "$srv"/Client/* "$cl/"
cp "$BIN/VelarixSrv" "$srv/" && cp "$BIN/VelarixCL" "$cl/"
printf '127.0.0.1\r\n' >"$cl/IPHost.set"
printf 'FOM=VelarixRetry\r\n' >"$cl/Stampanti.txt"
printf '#!/bin/sh\nexit 0\n' >"$tools/net"
cat >"$tools/lpstat" <<EOT
#!/bin/sh
if [ "\$1" = -a ]; then
    echo x >>"$work/asked"
    [ "\$(wc -l <"$work/asked")" -eq 2 ] && cupsreject VelarixRetry
fi
exec "$lpstat" "\$@"
EOT
chmod +x "$tools/net" "$tools/lpstat"

. "$SOURCE/tests/support/freeports.sh"
base=$(free_ports)
export PATH=$tools:$PATH QT_QPA_PLATFORM=offscreen VELARIX_UNATTENDED=1 VELARIX_TIMER_SCALE=30
export VELARIX_BASE_PORT=$base VELARIX_SHARE_ROOT=$srv VELARIX_LOCK_DIR=$work/lock
export VELARIX_SHARE_GROUP=$(id -gn) XDG_CONFIG_HOME=$work/config VELARIX_PC_NAME=VELARIXDEMO
(cd "$srv" && exec ./VelarixSrv) 2>"$work/server.err" &
SERVER_PID=$!
(cd "$cl" && exec ./VelarixCL) 2>"$work/client.err" &
CLIENT_PID=$!

waited() { # SECONDS COMMAND...: true once the command succeeds
    local tries=$(($1 * 10))
    shift
    until "$@" 2>/dev/null; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}
jobs=$(lpstat -W all -o VelarixRetry 2>/dev/null | grep -c "^VelarixRetry-")
cp "$SOURCE/examples/FOM01533.002" "$srv/.drop" && mv "$srv/.drop" "$srv/Stampe/FOM01533.002"
waited 30 grep -q "Errore stampante: 20505" "$cl/VXCreg.txt" ||
    fail "the refused second copy was not reported: $(tail -n 5 "$cl/VXCreg.txt" 2>&1)"
[ -e "$srv/Stampe/FOM01533.002.PRN" ] || fail "the print file did not wait for its second copy"
[ "$(lpstat -W all -o VelarixRetry | grep -c "^VelarixRetry-")" -eq $((jobs + 1)) ] ||
    fail "the first attempt should have sent exactly the first copy"

cupsaccept VelarixRetry
waited 30 sh -c "! ls '$srv'/Stampe/FOM01533.002* >/dev/null" || fail "the file was not printed once accepted"
printed=$(lpstat -W all -o VelarixRetry | grep -c "^VelarixRetry-")
[ "$printed" -eq $((jobs + 2)) ] ||
    fail "expected the two copies once each, CUPS took $((printed - jobs)) jobs"
echo "OK: the first copy printed once, the second when the queue took jobs again"
