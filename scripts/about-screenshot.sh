#!/usr/bin/env bash
# Takes docs/about.png: the About box.
# Usage: WINEPREFIX=... DISPLAY=:N scripts/about-screenshot.sh <windows build folder>
set -euo pipefail
build="${1:?usage: $0 <windows build folder>}"
root="$(cd "$(dirname "$0")/.." && pwd)"
exec "$root/scripts/screenshot.sh" "$build/tests/windows/about/about_show.exe" "$root/docs/about.png" 420x400 12
