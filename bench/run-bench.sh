#!/usr/bin/env bash
# Builds and runs the benchmark program under Wine on its own virtual screen.
#   bench/run-bench.sh [name-filter]
# The live-drawing benchmarks ("live...") get a compositing manager on that screen, as a Windows
# desktop has one: without it Wine shows a window's per-pixel alpha as a shape.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >/dev/null
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target scrivane_bench scrivane_test_keeper xwatch >/dev/null
state=build/mingw/bench-env
if [[ "${1:-}" == live* ]]; then export SCRIVANE_COMPOSITOR=1; fi
tests/env/start-screen.sh "$PWD/$state" "$PWD/build/mingw/bin/scrivane_test_keeper.exe" "$PWD/build/mingw/host/xwatch" >/dev/null
trap 'tests/env/stop-screen.sh "$PWD/$state"' EXIT
# The entry benchmark finds the screen watcher through the state folder.
export WINEPREFIX="$PWD/$state/wineprefix" WINEDEBUG=-all DISPLAY=":$(head -n1 "$state/display")"
export SCRIVANE_TEST_STATE="$PWD/$state"
wine build/mingw/bin/scrivane_bench.exe "$@"
