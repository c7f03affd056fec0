#!/usr/bin/env bash
# Installs what is missing, builds Scrivane and its tests, builds the program a second time with
# clang (more warnings, all of them errors; that build is not run), and runs every test under Wine
# on a virtual screen. The last lines are ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset mingw-ci
cmake --build --preset mingw-ci
cmake --preset mingw-clang
cmake --build --preset mingw-clang
ctest --preset mingw-ci
