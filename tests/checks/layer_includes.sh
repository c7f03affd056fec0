#!/usr/bin/env bash
# A header of the form layer included from a layer below it stops the configure, even where
# nothing is linked for it: a scratch copy of the sources gets such an include in each of base,
# imaging, settings and capture, and one of capture in imaging, and `cmake --preset mingw-ci` must
# fail naming all five. Then two files that include each other must stop the check the build runs.
#   layer_includes.sh SOURCE_DIR SCRATCH_DIR
set -euo pipefail
source_dir=$1
scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch"
cp -r "$source_dir/CMakeLists.txt" "$source_dir/CMakePresets.json" "$source_dir/cmake" "$source_dir/src" "$scratch/"
layers=(base imaging settings capture)
for layer in "${layers[@]}"; do
  printf '#pragma once\n#include "forms/window.h"\n' >"$scratch/src/$layer/layer_probe.h"
done
printf '#pragma once\n#include "capture/fit_page.h"\n' >"$scratch/src/imaging/peer_probe.h"
if (cd "$scratch" && cmake --preset mingw-ci) >"$scratch/configure.log" 2>&1; then
  echo "The configure went through with forms headers included from ${layers[*]}."
  exit 1
fi
status=0
grep -q "includes a header of a layer it may not use" "$scratch/configure.log" || status=1
for layer in "${layers[@]}"; do
  grep -q "src/$layer/layer_probe.h: #include \"forms/window.h\"" "$scratch/configure.log" || {
    echo "Not named: src/$layer/layer_probe.h"
    status=1
  }
done
grep -q 'src/imaging/peer_probe.h: #include "capture/fit_page.h"' "$scratch/configure.log" || {
  echo "Not named: src/imaging/peer_probe.h"
  status=1
}
if [ $status -ne 0 ]; then
  cat "$scratch/configure.log"
  exit 1
fi
echo "The configure stopped at the forms header in ${layers[*]} and at capture's in imaging."

rm "$scratch"/src/*/layer_probe.h "$scratch/src/imaging/peer_probe.h"
printf '#pragma once\n#include "overlay/loop_probe_b.h"\n' >"$scratch/src/overlay/loop_probe_a.h"
printf '#pragma once\n' >"$scratch/src/overlay/loop_probe_b.h"
printf '#include "overlay/loop_probe_b.h"\n#include "overlay/loop_probe_a.h"\n' >"$scratch/src/overlay/loop_probe_b.cpp"
if cmake -DSCRIVANE_SRC="$scratch/src" -P "$scratch/cmake/layers.cmake" >"$scratch/loop.log" 2>&1; then
  echo "The include check went through two files that include each other."
  exit 1
fi
if ! grep -Eq "overlay/loop_probe_(a -> overlay/loop_probe_b|b -> overlay/loop_probe_a)" "$scratch/loop.log"; then
  cat "$scratch/loop.log"
  exit 1
fi
echo "The include check stopped at the loop of two files."
rm -rf "$scratch"
