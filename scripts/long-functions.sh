#!/usr/bin/env bash
# Lists the C++ functions longer than a limit (60 lines unless -n says otherwise), longest first:
#   scripts/long-functions.sh [-n LINES] [FOLDER|FILE ...]   (default: every tracked .cpp and .h)
# A heuristic over brace depth, not a parser: comments, strings and character literals are blanked,
# then a brace that opens at file, namespace or class level after a ")" starts a function. Lambdas
# and local classes count towards the function they sit in. A function counts from the line of its
# name to its closing brace.
set -euo pipefail

limit=60
if [ "${1:-}" = "-n" ]; then
    limit=$2
    shift 2
fi

ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
mapfile -t files < <(git ls-files -- "${@:-.}" | grep -E '\.(cpp|h)$' || true)
[ ${#files[@]} -eq 0 ] && exit 0

awk -v limit="$limit" '
function blank(s,    out, i, c, n, q) {
    # Removes comments and the contents of string and character literals; keeps the braces that
    # matter. inComment carries a /* */ over line ends.
    out = ""; n = length(s); i = 1
    while (i <= n) {
        c = substr(s, i, 1)
        if (inComment) {
            if (substr(s, i, 2) == "*/") { inComment = 0; i += 2 } else i++
            continue
        }
        if (substr(s, i, 2) == "//") break
        if (substr(s, i, 2) == "/*") { inComment = 1; i += 2; continue }
        if (c == "\"" || c == "\x27") {
            q = c; i++
            while (i <= n && substr(s, i, 1) != q) i += (substr(s, i, 1) == "\\") ? 2 : 1
            out = out q q; i++
            continue
        }
        out = out c; i++
    }
    return out
}
FNR == 1 { split("", braced); depth = 0; inComment = 0; header = ""; headerLine = 0; fnDepth = -1 }
{
    line = blank($0)
    if (line ~ /^[ \t]*#/) next # preprocessor lines never open a body
    # Access labels and the Qt class macros end no statement with ";" yet belong to no header.
    if (fnDepth < 0 && (line ~ /^[ \t]*(public|private|protected|signals|Q_SIGNALS)([ \t]+(slots|Q_SLOTS))?[ \t]*:[ \t]*$/ ||
                        line ~ /^[ \t]*Q_(OBJECT|GADGET)[ \t]*$/)) {
        header = ""; headerLine = 0
        next
    }
    n = length(line)
    for (i = 1; i <= n; i++) {
        c = substr(line, i, 1)
        if (c == "{" && fnDepth < 0 && i > 1 && substr(line, i - 1, 1) ~ /[A-Za-z0-9_>]/) {
            # "m_value{0}" in an initialiser list or a member: not a body, the header goes on
            braced[depth++] = 1
        } else if (c == "{") {
            if (fnDepth < 0) {
                h = header
                gsub(/[ \t]+/, " ", h)
                # the keyword after the last ")": "Q_LOGGING_CATEGORY(...) namespace {" opens a scope
                isScope = h ~ /(^| )(namespace|class|struct|union|enum)( [^()]*)?$/ ||
                          h ~ /extern "" ?$/
                if (!isScope && h ~ /\)/ && h !~ /=[ ]*$/) {
                    fnDepth = depth; fnLine = headerLine; fnName = h
                }
            }
            depth++
            header = ""; headerLine = 0
        } else if (c == "}" && braced[depth - 1]) {
            delete braced[--depth]
        } else if (c == "}") {
            depth--
            if (fnDepth >= 0 && depth == fnDepth) {
                len = FNR - fnLine + 1
                if (len > limit) {
                    name = fnName
                    sub(/\(.*/, "", name)
                    m = split(name, parts, " ")
                    printf "%d\t%s:%d\t%s\n", len, FILENAME, fnLine, parts[m]
                }
                fnDepth = -1
            }
            header = ""; headerLine = 0
        } else if (c == ";") {
            header = ""; headerLine = 0
        } else if (fnDepth < 0) {
            if (headerLine == 0 && c !~ /[ \t]/) headerLine = FNR
            header = header c
        }
    }
    if (fnDepth < 0 && headerLine != 0) header = header " "
}
' "${files[@]}" | sort -rn -k1,1 | awk -F'\t' '{ printf "%5d  %s  %s\n", $1, $2, $3 }'
