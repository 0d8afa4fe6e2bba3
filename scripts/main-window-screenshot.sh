#!/usr/bin/env bash
# Takes docs/main-window.png: the main window after a demo run, under Wine on an X display, in a
# Wine desktop window so that it has its title bar, cropped to the window.
# Usage: WINEPREFIX=... DISPLAY=:N scripts/main-window-screenshot.sh <windows build folder>
set -euo pipefail

build="${1:?usage: $0 <windows build folder>}"
root="$(cd "$(dirname "$0")/.." && pwd)"
: "${WINEPREFIX:?set WINEPREFIX}" "${DISPLAY:?set DISPLAY}"
export WINEDEBUG=-all
mkdir -p "$WINEPREFIX/dosdevices/unc/vantrel-test/share"

exe="$(winepath -w "$(realpath "$build")/tests/window_wine/main_window_show.exe")"
wine explorer /desktop=vantrelmain,700x640 "$exe" 12 >/dev/null 2>&1 &
shown=$!
sleep 8
shot="$(mktemp --suffix=.png)"
import -window root "$shot"
wait "$shown" || true

mkdir -p "$root/docs"
convert "$shot" -crop 700x640+0+0 +repage -trim +repage "$root/docs/main-window.png"
rm -f "$shot"
identify "$root/docs/main-window.png"
