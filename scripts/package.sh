#!/usr/bin/env bash
# Builds what a Windows user downloads, into dist/: the installer Scrivane-<version>-setup.exe, the
# portable Scrivane-<version>-portable.zip (exe, manual, README.txt), and scrivane.debug, the
# debug information of that exe for resolving a crash address with addr2line. Installs what is
# missing first. The release build lives in build/release.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
out=build/release/release
rm -rf dist
mkdir -p dist
cp "$out/Scrivane-$version-setup.exe" "$out/Scrivane-$version-portable.zip" "$out/scrivane.debug" dist/
echo "dist/:"
ls -l dist
