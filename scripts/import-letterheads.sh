#!/usr/bin/env bash
# Takes the letterheads (table Ditta) over from an older Access-format Documenti.mdb into the
# Velarix server's database, keeping accented letters, and rewrites Aggiorna.txt so that every
# workstation fetches the new database at its next start. See docs/letterheads.md.
#
#   scripts/import-letterheads.sh OLD.mdb TARGET
#
# TARGET is the server's program folder (its Client/Documenti.mdb is written) or a Documenti.mdb.
# Rows of the companies found in OLD.mdb replace the rows with the same code; other companies
# keep theirs. The whole import is one transaction: on any error nothing changes.
#
# Environment:
#   MDB_JET3_CHARSET  code page of an Access 97 (Jet 3) file; default CP1252 (Western Europe).
#                     Jet 4 files (Access 2000 and later) store Unicode and need no setting.
#   VELARIX_LETTERHEADS  the velarix-letterheads program; default: beside this script's build
#                     (build/bin), then PATH.
set -euo pipefail

usage() {
    echo "Uso: $0 VECCHIO_Documenti.mdb CARTELLA_SERVER|Documenti.mdb" >&2
    exit 2
}

[ $# -eq 2 ] || usage
legacy=$1
target=$2

if [ ! -f "$legacy" ]; then
    echo "File non trovato: $legacy" >&2
    exit 1
fi
if [ -d "$target" ]; then
    database="$target/Client/Documenti.mdb"
    if [ ! -d "$target/Client" ]; then
        echo "Cartella Client non trovata in $target" >&2
        exit 1
    fi
else
    database=$target
fi

if ! command -v mdb-export >/dev/null 2>&1; then
    echo "mdb-export non trovato: installare il pacchetto mdbtools (apt-get install mdbtools)" >&2
    exit 1
fi

tool=${VELARIX_LETTERHEADS:-}
if [ -z "$tool" ]; then
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    for candidate in "$here/../build/bin/velarix-letterheads" "$here/velarix-letterheads"; do
        if [ -x "$candidate" ]; then
            tool=$candidate
            break
        fi
    done
fi
if [ -z "$tool" ]; then
    tool=$(command -v velarix-letterheads || true)
fi
if [ -z "$tool" ] || [ ! -x "$tool" ]; then
    echo "velarix-letterheads non trovato: compilarlo o indicarlo con VELARIX_LETTERHEADS" >&2
    exit 1
fi

# mdbtools converts the text of the file to the charset named by MDBICONV (UTF-8, which the
# tool expects); a Jet 3 file's own code page is named by MDB_JET3_CHARSET.
export MDBICONV=UTF-8
export MDB_JET3_CHARSET=${MDB_JET3_CHARSET:-CP1252}

# Exported to a file first, so that a failing export never reaches the database half-read.
csv=$(mktemp)
trap 'rm -f "$csv"' EXIT
if ! mdb-export "$legacy" Ditta >"$csv"; then
    echo "Esportazione della tabella Ditta da $legacy non riuscita" >&2
    exit 1
fi
"$tool" "$database" "$csv"
