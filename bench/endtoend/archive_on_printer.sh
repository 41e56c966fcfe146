#!/usr/bin/env bash
# What the PDF archive adds when the workstation prints on a real printer queue: the client sends
# each copy to CUPS and renders the archive's PDF/A beside them (with VELARIX_PDF_DIR the archive
# only takes the last copy's file). `bench_endtoend archive N QUEUE` on two queues this script
# creates: one that hands each job to its device as it comes (file:/dev/null, as a network
# printer that takes PDF), and a cups-pdf queue, whose Ghostscript run after each job competes
# with the client for this machine's cores.
# Usage: archive_on_printer.sh [BUILD] [N]   (default build, 30). Exits 77 without CUPS/cups-pdf.
set -u
BUILD=${1:-build}
N=${2:-30}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
skip() { echo "SKIP: $*"; exit 77; }
[ -x "$BUILD/bin/bench_endtoend" ] || { echo "build bench_endtoend first ($BUILD/bin)" >&2; exit 2; }
. "$ROOT/scripts/cups-pdf.sh"

work=$(mktemp -d)
cleanup() {
    for q in VelarixDirect VelarixArchive; do
        cancel -a "$q" 2>/dev/null
        lpadmin -x "$q" 2>/dev/null
    done
    rm -rf "$work"
    cups_stop
}
trap cleanup EXIT
cups_start "$work"
cups_null_queue VelarixDirect
cups_pdf_queue VelarixArchive
echo "== a printer that takes the job as it comes (file:/dev/null)"
"$BUILD/bin/bench_endtoend" archive "$N" VelarixDirect
echo "== cups-pdf (Ghostscript on this machine after each job)"
"$BUILD/bin/bench_endtoend" archive "$N" VelarixArchive
