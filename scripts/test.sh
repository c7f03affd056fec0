#!/usr/bin/env bash
# Installs what is missing, builds Scrivane and its tests, and runs every test under Wine on a
# virtual screen. The last lines are ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset mingw-ci
cmake --build --preset mingw-ci
ctest --preset mingw-ci
