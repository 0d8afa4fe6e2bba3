#!/usr/bin/env bash
# Takes docs/main-window.png: the main window after a demo run; with a display scale in percent
# (150, 200), docs/main-window-<percent>.png at that scale, the prefix's scale put back after.
# Usage: WINEPREFIX=... DISPLAY=:N scripts/main-window-screenshot.sh <windows build folder> [percent]
set -euo pipefail
build="${1:?usage: $0 <windows build folder> [percent]}"
percent="${2:-100}"
root="$(cd "$(dirname "$0")/.." && pwd)"
: "${WINEPREFIX:?set WINEPREFIX}"
mkdir -p "$WINEPREFIX/dosdevices/unc/vantrel-test/share"
show="$build/tests/windows/main_window_show.exe"
# The demo run, with a real installation and a lost computer, ends within this many seconds.
export SHOT_AFTER=25
if [ "$percent" = 100 ]; then
  exec "$root/scripts/screenshot.sh" "$show" "$root/docs/main-window.png" 700x640 30
fi
key='HKCU\Control Panel\Desktop'
before="$(wine reg query "$key" /v LogPixels 2>/dev/null | grep -o '0x[0-9a-fA-F]*' || true)"
restore() {
  if [ -n "$before" ]; then
    wine reg add "$key" /v LogPixels /t REG_DWORD /d "$((before))" /f >/dev/null 2>&1
  else
    wine reg delete "$key" /v LogPixels /f >/dev/null 2>&1 || true
  fi
}
trap restore EXIT
wine reg add "$key" /v LogPixels /t REG_DWORD /d "$((96 * percent / 100))" /f >/dev/null 2>&1
size="$((700 * percent / 100))x$((640 * percent / 100))"
"$root/scripts/screenshot.sh" "$show" "$root/docs/main-window-$percent.png" "$size" 30
