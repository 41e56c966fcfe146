#!/usr/bin/env bash
# A full disk under a running server: velarix-admin's saves fail, say why and change nothing, and
# the server keeps printing from the print folder it had. The server folder is a small tmpfs in a
# mount namespace of the test's own. Usage: fulldisk_test.sh BIN_DIR SOURCE_DIR
# Exit 77 (skipped) where no private mount namespace or tmpfs can be made.
set -u
BIN=$1 SOURCE=$2
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
if [ -z "${VX_PRIVATE_MOUNTS:-}" ]; then
    unshare -m true 2>/dev/null || skip "no private mount namespace (needs root)"
    VX_PRIVATE_MOUNTS=1 exec unshare -m --propagation private "$0" "$@"
fi
work=$(mktemp -d) disk=$(mktemp -d)
mount -t tmpfs -o size=1m tmpfs "$disk" || skip "tmpfs cannot be mounted here"
trap 'kill -TERM ${SERVER_PID:-} 2>/dev/null; wait; umount "$disk"; rm -rf "$work" "$disk"' EXIT
srv=$disk/server
mkdir -p "$srv/Client" "$disk/Stampe" "$work/tools"
printf '%s\r\n' "$disk/Stampe/" 1 1 1 1 1 1 0 0 >"$srv/Client/Copie.txt"
"$BIN/velarix-letterheads" --no-update-flag "$srv/Client/Documenti.mdb" \
    "$SOURCE/templates/sample-letterheads.csv" >/dev/null || fail "letterheads"
cp "$srv/Client/Copie.txt" "$work/Copie.before"
printf '#!/bin/sh\nexit 0\n' >"$work/tools/net" && chmod +x "$work/tools/net"
. "$SOURCE/tests/support/freeports.sh"
export PATH=$work/tools:$PATH QT_QPA_PLATFORM=offscreen VELARIX_UNATTENDED=1
export VELARIX_TIMER_SCALE=30 VELARIX_BASE_PORT=$(free_ports) VELARIX_LOCK_DIR=$work/lock
(cd "$work" && exec "$BIN/VelarixSrv" --service --folder "$srv") 2>"$work/server.err" &
SERVER_PID=$!
admin() { "$BIN/velarix-admin" --folder "$srv" "$@" 2>"$work/admin.err"; }
waited() { for _ in $(seq 300); do "$@" 2>/dev/null && return 0; sleep 0.1; done; return 1; }
waited admin queue >/dev/null || fail "the server did not start: $(cat "$work/server.err")"

dd if=/dev/zero of="$disk/fill" bs=4k 2>/dev/null
for save in "copies FOM=2" "letterhead 7 NUOVA" "print-folder $disk/Stampe/"; do
    admin $save >/dev/null && fail "velarix-admin $save said it saved on a full disk"
    grep -q "Disco pieno: impostazioni non salvate" "$work/admin.err" ||
        fail "velarix-admin $save did not say why: $(cat "$work/admin.err")"
done
cmp -s "$srv/Client/Copie.txt" "$work/Copie.before" || fail "Copie.txt changed on a full disk"

rm "$disk/fill"
printf 'PC:UFFICIO\r\n' >"$disk/Stampe/DOPO.001"
waited test ! -e "$disk/Stampe/DOPO.001" || fail "the server stopped taking print files"
echo "OK: every save on the full disk failed and said why; Copie.txt stayed, printing went on"
