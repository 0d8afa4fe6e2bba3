#!/usr/bin/env bash
# Fuzzes the PNG decoder with libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer.
# Usage: scripts/fuzz-png.sh [seconds, default 600]
# Builds into build/fuzz-png/, grows the corpus there (seeded with the test samples) and
# copies any crashing input into tests/toolkit/png/fuzz/findings/, where the native build replays it.
set -euo pipefail

seconds="${1:-600}"
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build/fuzz-png"

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    echo "fuzz-png: installing clang and libclang-rt-14-dev with apt-get (needed for libFuzzer)"
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev zlib1g-dev
fi

mkdir -p "$out/corpus" "$out/artifacts"
cp -n "$root"/tests/toolkit/png/data/*.png "$out/corpus/" || true

clang++ -std=c++20 -O1 -g -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root/src" \
    "$root/src/toolkit/Png.cpp" "$root/tests/toolkit/png/fuzz/PngFuzz.cpp" \
    -lz -o "$out/png_fuzzer"

echo "fuzz-png: fuzzing for $seconds s (log in $out/last-run.log)"
status=0
"$out/png_fuzzer" "$out/corpus" \
    -dict="$root/tests/toolkit/png/fuzz/png.dict" \
    -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$out/artifacts/" >"$out/last-run.log" 2>&1 || status=$?
grep -E '^(INFO: Seed|#[0-9]+\s+DONE|stat::|==[0-9]+==ERROR|SUMMARY)' "$out/last-run.log" || true

crashes=$(find "$out/artifacts" -type f | wc -l)
if [ "$crashes" -gt 0 ]; then
    mkdir -p "$root/tests/toolkit/png/fuzz/findings"
    cp "$out"/artifacts/* "$root/tests/toolkit/png/fuzz/findings/"
fi
echo "fuzz-png: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$out/last-run.log" | grep -o '[0-9]*$') executions in ${seconds} s, $crashes crashing inputs"
exit "$status"
