#!/bin/sh
# Times the track data import and the results export beside the sqlite3
# command-line tool doing the same work on the same database, and prints
# both figures with their ratio. Wall-clock times include opening and closing
# the database (and, for sqlite3, starting the tool); processor times count
# the work alone, which is the fairer figure on a busy machine. Both sides
# write with synchronous=FULL. The import's safety copy of a database
# holding such a meet is timed on a line of its own; the import itself runs
# on an empty database, so its ratio is the storing of the rows alone.
#
#   bench/exchange/compare.sh [build folder]    (default: build)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
bench=$build/bench/exchange/bench_exchange

command -v sqlite3 >/dev/null || { echo "sqlite3 is not installed" >&2; exit 1; }
cmake --build "$build" --target bench_exchange >/dev/null
[ -x "$bench" ] || { echo "no benchmark at $bench (is Google Benchmark installed?)" >&2; exit 1; }

"$bench" --benchmark_repetitions=5 --benchmark_filter='BM_(ImportTrackData|Sqlite3InsertSameRows|SafetyCopy|ExportResults|Sqlite3WriteSameJoin)' 2>/dev/null |
awk '
# The fastest of the five runs of each: on a shared machine the slower runs
# measure the other work on it.
/^BM_/ && !/_(mean|median|stddev|cv)/ {
    split($1, part, "/"); name = part[1]
    t = ""
    for (i = 1; i <= NF; i++) if ($i ~ /^tool_cpu_ms=/) {
        # Counters are printed with a k for thousands.
        t = $i; sub(/^tool_cpu_ms=/, "", t); scale = t ~ /k$/ ? 1000 : 1; sub(/k$/, "", t); t = t * scale
    }
    if (!(name in wall) || $2 + 0 < wall[name]) wall[name] = $2 + 0
    if (!(name in cpu) || $4 + 0 < cpu[name]) cpu[name] = $4 + 0
    if (t != "" && (!(name in tool) || t < tool[name])) tool[name] = t
}
function row(work, ours, theirs) {
    printf "%-7s ours %6.0f ms wall %6.0f ms cpu | sqlite3 %6.0f ms wall %6.0f ms cpu | ratio %.2f wall, %.2f cpu\n",
        work, wall[ours], cpu[ours], wall[theirs], tool[theirs], wall[ours] / wall[theirs], cpu[ours] / tool[theirs]
}
END {
    print "Fastest of five runs of three: 100,000 lines imported, 100,000 results exported."
    row("import", "BM_ImportTrackData", "BM_Sqlite3InsertSameRows")
    row("export", "BM_ExportResults", "BM_Sqlite3WriteSameJoin")
    printf "copy    the import\047s safety copy of a database holding the meet: %6.0f ms wall %6.0f ms cpu\n",
        wall["BM_SafetyCopy"], cpu["BM_SafetyCopy"]
}'
