#!/usr/bin/env bash
# Drop-to-printed through Velarix beside `lp` through CUPS, in one run on this machine:
#   - Velarix: `bench_endtoend latency N`: a print file dropped into the print folder of the real
#     VelarixSrv (real timers), printed as a PDF by the real VelarixCL, one file at a time;
#   - CUPS: the sample documents (as UTF-8 text) sent with `lp` to a cups-pdf queue, one at a time,
#     after one job that is not counted, so the scheduler and its filters are warm.
# Prints both medians and their ratio. Usage: cups_compare.sh [BUILD] [N]   (default build, 20)
# Exits 77 when CUPS with cups-pdf cannot be started here.
set -u
BUILD=${1:-build}
N=${2:-20}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
skip() { echo "SKIP: $*"; exit 77; }
command -v iconv >/dev/null 2>&1 || skip "iconv not installed"
[ -x "$BUILD/bin/bench_endtoend" ] || { echo "build bench_endtoend first ($BUILD/bin)" >&2; exit 2; }
. "$ROOT/scripts/cups-pdf.sh"

work=$(mktemp -d)
cleanup() {
    lpadmin -x VelarixBench 2>/dev/null
    rm -rf "$work"
    cups_stop
}
trap cleanup EXIT
cups_start "$work"
cups_pdf_queue VelarixBench

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
now_ms() { date +%s%3N; }

echo "== Velarix (bench_endtoend latency $N)"
line=$("$BUILD/bin/bench_endtoend" latency "$N" | tee /dev/stderr | grep "drop-to-printed")
v=$(printf '%s\n' "$line" | sed -n 's/.*median \([0-9.]*\) ms.*/\1/p')
[ -n "$v" ] || { echo "Velarix printed nothing" >&2; exit 1; }

echo "== CUPS (lp to cups-pdf, $N jobs after one warm-up job)"
out="$HOME/PDF"
mkdir -p "$out"
samples=("$ROOT"/examples/*.0[0-9][0-9])
for f in "${samples[@]}"; do
    iconv -f CP1252 -t UTF-8 "$f" | tr -d '\r' > "$work/$(basename "$f").txt"
done
# One job through lp; prints the milliseconds until its PDF is there, or nothing after 30 s.
print_one() {
    local before start
    before=$(ls "$out" | wc -l)
    start=$(now_ms)
    lp -d VelarixBench -t "$1" "$work/$1.txt" >/dev/null || return
    for _ in $(seq 3000); do
        if [ "$(ls "$out" | wc -l)" -gt "$before" ]; then
            echo $(( $(now_ms) - start ))
            return
        fi
        sleep 0.01
    done
}
warm=$(print_one "$(basename "${samples[0]}")")
[ -n "$warm" ] || { echo "CUPS printed nothing" >&2; exit 1; }
echo "   warm-up job: $warm ms (not counted)"
cups=""
for i in $(seq "$N"); do
    name=$(basename "${samples[$(( (i - 1) % ${#samples[@]} ))]}")
    ms=$(print_one "$name")
    [ -n "$ms" ] || { echo "CUPS did not print $name" >&2; exit 1; }
    cups="$cups $ms"
done
c=$(printf '%s\n' $cups | median)
echo "   lp-to-PDF over $N jobs: median $c ms"

echo "== median drop-to-printed: Velarix $v ms, CUPS $c ms (Velarix/CUPS = $(awk "BEGIN {printf \"%.2f\", $v / $c}"))"
