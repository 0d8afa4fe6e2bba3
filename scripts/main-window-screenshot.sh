#!/usr/bin/env bash
# Takes docs/main-window.png: the main window after a demo run.
# Usage: WINEPREFIX=... DISPLAY=:N scripts/main-window-screenshot.sh <windows build folder>
set -euo pipefail
build="${1:?usage: $0 <windows build folder>}"
root="$(cd "$(dirname "$0")/.." && pwd)"
: "${WINEPREFIX:?set WINEPREFIX}"
mkdir -p "$WINEPREFIX/dosdevices/unc/vantrel-test/share"
exec "$root/scripts/screenshot.sh" "$build/tests/windows/main_window_show.exe" "$root/docs/main-window.png" 700x640 12
