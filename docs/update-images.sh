#!/usr/bin/env bash
# Refreshes the manual's pictures from the screenshots that the end-to-end tests leave in
# build/mingw/screenshots and the demo presentation leaves in build/mingw/demo-screenshots (run
# `bash scripts/test.sh` and, without a display, `bash scripts/run.sh` first). The pictures are committed, so the
# manual builds without running the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
shots=build/mingw/screenshots
out=docs/images
mkdir -p "$out"
# Black out Wine's stand-alone tray window in the top-left corner, then cut to what is shown.
crop() { convert "$shots/$1" -fill black -draw 'rectangle 0,0 200,60' -trim +repage -bordercolor black -border 8 "$out/$2"; }
crop e2e-help.bmp help-window.png
crop e2e-tray-menu.bmp menu.png
# The Options dialog as the in-process tests leave it at 100 % and 200 %.
convert "$shots/options-100.bmp" "$out/options-96.png"
convert "$shots/options-200.bmp" "$out/options-192.png"
# The slide of the shapes test, without the tray window's corner.
convert "$shots/e2e-shapes.bmp" -crop 1560x900+40+60 +repage -resize 50% "$out/shapes.png"
demo=build/mingw/demo-screenshots
convert "$demo/3-presentation.png" -fill white -draw 'rectangle 0,0 170,45' -resize 50% "$out/presentation.png"
convert "$demo/4-magnifier.png" -crop 1000x560+0+0 +repage -resize 60% "$out/magnifier.png"
echo "updated: $(ls "$out")"
