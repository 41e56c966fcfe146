# Sourced by the CUPS test and the CUPS benchmark: makes sure a CUPS scheduler runs (starting one
# when none does) and creates a cups-pdf queue. Callers define skip(), which ends with exit 77.
#   cups_start WORKDIR    sets CUPS_STARTED_PID when it started cupsd itself
#   cups_pdf_queue NAME   creates (or replaces) the queue NAME printing to cups-pdf
#   cups_null_queue NAME  creates (or replaces) the queue NAME that hands each job as it comes to
#                         /dev/null: jobs land in CUPS's job list with no filter run (no CPU)
#   cups_stop             stops the cupsd this script started, if any

cups_start() {
    local cmd
    for cmd in cupsd lpadmin lpoptions lpstat lp; do
        command -v "$cmd" >/dev/null 2>&1 || skip "$cmd not installed"
    done
    [ -e /usr/lib/cups/backend/cups-pdf ] || skip "printer-driver-cups-pdf not installed"
    CUPS_STARTED_PID=""
    lpstat -r 2>/dev/null | grep -q "is running" && return 0
    cupsd -f >"$1/cupsd.log" 2>&1 &
    CUPS_STARTED_PID=$!
    for _ in $(seq 1 50); do
        lpstat -r 2>/dev/null | grep -q "is running" && return 0
        kill -0 "$CUPS_STARTED_PID" 2>/dev/null || break
        sleep 0.2
    done
    CUPS_STARTED_PID=""
    skip "cupsd cannot be started"
}

cups_pdf_queue() {
    lpadmin -p "$1" -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd -E \
        -o printer-is-shared=false 2>/dev/null || skip "cannot create the cups-pdf queue $1"
}

cups_null_queue() {
    # CUPS warns that queues without a driver are deprecated; they still work in CUPS 2.4.
    lpadmin -p "$1" -v file:/dev/null -m raw -E -o printer-is-shared=false >/dev/null 2>&1 ||
        skip "cannot create the queue $1 on file:/dev/null"
}

cups_stop() {
    if [ -n "${CUPS_STARTED_PID:-}" ]; then
        kill "$CUPS_STARTED_PID" 2>/dev/null
        wait "$CUPS_STARTED_PID" 2>/dev/null
    fi
}
