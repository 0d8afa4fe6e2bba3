#!/usr/bin/env bash
# Builds and runs the benchmarks and prints their figures (not part of the tests: figures vary
# with the machine). Natively: the runner; under Wine: the runner and the real console view.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/setup.sh

cmake -S . -B build/native-release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native-release -j"$(nproc)"
cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null
cmake --build build/windows -j"$(nproc)"

for bench in build/native-release/tests/*/bench/*_bench; do
  [ -x "$bench" ] || continue
  echo "== native: $(basename "$bench")"
  "$bench"
done

source scripts/wine-session.sh
trap stop_wine_session EXIT
start_display
start_wine "$root/build/windows/wineprefix"
mkdir -p "$WINEPREFIX/dosdevices/unc/vantrel-test/share"
for bench in build/windows/tests/runner/bench/*_bench.exe build/windows/tests/windows/bench/window_bench.exe \
    build/windows/tests/windows/bench/fleet_bench.exe build/windows/tests/windows/bench/skip_bench.exe \
    build/windows/tests/network/bench/reach_bench.exe \
    build/windows/tests/shell/bench/startup_bench.exe; do
  [ -f "$bench" ] || continue
  echo "== Wine: $(basename "$bench")"
  wine "$bench"
done
