#!/usr/bin/env bash
# Renders the program's icon, app/main/icon.mvg, into the Windows icon file
# app/main/vuzuz-archive-creator.ico: one image per size from 16 to 256 pixels,
# each drawn from the vector source at its own size. The .ico is kept in the
# repository so that the exe's bytes do not depend on the ImageMagick version
# of the machine that builds it; run this after changing the drawing and
# commit both files.
#   scripts/make-icon.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
src="$root/app/main/icon.mvg"
out="$root/app/main/vuzuz-archive-creator.ico"
# Debian's ImageMagick 6 (package imagemagick): MVG is drawn by its own
# renderer, no delegate needed.
magick=/usr/bin/convert
[ -x "$magick" ] || { echo "make-icon.sh: $magick (Debian's imagemagick) is needed" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
sizes=(16 20 24 32 40 48 64 256)
pngs=()
for size in "${sizes[@]}"; do
  density=$(awk -v s="$size" 'BEGIN { printf "%.4f", 72 * s / 256 }')
  # No time chunks: the same drawing gives the same bytes.
  "$magick" -density "$density" -background none "mvg:$src" -resize "${size}x${size}!" \
    -define png:exclude-chunks=date,time +set date:create +set date:modify "png32:$work/$size.png"
  pngs+=("$work/$size.png")
done
"$magick" "${pngs[@]}" +set date:create +set date:modify "ico:$work/icon.ico"
mv "$work/icon.ico" "$out"
echo "wrote $out (${sizes[*]} px)"
