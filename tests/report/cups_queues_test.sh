#!/usr/bin/env bash
# Each kind on its own printer, through a real CUPS scheduler with two queues: Stampanti.txt sends
# ODL to one queue and FVV to the other; PRE names a queue that no longer exists and must print on
# the default printer with a log line. Which queue took a job is read from CUPS's own job list
# (lpstat -W all -o QUEUE); the queues hand their jobs to /dev/null, so no filter runs.
# Usage: cups_queues_test.sh REPORTTOOL TEMPLATES_FOLDER
# Exit 77 (skipped) when CUPS is missing or cupsd cannot be started.
set -u
tool=$1
templates=$2
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

. "$(dirname "$0")/../../scripts/cups-pdf.sh"

work=$(mktemp -d)
cleanup() {
    lpadmin -x VelarixOfficina 2>/dev/null
    lpadmin -x VelarixUfficio 2>/dev/null
    rm -rf "$work"
    cups_stop
}
trap cleanup EXIT
cups_start "$work"
cups_null_queue VelarixOfficina
cups_null_queue VelarixUfficio
lpoptions -d VelarixOfficina >/dev/null || skip "cannot make VelarixOfficina the default printer"

jobs_on() { lpstat -W all -o "$1" 2>/dev/null | grep -c "^$1-"; }

folder="$work/program/"
mkdir -p "$folder"
for kind in ODL PRE FVV; do cp "$templates"/ODL.rpt "$folder/$kind.rpt"; done
cp "$templates"/logo.png "$folder/"
"$tool" sample ODL 1 1 "$folder/Documenti.mdb" || fail "sample database"
printf 'ODL=VelarixOfficina\r\nFVV=VelarixUfficio\r\nPRE=VelarixSmontata\r\n' >"$folder/Stampanti.txt"

before_o=$(jobs_on VelarixOfficina)
before_u=$(jobs_on VelarixUfficio)
print() {
    output=$("$tool" print "$folder" "$1" 1 "$2" 2>&1) || { echo "$output"; fail "$1 did not print"; }
    echo "$output"
}
print FVV 2
[ "$(jobs_on VelarixUfficio)" -eq $((before_u + 2)) ] || fail "FVV: two jobs expected on VelarixUfficio"
[ "$(jobs_on VelarixOfficina)" -eq "$before_o" ] || fail "FVV must not print on VelarixOfficina"
print ODL 1
[ "$(jobs_on VelarixOfficina)" -eq $((before_o + 1)) ] || fail "ODL: one job expected on VelarixOfficina"
print PRE 1
echo "$output" | grep -qx "log: Stampante VelarixSmontata non trovata: PRE sulla stampante predefinita" ||
    fail "PRE: the fallback to the default printer must be logged"
[ "$(jobs_on VelarixOfficina)" -eq $((before_o + 2)) ] || fail "PRE: one job expected on the default printer"
[ "$(jobs_on VelarixUfficio)" -eq $((before_u + 2)) ] || fail "PRE must not print on VelarixUfficio"
echo "OK: each kind on its queue, a vanished queue on the default printer"
