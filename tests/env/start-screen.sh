#!/usr/bin/env bash
# Starts the test environment of one test run: a throwaway Wine prefix inside the build tree, a
# persistent wineserver, an Xvfb screen (1920x1080x24) with a window manager, and a keeper
# program that holds Wine's explorer open for the whole run.
#   start-screen.sh STATE_DIR KEEPER_EXE
set -euo pipefail
state=$1
keeper=$2
here=$(cd "$(dirname "$0")" && pwd)

# Whatever an earlier run left behind goes first.
"$here/stop-screen.sh" "$state" >/dev/null 2>&1 || true
rm -rf "$state"
mkdir -p "$state"

export WINEPREFIX="$state/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64

Xvfb -displayfd 3 -screen 0 "${SCRIVANE_SCREEN:-1920x1080x24}" -nolisten tcp 3>"$state/display" \
  </dev/null >"$state/xvfb.log" 2>&1 &
echo $! >"$state/xvfb.pid"
for _ in $(seq 1 100); do
  [ -s "$state/display" ] && break
  sleep 0.1
done
[ -s "$state/display" ] || { echo "Xvfb did not start"; cat "$state/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n1 "$state/display")"
echo "test screen on $DISPLAY"

# Without a window manager every hide or destroy of a mapped window blocks about two seconds.
openbox --sm-disable </dev/null >"$state/openbox.log" 2>&1 &
echo $! >"$state/openbox.pid"

start=$(date +%s)
wineboot -i </dev/null >"$state/wineboot.log" 2>&1
wineserver -w </dev/null >/dev/null 2>&1
echo "wine prefix ready in $(( $(date +%s) - start )) s"

# A persistent wineserver: each test program then starts in tens of milliseconds.
wineserver -p </dev/null >/dev/null 2>&1
setsid wine "$keeper" </dev/null >/dev/null 2>&1 &
echo $! >"$state/keeper.pid"
# The keeper's window shows the prefix is up and explorer is running.
sleep 1
echo "test environment ready"
