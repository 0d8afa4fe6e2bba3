#!/usr/bin/env bash
# Takes docs/about.png: the About box under Wine on an X display, in a Wine desktop window so
# that the box has its title bar, cropped to the box.
# Usage: WINEPREFIX=... DISPLAY=:N scripts/about-screenshot.sh <windows build folder>
# Needs a Windows build with the about_show target, a running X server (Xvfb) on DISPLAY,
# and ImageMagick.
set -euo pipefail

build="${1:?usage: $0 <windows build folder>}"
root="$(cd "$(dirname "$0")/.." && pwd)"
: "${WINEPREFIX:?set WINEPREFIX}" "${DISPLAY:?set DISPLAY}"
export WINEDEBUG=-all

# Wine finds the fonts of the fonts-wine package (Tahoma, MS Sans Serif) only in the prefix.
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
for font in /usr/share/wine/fonts/*; do
    ln -sf "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done

wine explorer /desktop=vantrelabout,420x400 "$build/tests/about_wine/about_show.exe" 12 >/dev/null 2>&1 &
shown=$!
sleep 6
shot="$(mktemp --suffix=.png)"
import -window root "$shot"
wait "$shown" || true

# The desktop is one plain colour around the box: trimming it leaves the box.
mkdir -p "$root/docs"
convert "$shot" -crop 420x400+0+0 +repage -trim +repage "$root/docs/about.png"
rm -f "$shot"
identify "$root/docs/about.png"
