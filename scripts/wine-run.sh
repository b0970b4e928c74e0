#!/usr/bin/env bash
# Test emulator: runs a Windows program in the build tree's test prefix.
# usage: wine-run.sh <build-dir> <program.exe> [args...]
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?build dir}; shift
"$here/wineprefix.sh" ensure "$build" || { echo "wine-run: prefix set-up failed" >&2; exit 1; }
. "$here/wine-env.sh" "$build"
exec wine "$@"
