#!/usr/bin/env bash
# Fails when an object of the program defines a variable that can change and outlives every call:
# a namespace-scope or class-static variable, or a function's static local (with its guard).
# Everything the program keeps while it runs belongs to its application object, made in wWinMain.
#   no_globals.sh NM ARCHIVE_OR_OBJECT...
# Constants land in read-only sections and are not reported; section names (.bss, .data) are not
# variables.
set -euo pipefail
nm_tool=$1
shift
# -A: the file (and archive member) before every symbol; -C: names as the source spells them.
found=$("$nm_tool" -A -C --defined-only "$@" | awk '
  $2 ~ /^[bBdDcCvV]$/ && $3 !~ /^\./ {
    file = $1; sub(/:[0-9a-fA-F]+$/, "", file)
    name = $0; sub(/^[^ ]+ [^ ]+ /, "", name)
    print "  " file ": " name
  }')
if [ -n "$found" ]; then
  echo "Variables outside the application object:"
  echo "$found"
  exit 1
fi
echo "No variable outside the application object in $# files."
