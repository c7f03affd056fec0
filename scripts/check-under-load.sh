#!/usr/bin/env bash
# Runs the README's test command three times in a row while two CPU-bound processes compete for
# the processors, then stops them and reports each run. A suite whose GUI tests wait for state
# rather than for time stays green here; one that waits for time shows up as an occasional red.
# Not part of CI: it takes three full test runs on a deliberately slowed machine.
#
#   bash scripts/check-under-load.sh [runs]        (default 3)
#
# The output of run N is kept in build/load-check/run-N.log.
set -uo pipefail
cd "$(dirname "$0")/.."

runs=${1:-3}
logs=build/load-check
mkdir -p "$logs"

burners=()
stop_burners() {
  for pid in "${burners[@]}"; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  burners=()
}
trap stop_burners EXIT INT TERM

for _ in 1 2; do
  sha256sum /dev/zero >/dev/null 2>&1 &
  burners+=("$!")
done
echo "load: two 'sha256sum /dev/zero' processes (pids ${burners[*]}) on $(nproc) processors"

results=()
failed=0
for n in $(seq 1 "$runs"); do
  log="$logs/run-$n.log"
  start=$(date +%s)
  bash scripts/test.sh >"$log" 2>&1
  rc=$?
  secs=$(( $(date +%s) - start ))
  summary=$(grep -E '^[0-9]+% tests passed' "$log" | tail -1)
  [ -n "$summary" ] || summary="no ctest summary (exit $rc)"
  results+=("run $n: exit $rc in ${secs}s: $summary")
  echo "${results[-1]}"
  if [ "$rc" -ne 0 ]; then
    failed=$((failed + 1))
    # The names of the failed test programs and the first lines of each failure.
    sed -n '/The following tests FAILED/,$p' "$log"
    grep -E '^\[  FAILED  \]|Failure$' "$log" | sort -u | head -20
  fi
done

stop_burners
echo "load stopped; load average now: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "---- summary ----"
printf '%s\n' "${results[@]}"
[ "$failed" -eq 0 ] && echo "all $runs runs green under load" || echo "$failed of $runs runs failed under load"
exit $(( failed > 0 ))
