#!/usr/bin/env bash
# Prints a two-page document twice through a real CUPS queue (cups-pdf as the default printer)
# through the report engine on the default printer, and checks the two jobs that land in $HOME/PDF by page count
# (cups-pdf re-encodes the fonts, so the text is not compared here). Then the queue rejects jobs:
# the print must fail with 20505, not succeed.
# Usage: cups_print_test.sh REPORTTOOL TEMPLATES_FOLDER
# Exit 77 (skipped) when CUPS, cups-pdf or poppler-utils are missing or cupsd cannot be started.
set -u
tool=$1
templates=$2
skip() { echo "SKIP: $*"; exit 77; }

command -v pdfinfo >/dev/null 2>&1 || skip "pdfinfo not installed"
. "$(dirname "$0")/../../scripts/cups-pdf.sh"

# The scheduler, the default printer, the queue and $HOME/PDF belong to the whole machine: a second
# run at the same time (another build tree) would reject or delete this one's jobs. One at a time.
if command -v flock >/dev/null; then
    exec 9>"${TMPDIR:-/tmp}/velarix-cups-print-test.lock"
    flock -w 200 9 || skip "another CUPS print test held the lock for 200 s"
fi

work=$(mktemp -d)
cleanup() {
    rm -rf "$work"
    cups_stop
}
trap cleanup EXIT
cups_start "$work"
cups_pdf_queue PDF
lpoptions -d PDF >/dev/null || skip "cannot make PDF the default printer"

# A client program folder with a per-company, per-branch template name no other test uses.
report="ODL_001-07"
folder="$work/program/"
mkdir -p "$folder"
cp "$templates"/ODL.rpt "$folder/$report.rpt"
cp "$templates"/logo.png "$folder/"
"$tool" sample ODL 1 2 "$folder/Documenti.mdb" || { echo "FAIL: sample database"; exit 1; }

outdir="$HOME/PDF"
rm -f "$outdir/${report}"_-_Copia_*.pdf 2>/dev/null

output=$("$tool" print "$folder" "$report" 1 2 2>&1)
status=$?
echo "$output"
[ $status -eq 0 ] || { echo "FAIL: the print did not succeed"; exit 1; }
for k in 1 2; do
    echo "$output" | grep -qx "list: Stampa ${folder}${report}.rpt - Copia $k" ||
        { echo "FAIL: list line of copy $k missing"; exit 1; }
done

# Wait for both jobs to be complete PDFs of two pages.
ok=0
for _ in $(seq 1 120); do
    ok=0
    for k in 1 2; do
        f=$(ls "$outdir/${report}"_-_Copia_${k}_*.pdf 2>/dev/null | head -n 1)
        [ -n "$f" ] || continue
        pages=$(pdfinfo "$f" 2>/dev/null | awk '/^Pages:/ {print $2}')
        [ "$pages" = "2" ] && ok=$((ok + 1))
    done
    [ $ok -eq 2 ] && break
    sleep 0.5
done
ls -l "$outdir" | grep "$report" || true
rm -f "$outdir/${report}"_-_Copia_*.pdf 2>/dev/null
[ $ok -eq 2 ] || { echo "FAIL: expected two 2-page PDFs from cups-pdf, got $ok"; exit 1; }
echo "OK: two jobs of two pages printed through CUPS"

command -v cupsreject >/dev/null || skip "cupsreject not installed"
cupsreject PDF
output=$("$tool" print "$folder" "$report" 1 1 2>&1)
status=$?
cupsaccept PDF
echo "$output"
[ $status -ne 0 ] && echo "$output" | grep -qx "status 20505" ||
    { echo "FAIL: a queue that rejects jobs must give 20505"; exit 1; }
echo "$output" | grep -qx "list: Stampa ${folder}${report}.rpt - Copia 1" ||
    { echo "FAIL: the refused copy must still be listed"; exit 1; }
echo "OK: a rejecting queue gives 20505"
