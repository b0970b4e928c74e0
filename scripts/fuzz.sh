#!/usr/bin/env bash
# Fuzzes every host target (or the ones named) for SECONDS each, two at a time
# (FUZZ_JOBS sets how many), and prints per target the executions, the
# coverage (cov: edges, ft: features) and the findings. Builds the host build
# (build-host) first. Each target keeps its growing corpus in
# build-host/corpus/<target>; its crash, hang and out-of-memory inputs go to
# build-host/findings/<target>.
#   scripts/fuzz.sh 600                     every target, ten minutes each
#   scripts/fuzz.sh 60 fuzz_wininit         one target, one minute
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
seconds=${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}
shift
jobs=${FUZZ_JOBS:-2}
out=build-host  # the host preset's build folder
# The wininit.ini target writes real files for every input: a memory-backed
# temporary folder makes it ten times faster.
[ -w /dev/shm ] && export TMPDIR=/dev/shm

# target, its hand-made seed folder (besides the sample files), its largest input
targets=(
  "fuzz_pe_locator - 100000"
  "fuzz_marker_scanner - 20000"
  "fuzz_perf_block seeds-perf 20000"
  "fuzz_wininit seeds-wininit 8000"
  "fuzz_startup_value seeds-startup 2000"
  "fuzz_path_rules seeds-paths 600"
)

build_host -j"$jobs" >/dev/null || { echo "fuzz build failed" >&2; exit 1; }
# The seed folders, as the bounded test run makes them.
ctest --preset host -Q -R '^seeds' || { echo "seeds could not be written" >&2; exit 1; }

run_one() {
  local name=$1 seeds=$2 max_len=$3
  local corpus=$out/corpus/$name findings=$out/findings/$name
  mkdir -p "$corpus" "$findings"
  local dirs=("$corpus" "$out/seeds")
  [ "$seeds" != - ] && dirs+=("$out/$seeds")
  [ -d "fuzz/regressions/$name" ] && dirs+=("fuzz/regressions/$name")
  # -timeout: an input that takes longer than 10 s counts as a hang.
  "$out/bin/$name" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "${dirs[@]}" >"$out/$name.log" 2>&1
}

selected=()
for row in "${targets[@]}"; do
  name=${row%% *}
  if [ $# -eq 0 ] || [[ " $* " == *" $name "* ]]; then selected+=("$row"); fi
done
[ $# -eq 0 ] || [ ${#selected[@]} -gt 0 ] || { echo "no such target: $*" >&2; exit 2; }

for row in "${selected[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
  run_one $row &
done
wait

printf '%-22s %12s %8s %8s %9s\n' target executions cov ft findings
for row in "${selected[@]}"; do
  name=${row%% *}
  log=$out/$name.log
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  found=$(find "$out/findings/$name" -type f | wc -l)
  printf '%-22s %12s %8s %8s %9s\n' "$name" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$found"
done
