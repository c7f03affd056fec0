#!/usr/bin/env bash
# Starts the test environment of one test run: a throwaway Wine prefix inside the build tree, a
# persistent wineserver, an Xvfb screen (1920x1080x24) with a window manager, and a keeper
# program that holds Wine's explorer open for the whole run; with XWATCH, the screen watcher
# (tools/xwatch) listening in STATE_DIR/xwatch.
#   start-screen.sh STATE_DIR KEEPER_EXE [XWATCH]
# Settings, from the environment:
#   SCRIVANE_DPI=144        the prefix's dpi (HKCU\Control Panel\Desktop LogPixels)
#   SCRIVANE_MONITORS=1920x1080+0+0,1280x1024-1280+0
#                           several monitors, as Windows places them, the primary first: one
#                           Xephyr with a screen per monitor and Xinerama, inside a host Xvfb that
#                           holds them all, and UseXRandR=N in the prefix (Wine then reads the
#                           monitors from Xinerama; a plain Xvfb shows it one monitor whatever it is
#                           told).
#   SCRIVANE_COMPOSITOR=1   a compositing manager (picom, its plain XRender back end, no shadows or
#                           fading) on the screen: without one, Wine shows a window of per-pixel
#                           alpha as a shape, every pixel that is not fully transparent opaque in
#                           its premultiplied colour; with one, it blends. (xcompmgr blends too, but
#                           after a layered window's shape changes it sometimes fails an XFixes
#                           request, BadRegion, and paints the whole screen black but that window.)
set -euo pipefail
state=$1
keeper=$2
xwatch=${3:-}
here=$(cd "$(dirname "$0")" && pwd)

# Whatever an earlier run left behind goes first. A Wine process of that run may still be
# writing into its prefix as it ends: what cannot be removed yet is moved aside and removed later.
"$here/stop-screen.sh" "$state" >/dev/null 2>&1 || true
if ! rm -rf "$state" 2>/dev/null; then
  aside="$state.old.$$"
  mv "$state" "$aside"
  (sleep 5; rm -rf "$aside") </dev/null >/dev/null 2>&1 &
fi
mkdir -p "$state"

export WINEPREFIX="$state/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64

wait_for_display() {  # FILE LOG NAME
  for _ in $(seq 1 100); do
    [ -s "$1" ] && return 0
    sleep 0.1
  done
  echo "$3 did not start"; cat "$2"; exit 1
}

monitors=${SCRIVANE_MONITORS:-}
if [ -z "$monitors" ]; then
  Xvfb -displayfd 3 -screen 0 "${SCRIVANE_SCREEN:-1920x1080x24}" -nolisten tcp 3>"$state/display" \
    </dev/null >"$state/xvfb.log" 2>&1 &
  echo $! >"$state/xvfb.pid"
  wait_for_display "$state/display" "$state/xvfb.log" Xvfb
