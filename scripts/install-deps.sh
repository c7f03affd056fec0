#!/usr/bin/env bash
# Installs what building and testing Scrivane on Debian needs, and nothing that is already there.
# The host compiler and the X development packages build the screen watcher (tools/xwatch), a
# native Linux program the tests and the benchmark run beside Wine; Xephyr gives the tests a
# screen of two monitors, picom one that blends windows of per-pixel alpha. Clang (with LLVM's
# linker) builds the program a second time, and cppcheck reads its sources, as checks of the code.
set -euo pipefail

pkgs=(g++-mingw-w64-x86-64 wine64 wine xvfb openbox x11-apps imagemagick
      cmake make ninja-build googletest cups printer-driver-cups-pdf poppler-utils
      python3 x11-xserver-utils rst2pdf nsis zip xclip
      g++ libx11-dev libxdamage-dev libxfixes-dev libxext-dev libxtst-dev xserver-xephyr picom
      clang lld cppcheck)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
