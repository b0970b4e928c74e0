#!/usr/bin/env bash
# Installs what is missing, checks the C++ sources' formatting
# (scripts/check-format.sh), builds the x86_64 and i686 programs and test
# programs (each build of the program ends with the instruction and import
# gates on the shipped file), builds and tests the Linux host build (the fuzz
# targets briefly, the signature cross-check), then runs every test program
# under Wine on a headless X server; ctest's last two entries build the 32-bit
# test machine and run the i686 test programs in it (scripts/vm32.sh). Ends
# with ctest's summary.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
scripts/install-prereqs.sh || exit 1
# The C++ sources as .clang-format lays them out (QUELLOR_CHECK_FORMAT=0 skips it).
if [ "${QUELLOR_CHECK_FORMAT:-1}" = 1 ]; then
  scripts/check-format.sh || exit 1
fi
jobs=$(nproc)
cmake --preset x64 >/dev/null && cmake --build --preset x64 -j"$jobs" || exit 1
cmake --preset i686 >/dev/null && cmake --build --preset i686 -j"$jobs" || exit 1
# The Linux host build: the fuzz targets, each run a bounded number of times,
# and the signature cross-check.
build_host -j"$jobs" && ctest --preset host -Q || exit 1
scripts/wineprefix.sh ensure build || { echo "Wine prefix set-up failed" >&2; exit 1; }
run_headless ctest --preset x64 "$@"
rc=$?
scripts/wineprefix.sh stop build
exit $rc