else
  # Windows coordinates (the primary at 0,0, others possibly negative) become X origins from 0,0.
  ws=() hs=() xs=() ys=()
  for m in ${monitors//,/ }; do
    [[ $m =~ ^([0-9]+)x([0-9]+)([+-][0-9]+)([+-][0-9]+)$ ]] || { echo "bad monitor: $m"; exit 1; }
    ws+=("${BASH_REMATCH[1]}") hs+=("${BASH_REMATCH[2]}") xs+=($((BASH_REMATCH[3]))) ys+=($((BASH_REMATCH[4])))
  done
  minx=0 miny=0 maxx=0 maxy=0
  for i in "${!ws[@]}"; do
    (( xs[i] < minx )) && minx=${xs[i]}
    (( ys[i] < miny )) && miny=${ys[i]}
    (( xs[i] + ws[i] > maxx )) && maxx=$(( xs[i] + ws[i] ))
    (( ys[i] + hs[i] > maxy )) && maxy=$(( ys[i] + hs[i] ))
  done
  Xvfb -displayfd 3 -screen 0 "$((maxx - minx))x$((maxy - miny))x24" -nolisten tcp 3>"$state/host-display" \
    </dev/null >"$state/xvfb.log" 2>&1 &
  echo $! >"$state/xvfb.pid"
  wait_for_display "$state/host-display" "$state/xvfb.log" "the host Xvfb"
  screens=()
  for i in "${!ws[@]}"; do
    screens+=(-origin "$((xs[i] - minx)),$((ys[i] - miny))" -screen "${ws[i]}x${hs[i]}x24")
  done
  DISPLAY=":$(head -n1 "$state/host-display")" Xephyr -displayfd 3 +xinerama "${screens[@]}" -nolisten tcp \
    3>"$state/display" </dev/null >"$state/xephyr.log" 2>&1 &
  echo $! >"$state/xephyr.pid"
  wait_for_display "$state/display" "$state/xephyr.log" Xephyr
fi
export DISPLAY=":$(head -n1 "$state/display")"
echo "test screen on $DISPLAY"

# Without a window manager every hide or destroy of a mapped window blocks about two seconds.
openbox --sm-disable </dev/null >"$state/openbox.log" 2>&1 &
echo $! >"$state/openbox.pid"

if [ -n "${SCRIVANE_COMPOSITOR:-}" ]; then
  picom --config /dev/null --backend xrender </dev/null >"$state/picom.log" 2>&1 &
  echo $! >"$state/picom.pid"
fi

# Printing: when CUPS and its PDF printer are installed and we may run them, make a cups-pdf
# printer the default before the prefix is made, so Wine lists it. cupsd serves the whole machine
# and other test runs may print at the same time, so it stays running after the run and writes
# every job into one shared folder; a test finds its job by its unique document name. Nothing
# here may fail the start: without a printer the printing tests say so and record to a metafile.
start_printer() {
  local ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd out=/var/spool/scrivane-pdf conf=/etc/cups/cups-pdf.conf
  [ -x /usr/sbin/cupsd ] && command -v lpadmin >/dev/null && [ -f "$ppd" ] && [ -f "$conf" ] || return 1
  [ "$(id -u)" -eq 0 ] || return 1
  mkdir -p "$out" && chmod 1777 "$out" || return 1
  grep -qx "Out $out" "$conf" || sed -i "s#^Out .*#Out $out#" "$conf" || return 1
  lpstat -r 2>/dev/null | grep -q 'is running' || /usr/sbin/cupsd </dev/null >/dev/null 2>&1 || return 1
  for _ in $(seq 1 50); do
    lpstat -r 2>/dev/null | grep -q 'is running' && break
    sleep 0.1
  done
  lpstat -p ScrivanePDF >/dev/null 2>&1 || lpadmin -p ScrivanePDF -E -v cups-pdf:/ -P "$ppd" || return 1
  lpadmin -d ScrivanePDF || return 1
  echo "$out" >"$state/printer-out"
  echo "default printer ScrivanePDF, PDFs in $out"
}
start_printer </dev/null 2>>"$state/printer.log" || echo "no CUPS printer: printing tests use a metafile"

start=$(date +%s)
wineboot -i </dev/null >"$state/wineboot.log" 2>&1
wineserver -w </dev/null >/dev/null 2>&1
# Settings that Wine reads when a process starts: written now, with nothing of the prefix running
# afterwards (the wineserver is stopped again before the persistent one starts).
if [ -n "${SCRIVANE_DPI:-}" ]; then
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$SCRIVANE_DPI" /f </dev/null >>"$state/wineboot.log" 2>&1
fi
if [ -n "$monitors" ]; then
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /t REG_SZ /d N /f </dev/null >>"$state/wineboot.log" 2>&1
fi
if [ -n "${SCRIVANE_DPI:-}" ] || [ -n "$monitors" ]; then
  wineserver -k </dev/null >/dev/null 2>&1 || true
  wineserver -w </dev/null >/dev/null 2>&1
fi
echo "wine prefix ready in $(( $(date +%s) - start )) s"

# A persistent wineserver: each test program then starts in tens of milliseconds.
wineserver -p </dev/null >/dev/null 2>&1
setsid wine "$keeper" </dev/null >/dev/null 2>&1 &
echo $! >"$state/keeper.pid"
# The keeper's window shows the prefix is up and explorer is running. Wait until this prefix's
# explorer exists (a Wine process that lists printers starts more slowly): a test program that
# came first would start explorer itself, and explorer would hold that test's output pipe.
for _ in $(seq 1 100); do
  for p in /proc/[0-9]*; do
    case "$(tr '\0' ' ' 2>/dev/null <"$p/cmdline")" in
      *explorer.exe*) tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && break 2 ;;
    esac
  done
  sleep 0.1
done
sleep 0.5

# The screen watcher: a native X client that tests and the benchmark drive through files.
if [ -n "$xwatch" ]; then
  mkdir -p "$state/xwatch"
  "$xwatch" "$state/xwatch" </dev/null >"$state/xwatch.log" 2>&1 &
  echo $! >"$state/xwatch.pid"
  for _ in $(seq 1 100); do
    [ -s "$state/xwatch/ready" ] && break
    sleep 0.05
  done
  [ -s "$state/xwatch/ready" ] || { echo "the screen watcher did not start"; cat "$state/xwatch.log"; exit 1; }
fi
echo "test environment ready"
