#!/usr/bin/env bash
# Checks that the C++ sources follow .clang-format; lists the files that do not and fails.
# With --fix, reformats them in place instead (what `make format` runs).
#   scripts/check-format.sh [--fix] [FOLDER|FILE ...]   (default: the whole tree)
# Only files tracked by git are looked at, so build folders and generated code stay out.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

FORMAT=${CLANG_FORMAT:-clang-format}
if ! command -v "$FORMAT" >/dev/null; then
    echo "check-format: $FORMAT not found (scripts/install-deps.sh installs clang-format)" >&2
    exit 2
fi

fix=false
if [ "${1:-}" = "--fix" ]; then
    fix=true
    shift
fi

mapfile -t files < <(git ls-files -- "${@:-.}" | grep -E '\.(cpp|h)$' || true)
if [ ${#files[@]} -eq 0 ]; then
    exit 0
fi

if $fix; then
    "$FORMAT" -i --style=file "${files[@]}"
    exit 0
fi

# One run over every file; each finding starts with "<file>:<line>:<column>: error:".
status=0
output=$("$FORMAT" --style=file --dry-run --Werror "${files[@]}" 2>&1) || status=$?
mapfile -t unformatted < <(printf '%s\n' "$output" |
    sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: .*/\1/p' | sort -u)
if [ $status -ne 0 ] && [ ${#unformatted[@]} -eq 0 ]; then
    printf '%s\n' "$output" >&2 # clang-format itself failed (a bad .clang-format, say)
    exit 2
fi
if [ ${#unformatted[@]} -ne 0 ]; then
    echo "check-format: ${#unformatted[@]} file(s) differ from .clang-format (run 'make format'):" >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    exit 1
fi
