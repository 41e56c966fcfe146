#!/usr/bin/env bash
# Renders the same body-only text to PDF with the report engine and with enscript | ps2pdf, in the
# same run, and reports pages per second of each and their ratio.
# Usage: compare_enscript.sh REPORTTOOL [PAGES]   (REPORTTOOL: build/bin/reporttool)
# Needs enscript and ghostscript (ps2pdf), which the set-up does not install (this comparison
# only): apt-get install enscript ghostscript. GNU time (/usr/bin/time) comes with the set-up.
set -euo pipefail
tool=$1
pages=${2:-500}
for cmd in enscript ps2pdf pdfinfo /usr/bin/time; do
    command -v "$cmd" >/dev/null || { echo "$cmd not installed" >&2; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

# 40 rows of 80 columns per page, the same rows for both.
"$tool" bodyonly ODL "$pages" "$work/Documenti.mdb" "$work/body.txt"
cat >"$work/BODY.rpt" <<'RPT'
page size=A4
margins left=10 top=10 right=10 bottom=10
body x=20 y=15 rows=40 step=6.5 font=default
RPT

# Wall-clock seconds and CPU seconds (user + system, children included) of one command.
# A command that fails stops the comparison with what it said, rather than time a failure.
measure() {
    if ! /usr/bin/time -o "$work/time" -f "%e %U %S" "$@" >"$work/said" 2>&1; then
        echo "failed: $*" >&2
        cat "$work/said" >&2
        return 1
    fi
    tail -n 1 "$work/time"
}

velarix=$(measure "$tool" pdf "$work/BODY.rpt" "$work/Documenti.mdb" 1 "$work/velarix.pdf")
peer=$(measure sh -c "enscript -B -q -X latin1 -f Courier10 -L 40 -p - '$work/body.txt' | ps2pdf - '$work/enscript.pdf'")
read -r v_wall v_user v_sys <<<"$velarix"
read -r e_wall e_user e_sys <<<"$peer"

v_pages=$(pdfinfo "$work/velarix.pdf" | awk '/^Pages:/ {print $2}')
e_pages=$(pdfinfo "$work/enscript.pdf" | awk '/^Pages:/ {print $2}')
awk -v p="$pages" -v vp="$v_pages" -v ep="$e_pages" -v vw="$v_wall" -v vc="$v_user + $v_sys" \
    -v ew="$e_wall" -v ec="$e_user + $e_sys" 'BEGIN {
    split(vc, a, " + "); vc = a[1] + a[2]; split(ec, b, " + "); ec = b[1] + b[2]
    printf "pages requested %d; Velarix PDF %d pages, enscript|ps2pdf PDF %d pages\n", p, vp, ep
    printf "Velarix (reporttool pdf, process start + database + render): %.2f s wall, %.2f s CPU -> %.0f pages/s wall, %.0f pages/s CPU\n", vw, vc, vp / vw, vp / vc
    printf "enscript | ps2pdf:                                           %.2f s wall, %.2f s CPU -> %.0f pages/s wall, %.0f pages/s CPU\n", ew, ec, ep / ew, ep / ec
    printf "ratio Velarix / peer: %.1fx (wall), %.1fx (CPU)\n", (vp / vw) / (ep / ew), (vp / vc) / (ep / ec)
}'
