#!/usr/bin/env bash
# The README's pictures of an export (docs/export-emf.png, export-wmf.png, export-pdf.png): an
# instrument's .sor from the shared corpus exported by `lumvaris --export` as EMF and WMF, drawn by
# LibreOffice Draw (a reader of its own), and as PDF drawn by poppler, each cut to what it drew.
. "$(dirname "$0")/lib.sh"
lv_build lumvaris
trace="$root/../shared/corpus/sor/JamesHarrison__otdrs__example2-exfo-maxtester730c.sor"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The same page as EMF and WMF drawn by LibreOffice, and as PDF drawn by poppler, to compare.
for kind in emf wmf; do
  XDG_CONFIG_HOME="$work/config" build/src/lumvaris --export "$work/page.$kind" "$trace"
  soffice --headless --norestore "-env:UserInstallation=file://$work/profile" \
    --convert-to 'png:draw_png_Export:{"PixelWidth":{"type":"long","value":"1588"},"PixelHeight":{"type":"long","value":"2246"}}' \
    --outdir "$work/$kind" "$work/page.$kind" >/dev/null
  convert "$work/$kind/page.png" -background white -flatten -trim +repage -bordercolor white -border 8 \
    "$root/docs/export-$kind.png"
done
XDG_CONFIG_HOME="$work/config" build/src/lumvaris --export "$work/page.pdf" "$trace"
pdftoppm -png -r 150 -singlefile "$work/page.pdf" "$work/pdf"
convert "$work/pdf.png" -background white -flatten -trim +repage -bordercolor white -border 8 \
  "$root/docs/export-pdf.png"
