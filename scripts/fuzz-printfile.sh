#!/usr/bin/env bash
# Fuzzes the print-file reader with libFuzzer for a number of seconds (default 60).
#   scripts/fuzz-printfile.sh [seconds]
# Builds tests/document/fuzz_printfile with clang (apt-get install clang) in its own build folder
# (VELARIX_FUZZ_BUILD, default build-import/fuzz), seeds the corpus with the golden print files,
# the examples and every earlier finding, and writes new findings (crash-*, leak-*, timeout-*)
# into tests/data/fuzz/, where tst_printfilebadinput replays them. Commit every finding.
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELARIX_FUZZ_BUILD:-$root/build-import/fuzz}

if ! command -v clang++ >/dev/null; then
    echo "clang++ is missing: apt-get install clang" >&2
    exit 1
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$build" -j2 --target fuzz_printfile

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp "$root"/tests/data/printfiles/*.prn "$corpus"/
find "$root/examples" -maxdepth 1 -type f ! -name '*.py' -exec cp {} "$corpus"/ \;
find "$root/tests/data/fuzz" -maxdepth 1 -type f ! -name '*.md' -exec cp {} "$corpus"/ \;

"$build/bin/fuzz_printfile" "$corpus" -max_total_time="$seconds" -max_len=65536 \
    -timeout=10 -artifact_prefix="$root/tests/data/fuzz/" -print_final_stats=1
