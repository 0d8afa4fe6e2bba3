#!/usr/bin/env bash
# Renders the SVG sources in this folder into the pictures that the resource script embeds.
# The rendered files are committed, so the build needs neither tool; run this after editing a
# source. Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert.
set -euo pipefail
cd "$(dirname "$0")"

# PNG with an 8-bit alpha channel (colour type 6), metadata stripped so renders are repeatable.
render_png() {
    local name="$1" width="$2" height="$3"
    rsvg-convert -w "$width" -h "$height" "$name.svg" -o "$name.tmp.png"
    convert "$name.tmp.png" -strip -define png:color-type=6 -define png:bit-depth=8 "PNG32:$name.png"
    rm "$name.tmp.png"
}

for button in execute clear savelog about exit; do
    render_png "button-$button" 40 40
done
render_png about-frame 155 115
render_png about-close 48 48

# The logo is a 24-bit bitmap without alpha.
rsvg-convert -w 147 -h 110 about-logo.svg -o about-logo.tmp.png
convert about-logo.tmp.png -background black -alpha remove -alpha off -type TrueColor "BMP3:about-logo.bmp"
rm about-logo.tmp.png
