#!/usr/bin/env bash
# The demo end to end, headless: scripts/demo lays out its folder with the
# sample meet, starts the simulator and the program; the races it sends must
# reach the demo's database, the garbled one refused; closing the program
# must leave nothing running.
# Arguments: the source folder and the build folder.
set -euo pipefail
root=$1
build=$2
demo=$(mktemp -d)
trap 'pkill -f "$demo/" 2>/dev/null || true; rm -rf "$demo"' EXIT
export VEXO_BUILD_DIR=$build VEXO_DEMO_DIR=$demo/meet VEXO_DEMO_NO_BUILD=1 VEXO_DEMO_RACE_DELAY=300 VEXO_DEMO_BOARD_PORT=0
export QT_QPA_PLATFORM=offscreen

count() { sqlite3 "$demo/meet/VEXO_ACC.db" "$1"; }
fail() { echo "FAILED: $*" >&2; cat "$demo/meet/timer-sim.log" >&2 2>/dev/null || true; exit 1; }

"$root/scripts/demo" --setup
[[ $(count "select count(*) from athletes") == 60 ]] || fail "the sample meet's 60 athletes were not imported"
[[ $(count "select count(*) from races") == 0 ]] || fail "a new demo meet holds races"

"$root/scripts/demo" > "$demo/demo.log" 2>&1 &
script=$!
# Five races are readable; multi-line ones end after the link's 2 s of quiet.
for _ in $(seq 1 240); do
  [[ -f "$demo/meet/VEXO_ACC.db" && $(count "select count(*) from races") -ge 5 ]] && break
  sleep 0.5
done
[[ $(count "select count(*) from races") == 5 ]] || fail "expected 5 races, found $(count "select count(*) from races")"
[[ $(count "select count(*) from result") == 28 ]] || fail "expected 28 places, found $(count "select count(*) from result")"
grep -q 'refused' "$demo/meet/VEXO_COMS.log" || fail "the garbled race was not refused in the journal"
grep -q 'http://' "$demo/meet/results-board.log" || fail "the results board did not say where it serves"

pkill -f "$demo/meet/VEXO_BARCODE" || fail "the program was not running"
wait "$script" || true
pgrep -f "$demo/" >/dev/null && fail "something of the demo is still running"
echo "1 passed, 0 failed"
