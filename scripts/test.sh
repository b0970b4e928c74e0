#!/usr/bin/env bash
# Installs what is missing, builds the x86_64 and i686 programs and test
# programs (each build ends with the import gate on the shipped file), runs
# the fuzz targets briefly on the host, then every test program under Wine on a
# headless X server; ctest's last two entries build the 32-bit test machine and
# run the i686 test programs in it (scripts/vm32.sh). Ends with ctest's summary.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-prereqs.sh || exit 1
jobs=$(nproc)
cmake --preset x64 >/dev/null && cmake --build --preset x64 -j"$jobs" || exit 1
cmake --preset i686 >/dev/null && cmake --build --preset i686 -j"$jobs" || exit 1
# Host build of the fuzz targets, each run a bounded number of times.
cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
  cmake --build build-fuzz -j"$jobs" && ctest --test-dir build-fuzz --output-on-failure -Q || exit 1
scripts/wineprefix.sh ensure build || { echo "Wine prefix set-up failed" >&2; exit 1; }
xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset x64 "$@"
rc=$?
scripts/wineprefix.sh stop build
exit $rc
