#!/usr/bin/env bash
# The README's picture of an exported metafile (docs/export-emf.png): an instrument's .sor from the
# shared corpus exported by `lumvaris --export` as EMF, drawn by LibreOffice Draw (a reader of its
# own) and cut to what it drew.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/tools/setup.sh"
export CCACHE_BASEDIR="$root"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${JOBS:-2}" --target lumvaris
trace="$root/../shared/corpus/sor/JamesHarrison__otdrs__example2-exfo-maxtester730c.sor"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
XDG_CONFIG_HOME="$work/config" build/src/lumvaris --export "$work/page.emf" "$trace"
# Draw lays the picture on an A4 sheet; twice its usual pixels keep the small text readable.
soffice --headless --norestore "-env:UserInstallation=file://$work/profile" \
  --convert-to 'png:draw_png_Export:{"PixelWidth":{"type":"long","value":"1588"},"PixelHeight":{"type":"long","value":"2246"}}' \
  --outdir "$work" "$work/page.emf" >/dev/null
convert "$work/page.png" -background white -flatten -trim +repage -bordercolor white -border 8 \
  "$root/docs/export-emf.png"
