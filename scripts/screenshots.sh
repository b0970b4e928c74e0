#!/usr/bin/env bash
# Refreshes the screenshots in docs/screenshots/: builds, then runs the two
# test programs that take them (the real quellor.exe in its Ready, Scanning and
# Done states; the message dialog in its three modes) with QUELLOR_SCREENSHOTS
# naming a folder, and converts the BMP files they write to PNG. The tests
# check the pictures they save; a failing test leaves docs/ as it was.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
scripts/install-prereqs.sh || exit 1
cmake --preset x64 >/dev/null && cmake --build --preset x64 -j2 || exit 1
shots=build/bin/screenshots    # T:\screenshots on the test machine
rm -rf "$shots" && mkdir -p "$shots"
scripts/wineprefix.sh ensure build || { echo "Wine prefix set-up failed" >&2; exit 1; }
QUELLOR_SCREENSHOTS='T:\screenshots' run_headless \
  ctest --test-dir build -R '^(app_ui_tests|dialog_look_tests)$' --output-on-failure
rc=$?
scripts/wineprefix.sh stop build
[ $rc -eq 0 ] || exit $rc
mkdir -p docs/screenshots
for bmp in "$shots"/*.bmp; do
  png=docs/screenshots/$(basename "${bmp%.bmp}").png
  # -strip: no time stamps, so an unchanged picture gives an unchanged file
  convert "$bmp" -strip "$png" || exit 1
  echo "$png"
done
