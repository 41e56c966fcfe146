#!/usr/bin/env bash
# Runs Velarix end to end on this machine: a print server and a workstation client in folders of
# their own under demo-run/, printing to PDF. Drops one sample print file of each kind, waits for
# the PDFs, turns page 1 of each into a PNG and stops both programs.
set -euo pipefail

BUILD=${1:-build}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN="$ROOT/$BUILD/bin"
RUN="$ROOT/demo-run"
SERVER="$RUN/server"
CLIENT="$RUN/client"
PDF="$RUN/pdf"
PORT=${VELARIX_BASE_PORT:-1500}
WORKSTATION=VELARIXDEMO

if [ -z "${DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM=offscreen
fi
export VELARIX_UNATTENDED=1 VELARIX_BASE_PORT=$PORT
# The share is published for a group that exists here (the package makes the group velarix).
export VELARIX_SHARE_GROUP=${VELARIX_SHARE_GROUP:-$(id -gn)}

now_ms() { date +%s%3N; }

stop_all() {
    for pid in ${CLIENT_PID:-} ${SERVER_PID:-}; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    # An update hands the client over to a new process (the updater starts it), at start-up or
    # while it runs: every client started from the demo's folder ends too.
    pkill -TERM -f "^$CLIENT/VelarixCL" 2>/dev/null || true
    for pid in ${CLIENT_PID:-} ${SERVER_PID:-}; do
        wait "$pid" 2>/dev/null || true
    done
    for _ in $(seq 50); do
        pgrep -f "^$CLIENT/VelarixCL" >/dev/null || break
        sleep 0.1
    done
}
trap stop_all EXIT

echo "== Laying out the server and the workstation under $RUN"
rm -rf "$RUN"
mkdir -p "$SERVER/Client" "$SERVER/Stampe" "$CLIENT" "$PDF"
cp "$BIN/VelarixSrv" "$BIN/VelarixUpd" "$SERVER/"
cp "$ROOT"/templates/*.rpt "$SERVER/Client/"
cp "$ROOT"/templates/*.png "$SERVER/Client/" 2>/dev/null || true
"$BIN/velarix-letterheads" "$SERVER/Client/Documenti.mdb" "$ROOT/templates/sample-letterheads.csv" >/dev/null
printf '%s\r\n' '\\localhost\Velarix\Stampe\' 1 1 1 1 1 1 0 0 > "$SERVER/Client/Copie.txt"
# The workstation starts with its program and the server's address only: its first start fetches
# everything else from the server's Client folder through the updater.
cp "$BIN/VelarixCL" "$CLIENT/"
printf 'localhost\r\n' > "$CLIENT/IPHost.set"

# The server publishes its folder as the Samba share "Velarix" at every start and registers itself
# to start at log-on; the demo runs on this machine only, so a stand-in `net` keeps it from leaving
# a share behind.
mkdir -p "$RUN/tools"
printf '#!/bin/sh\nexit 0\n' > "$RUN/tools/net"
chmod +x "$RUN/tools/net"
export PATH="$RUN/tools:$PATH"
# Likewise the start-at-log-on entries the programs write go into the demo's folder.
export XDG_CONFIG_HOME="$RUN/config"

echo "== Starting VelarixSrv (ports $PORT-$((PORT + 24)))"
(cd "$SERVER" && exec ./VelarixSrv) 2>"$RUN/server.err" &
SERVER_PID=$!
for _ in $(seq 100); do
    grep -q "Listen\|Libera\|Apertura Programma" "$SERVER/VXreg.txt" 2>/dev/null && break
    sleep 0.1
done
sleep 3 # the server pauses two seconds after publishing its share

echo "== Starting VelarixCL as workstation $WORKSTATION"
export VELARIX_SHARE_ROOT="$SERVER" VELARIX_PC_NAME=$WORKSTATION VELARIX_PDF_DIR="$PDF"
(cd "$CLIENT" && exec ./VelarixCL) 2>"$RUN/client.err" &
CLIENT_PID=$!

registered=""
for _ in $(seq 300); do
    if grep -q "al pc:$WORKSTATION" "$SERVER/VXreg.txt" 2>/dev/null; then registered=yes; break; fi
    # The updater replaces the first client process with a new one.
    if ! kill -0 "$CLIENT_PID" 2>/dev/null; then
        CLIENT_PID=$(pgrep -f "$CLIENT/VelarixCL" | head -n1 || true)
    fi
    sleep 0.1
done
if [ -z "$registered" ]; then
    echo "The workstation did not register with the server; see $RUN/*.err and the logs." >&2
    exit 1
fi
CLIENT_PID=$(pgrep -f "$CLIENT/VelarixCL" | head -n1 || echo "$CLIENT_PID")
echo "   registered"

echo "== Dropping one print file of each kind"
declare -A dropped
for f in "$ROOT"/examples/*.0[0-9][0-9]; do
    name=$(basename "$f")
    # Written beside the folder and moved in, as a finished file.
    cp "$f" "$SERVER/.$name.tmp"
    mv "$SERVER/.$name.tmp" "$SERVER/Stampe/$name"
    dropped[$name]=$(now_ms)
done

echo "== Waiting for the PDFs"
declare -A done_at=()
finished=0
for _ in $(seq 600); do
    for name in "${!dropped[@]}"; do
        [ -n "${done_at[$name]:-}" ] && continue
        kind=${name:0:3}
        if ls "$PDF"/"$kind"*.pdf >/dev/null 2>&1 && [ ! -e "$SERVER/Stampe/$name.PRN" ] \
            && [ ! -e "$SERVER/Stampe/$name" ]; then
            done_at[$name]=$(now_ms)
            finished=$((finished + 1))
        fi
    done
    [ "$finished" -eq "${#dropped[@]}" ] && break
    sleep 0.05
done

status=0
for name in $(printf '%s\n' "${!dropped[@]}" | sort); do
    kind=${name:0:3}
    pdf=$(ls "$PDF"/"$kind"*.pdf 2>/dev/null | head -n1 || true)
    if [ -z "${done_at[$name]:-}" ] || [ -z "$pdf" ]; then
        echo "   $name: NOT printed" >&2
        status=1
        continue
    fi
    png="${pdf%.pdf}"
    pdftoppm -png -r 80 -f 1 -l 1 -singlefile "$pdf" "$png"
    echo "   $name -> $pdf ($(( done_at[$name] - dropped[$name] )) ms from drop to printed), page 1: $png.png"
done

echo "== Stopping both programs"
stop_all
trap - EXIT
echo "   logs: $SERVER/VXreg.txt, $CLIENT/VXCreg.txt"
exit $status
