#!/usr/bin/env bash
# Runs many computers at a time again and again on a loaded machine and checks, after each run,
# that every computer of the list has exactly one result and that it is the tool's own success
# (not a CI test: it takes some minutes and needs the Windows build).
#
#   bash scripts/stress-fleet.sh [rounds] [computers] [milliseconds] [at-a-time] [busy processes]
#
# Defaults: 20 rounds of 1,000 computers of 0 to 200 ms each (drawn per computer), 32 at a time,
# with 2 busy processes loading the machine. Prints per round the wall time, the load and pass or
# FAIL with the computers not plainly done and their last lines; keeps every round's console
# text, results and the stand-in's journal in build/stress-fleet/<time>/round-NN.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
rounds=${1:-20}
computers=${2:-1000}
delay=${3:-0-200}
at_a_time=${4:-32}
busy=${5:-2}

cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null
cmake --build build/windows -j2 --target fleet_bench >/dev/null
bench=$root/build/windows/tests/windows/bench/fleet_bench.exe
evidence=$root/build/stress-fleet/$(date -u +%Y%m%d-%H%M%S)
mkdir -p "$evidence"

busy_pids=()
stop_busy() {
  local pid
  for pid in "${busy_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  busy_pids=()
}

source scripts/wine-session.sh
trap 'stop_busy; stop_wine_session' EXIT
trap 'exit 130' INT TERM
start_display
start_wine "$root/build/windows/wineprefix"
mkdir -p "$WINEPREFIX/dosdevices/unc/vantrel-test/share"

for _ in $(seq 1 "$busy"); do
  # A busy loop of the shell itself: nothing to install, ended by its process id.
  ( while :; do :; done ) &
  busy_pids+=($!)
done
echo "stress: $rounds rounds of $computers computers x $delay ms, $at_a_time at a time; busy processes: ${busy_pids[*]:-none}"
echo "stress: evidence in $evidence"

failed=0
for round in $(seq 1 "$rounds"); do
  folder=$evidence/round-$(printf %02d "$round")
  mkdir -p "$folder"
  load=$(cut -d' ' -f1 /proc/loadavg)
  start=$(date +%s.%N)
  status=0
  # Wine's own error messages (a process that could not start, say) go into the evidence too.
  WINEDEBUG=fixme-all wine "$bench" check "$(winepath -w "$folder")" "$computers" "$delay" "$at_a_time" >"$folder/fleet_bench.txt" 2>&1 ||
    status=$?
  wall=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { print e - s }')
  verdict=pass
  [ "$status" -eq 0 ] || { verdict=FAIL; failed=$((failed + 1)); }
  printf 'round %2d: %s; process %.1f s; load %s; %s\n' "$round" "$verdict" "$wall" "$load" \
    "$(grep -m1 ' computers x ' "$folder/fleet_bench.txt" | tr -d '\r')"
  # On a failure: what fleet_bench found, the bare launcher's word on the same list, and Wine's.
  [ "$status" -eq 0 ] || grep -v ' computers x \|wine32\|i386' "$folder/fleet_bench.txt" | tr -d '\r'
done
echo "stress: $failed of $rounds rounds failed; load at the end $(cut -d' ' -f1-3 /proc/loadavg)"
[ "$failed" -eq 0 ]
