#!/usr/bin/env bash
# Saves a PNG of the whole test screen: screenshot.sh STATE_DIR OUT.png
state=$1
DISPLAY=":$(head -n1 "$state/display")" import -window root "$2"
