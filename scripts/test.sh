#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: natively under AddressSanitizer and
# UndefinedBehaviorSanitizer, the threaded ones again under ThreadSanitizer, and the Windows build
# under Wine on a virtual display of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
jobs=$(nproc)

echo "== native build (address, undefined)"
cmake -S . -B build/native -DVANTREL_SANITIZE=address,undefined >/dev/null
cmake --build build/native -j"$jobs"
ctest --test-dir build/native -L native --output-on-failure -j"$jobs"

echo "== native build (thread)"
cmake -S . -B build/native-tsan -DVANTREL_SANITIZE=thread >/dev/null
cmake --build build/native-tsan -j"$jobs"
# ThreadSanitizer needs a mapping layout without the kernel's high-entropy randomisation.
setarch "$(uname -m)" -R ctest --test-dir build/native-tsan -L threads --output-on-failure

echo "== Windows build"
cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake >/dev/null
cmake --build build/windows -j"$jobs"

echo "== Windows tests under Wine"
source scripts/wine-session.sh
trap stop_wine_session EXIT
start_display
start_wine "$root/build/windows/wineprefix"
mkdir -p "$WINEPREFIX/dosdevices/unc/vantrel-test/share"
ctest --test-dir build/windows -L wine --output-on-failure

echo "== all tests passed"
