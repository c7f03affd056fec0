#!/usr/bin/env bash
# Runs a test program with a full disk of its own: a small tmpfs mounted outside the build tree and
# linked into the test prefix's dosdevices as drive T:. Mounting needs root; where it is not
# possible the test says so and reports itself skipped (exit 77), it does not pass.
#   full-disk.sh STATE_DIR WINE_RUN TEST_EXE
set -uo pipefail
state=$1
run=$2
exe=$3
drive="$state/wineprefix/dosdevices/t:"

mnt=$(mktemp -d /tmp/scrivane-full-disk.XXXXXX) || { echo "SKIPPED: no temporary folder for the mount"; exit 77; }
if ! mount -t tmpfs -o size=2m,mode=1777 scrivane-full-disk "$mnt" 2>"$mnt.err"; then
  echo "SKIPPED: the full-disk test needs a tmpfs mount, which failed (it needs root): $(cat "$mnt.err")"
  rm -f "$mnt.err"
  rmdir "$mnt"
  exit 77
fi
rm -f "$mnt.err"
cleanup() {
  rm -f "$drive"
  # A test may have linked the prefix's Drawings folder to the disk (it is never a link
  # otherwise): the link goes with the disk.
  for link in "$state"/wineprefix/drive_c/users/*/AppData/Local/Scrivane/Drawings; do
    if [ -L "$link" ]; then rm -f "$link"; fi
  done
  umount "$mnt" && rmdir "$mnt"
}
trap cleanup EXIT
ln -sfn "$mnt" "$drive"
echo "drive T: is a 2 MB tmpfs at $mnt"
SCRIVANE_FULL_DISK='T:' "$run" "$exe"
