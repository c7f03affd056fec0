#!/usr/bin/env bash
# Stops what start-screen.sh started: Wine first, then the window manager and the X server
# (killing X first leaves the next run's tests hanging).
state=$1
export WINEPREFIX="$state/wineprefix"
if [ -d "$WINEPREFIX" ]; then
  wineserver -k 2>/dev/null
  timeout 20 wineserver -w 2>/dev/null
fi
for p in xwatch keeper picom openbox xephyr xvfb; do
  if [ -f "$state/$p.pid" ]; then
    kill "$(cat "$state/$p.pid")" 2>/dev/null
    rm -f "$state/$p.pid"
  fi
done
exit 0
