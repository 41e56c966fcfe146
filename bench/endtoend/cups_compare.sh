#!/usr/bin/env bash
# Velarix against plain CUPS for the same four sample documents, in one run:
#   - Velarix: scripts/demo.sh (file dropped into the print folder -> PDF on the workstation);
#   - CUPS: the same files (as UTF-8 text) sent with `lp` to a cups-pdf queue -> PDF in ~/PDF.
# Prints each time and the ratio of the medians. Usage: cups_compare.sh [BUILD]   (default build)
# Exits 77 when CUPS with cups-pdf cannot be started here.
set -u
BUILD=${1:-build}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
skip() { echo "SKIP: $*"; exit 77; }
command -v iconv >/dev/null 2>&1 || skip "iconv not installed"
. "$ROOT/scripts/cups-pdf.sh"

work=$(mktemp -d)
cleanup() {
    rm -rf "$work"
    cups_stop
}
trap cleanup EXIT
cups_start "$work"
cups_pdf_queue VelarixBench

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }

echo "== Velarix"
velarix=$("$ROOT/scripts/demo.sh" "$BUILD" | tee /dev/stderr | sed -n 's/.*(\([0-9]*\) ms from drop to printed).*/\1/p')
[ -n "$velarix" ] || { echo "the demo printed nothing" >&2; exit 1; }

echo "== CUPS (lp to cups-pdf)"
out="$HOME/PDF"
mkdir -p "$out"
cups=""
for f in "$ROOT"/examples/*.0[0-9][0-9]; do
    name=$(basename "$f")
    iconv -f CP1252 -t UTF-8 "$f" | tr -d '\r' > "$work/$name.txt"
    before=$(ls "$out" 2>/dev/null | wc -l)
    start=$(date +%s%3N)
    lp -d VelarixBench -t "$name" "$work/$name.txt" >/dev/null
    for _ in $(seq 600); do
        [ "$(ls "$out" 2>/dev/null | wc -l)" -gt "$before" ] && break
        sleep 0.05
    done
    ms=$(( $(date +%s%3N) - start ))
    echo "   $name -> $ms ms from lp to PDF"
    cups="$cups $ms"
done
lpadmin -x VelarixBench 2>/dev/null

v=$(printf '%s\n' $velarix | median)
c=$(printf '%s\n' $cups | median)
echo "== median: Velarix $v ms, CUPS $c ms (Velarix/CUPS = $(awk "BEGIN {printf \"%.2f\", $v / $c}"))"
