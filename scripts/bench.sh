#!/usr/bin/env bash
# The scan benchmark: files per second of the bare listing, of the listing with
# the walk's window calls, of the program's walk with and without its notify
# window, of clamscan and of quellor.exe itself (its window shown, from the SCAN
# press to the final status, less its fixed cost: a scan of an empty drive), in
# interleaved rounds on generated trees of the given file counts.
#
#   scripts/bench.sh [--rounds R] [--no-program] [--fixed-runs K]
#                    [--clamscan-rounds R] [--clamscan-upto N] N...
#                                                        for instance 10000 100000 300000
#   scripts/bench.sh --clean                             deletes the trees and the bench machine
#
# The bench machine is a Wine prefix of its own (build/benchmark/wineprefix) whose
# D: is the tree being measured and whose C: counts as a network drive, so the
# program's scan of every fixed drive walks the tree alone. Trees are generated
# once per file count (build/benchmark/trees) and reused. Figures go to
# build/benchmark/results.md (and .json). Takes minutes per 100,000 files.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
bench=build/benchmark
if [ "${1:-}" = "--clean" ]; then
  scripts/wineprefix.sh reset "$bench"
  rm -rf "$bench"
  exit 0
fi
[ $# -gt 0 ] || { sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
scripts/install-prereqs.sh --bench || exit 1
cmake --preset x64 >/dev/null && cmake --build --preset x64 -j"$(nproc)" \
  --target quellor scan_bench quellor-sample quellor-uidriver >/dev/null || exit 1
# The ClamAV signatures come from the export tool of the host build.
build_host -j"$(nproc)" --target quellor-sigs >/dev/null || exit 1
mkdir -p "$bench"
build-host/bin/quellor-sigs clamav > "$bench/quellor.ldb" || exit 1
ln -sfn ../bin "$bench/bin"  # T: of the bench machine: the build's programs
env -u DISPLAY scripts/wineprefix.sh ensure "$bench" || { echo "bench machine set-up failed" >&2; exit 1; }
. scripts/wine-env.sh "$bench"
if [ ! -f "$WINEPREFIX/.quellor-bench" ]; then
  # The drive types are read when the server starts.
  wine reg add 'HKLM\Software\Wine\Drives' /v c: /d network /f >/dev/null 2>&1
  scripts/wineprefix.sh stop "$bench"
  env -u DISPLAY scripts/wineprefix.sh ensure "$bench" && touch "$WINEPREFIX/.quellor-bench"
fi
run_headless python3 bench/bench.py --build build --signatures "$bench/quellor.ldb" --output "$bench/results.md" "$@"
rc=$?
scripts/wineprefix.sh stop "$bench"
exit $rc
