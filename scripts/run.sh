#!/usr/bin/env bash
# Installs what is missing, builds Scrivane and starts it under Wine on your display. With no
# display, it plays a short presentation on a virtual screen (start, draw, magnifier, leave) and
# says where the screenshots it took are.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw
bin=$PWD/build/mingw/bin

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ -n "${DISPLAY:-}" ] && xset q >/dev/null 2>&1; then
  # A Wine prefix of Scrivane's own, so that nothing touches your usual Wine set-up.
  export WINEPREFIX=${SCRIVANE_WINEPREFIX:-$PWD/build/mingw/run-prefix}
  echo "Starting Scrivane on $DISPLAY (Wine prefix $WINEPREFIX)."
  echo "Ctrl+Shift+Z: presentation mode, Esc: leave, Ctrl+Shift+M: magnifier; the menu is on the tray icon."
  exec wine "$bin/scrivane.exe"
fi

echo "No display: playing a short presentation on a virtual screen."
state=$PWD/build/mingw/demo-env
shots=$PWD/build/mingw/demo-screenshots
rm -rf "$shots"
mkdir -p "$shots"
tests/env/start-screen.sh "$state" "$bin/scrivane_test_keeper.exe"
trap 'tests/env/stop-screen.sh "$state"' EXIT
export WINEPREFIX=$state/wineprefix DISPLAY=":$(head -n1 "$state/display")"
wine "$bin/scrivane_demo.exe" "$(winepath -w "$shots")"
for f in "$shots"/*.bmp; do
  convert "$f" "${f%.bmp}.png" && rm -f "$f"
done
echo
echo "Screenshots of the presentation are in $shots:"
ls -1 "$shots"
