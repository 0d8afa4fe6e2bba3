#!/usr/bin/env bash
# Takes a screenshot of one of our windows under Wine on an X display: the program runs in a Wine
# desktop window (so that its windows have title bars) and the plain desktop around it is trimmed.
# Usage: WINEPREFIX=... DISPLAY=:N scripts/screenshot.sh <program.exe> <output.png> <WxH> [args...]
# The picture is taken SHOT_AFTER seconds (default 8) after the start.
set -euo pipefail

program="${1:?usage: $0 <program.exe> <output.png> <WxH> [args...]}"
output="${2:?output file}"
size="${3:?desktop size, e.g. 700x640}"
shift 3
: "${WINEPREFIX:?set WINEPREFIX}" "${DISPLAY:?set DISPLAY}"
export WINEDEBUG=-all

exe="$(winepath -w "$(realpath "$program")")"
wine explorer /desktop="vantrelshot,$size" "$exe" "$@" >/dev/null 2>&1 &
shown=$!
sleep "${SHOT_AFTER:-8}"
shot="$(mktemp --suffix=.png)"
import -window root "$shot"
wait "$shown" || true

mkdir -p "$(dirname "$output")"
convert "$shot" -crop "$size+0+0" +repage -trim +repage "$output"
rm -f "$shot"
identify "$output"
