#!/usr/bin/env bash
# Renders the icon's PNG sizes from its SVG (needs rsvg-convert, Debian package
# librsvg2-bin). Run it after changing the SVG and commit the PNGs with it: the
# build takes them as they are, and a test compares them with a fresh rendering.
set -euo pipefail
cd "$(dirname "$0")"
sizes="16 24 32 48 64 128 256"
mkdir -p png
rm -f png/*.png
for size in $sizes; do
  rsvg-convert --width "$size" --height "$size" --output "png/$size.png" kv350tools.svg
done
