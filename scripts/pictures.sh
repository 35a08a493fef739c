#!/usr/bin/env bash
# Draws the template's pictures again from their sources in
# app/resources/pictures/ and replaces the PNGs there (make pictures):
#   logo.svg     -> logo.png (231 x 32)
#   badges.svg   -> no-virus.png, no-adware.png, no-spyware.png (86 x 86 each,
#                   its three 86-pixel columns, left to right)
#   buttons.py   -> button-default.png (95 x 124), button-blue.png (129 x 116)
# then optimises them with optipng, keeping them 8-bit RGBA. The build uses
# the committed PNGs and needs none of these tools.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
dir=$top/app/resources/pictures
for tool in rsvg-convert optipng; do
  command -v "$tool" >/dev/null || { echo "pictures: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rsvg-convert "$dir/logo.svg" -o "$work/logo.png"
badges=(no-virus no-adware no-spyware)
for i in "${!badges[@]}"; do
  rsvg-convert --page-width 86 --page-height 86 --left=$((-86 * i)) --top=0 "$dir/badges.svg" \
    -o "$work/${badges[i]}.png"
done
/usr/bin/python3 "$dir/buttons.py" "$work"

# No reductions: the pictures stay 8-bit RGBA whatever colours they use.
optipng -quiet -o7 -nx -strip all "$work"/*.png
cp "$work"/*.png "$dir/"
total=0
for f in "$work"/*.png; do
  size=$(stat -c %s "$f")
  total=$((total + size))
  printf 'pictures: %-20s %6d bytes\n' "$(basename "$f")" "$size"
done
printf 'pictures: %-20s %6d bytes\n' "together" "$total"
