#!/usr/bin/env bash
# A workstation that vanishes without a close (cable pulled): keep-alive tells the server, its port
# listens again and the log names the address. The workstation has a network namespace of its own,
# joined by a veth pair whose far end goes down. Usage: deadpeer_test.sh BIN_DIR
# Exit 77 (skipped) where network namespaces or veth pairs cannot be made.
set -u
BIN=$1
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
if [ -z "${VX_PRIVATE_NET:-}" ]; then
    unshare -n true 2>/dev/null || skip "no private network namespace (needs root)"
    VX_PRIVATE_NET=1 exec unshare -n "$0" "$@"
fi
work=$(mktemp -d)
trap 'kill ${SERVER_PID:-} ${PEER_PID:-} ${HOLDER_PID:-} 2>/dev/null; wait; rm -rf "$work"' EXIT
ip link set lo up
ip link add vx0 type veth peer name vx1 2>/dev/null || skip "no veth pairs here"
unshare -n sleep 600 &
HOLDER_PID=$!
waited() { for _ in $(seq 600); do "$@" 2>/dev/null && return 0; sleep 0.1; done; return 1; }
apart() { [ "$(readlink /proc/$HOLDER_PID/ns/net)" != "$(readlink /proc/$$/ns/net)" ]; }
waited apart || fail "no namespace for the workstation"
ws() { nsenter -t "$HOLDER_PID" -n "$@"; }
ip link set vx1 netns "$HOLDER_PID" && ip addr add 10.77.0.1/24 dev vx0 && ip link set vx0 up &&
    ws ip link set lo up && ws ip addr add 10.77.0.2/24 dev vx1 && ws ip link set vx1 up ||
    fail "the link between the namespaces"

srv=$work/server
mkdir -p "$srv/Client" "$work/Stampe" "$work/tools"
printf '%s\r\n' "$work/Stampe/" 1 1 1 1 1 1 0 0 >"$srv/Client/Copie.txt"
printf '#!/bin/sh\nexit 0\n' >"$work/tools/net" && chmod +x "$work/tools/net"
# The namespace is the test's own: the usual ports are free. Dead-peer time 110 s / 20.
export PATH=$work/tools:$PATH QT_QPA_PLATFORM=offscreen VELARIX_UNATTENDED=1
export VELARIX_TIMER_SCALE=20 VELARIX_BASE_PORT=1500 VELARIX_LOCK_DIR=$work/lock
(cd "$work" && exec "$BIN/VelarixSrv" --service --folder "$srv") 2>"$work/server.err" &
SERVER_PID=$!
log() { cat "$work/VXreg.txt" 2>/dev/null; }
waited sh -c "ss -ltn | grep -q ':1500 '" || fail "the server did not listen: $(cat "$work/server.err")"

nsenter -t "$HOLDER_PID" -n bash -c 'exec 3<>/dev/tcp/10.77.0.1/1500 && printf "PC:SPARITO\r" >&3 && exec sleep 600' &
PEER_PID=$!
waited sh -c "cat '$work/VXreg.txt' | grep -q 'al pc:SPARITO'" || fail "no registration: $(log)"

ws ip link set vx1 down
start=$(date +%s)
waited sh -c "ss -ltn | grep -q ':1500 '" || fail "port 1500 still held after 60 s: $(log | tail -5)"
log | grep -E "1500.*10\.77\.0\.2" | tail -1 | grep -Eq "chiusa|errore" ||
    fail "no close line naming the address: $(log | tail -5)"
echo "OK: the vanished workstation's port listened again after $(($(date +%s) - start)) s"
