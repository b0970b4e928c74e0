# shellcheck shell=bash
# Sourced by the other scripts, from the repository's root: what several of
# them do alike.
#   . scripts/lib.sh

# run_headless COMMAND [ARGUMENT...]: runs the command on a headless X server
# of its own (Xvfb, a free display number), large and deep enough for the
# program's skinned window and the tests' pixel reads.
run_headless() {
  xvfb-run -a -s "-screen 0 1024x768x24" "$@"
}

# build_host [BUILD OPTION...]: configures and builds the Linux host build
# (the "host" preset: the fuzz targets and quellor-sigs, with clang, in
# build-host). The options go to cmake --build: -j, --target.
build_host() {
  cmake --preset host >/dev/null && cmake --build --preset host "$@"
}

# files_scanned FILE: the number after "Total files scanned" in the report of
# a scan that the UI driver printed to FILE.
files_scanned() {
  grep -o 'Total files scanned.*' "$1" | tr -s '\t\r :' ' ' | awk '{ print $NF }'
}
