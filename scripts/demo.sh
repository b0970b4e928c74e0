#!/usr/bin/env bash
# The program's main job on a demo Windows machine of its own:
#   scripts/demo.sh [--xvfb] [--prebuilt <bin-dir>] [--machine <dir>] [--keep-prefix]
# Installs what is missing, builds quellor.exe, makes a fresh Wine prefix
# (build/demo/wineprefix: C: and the fixed drive D:, no Z:), plants synthetic
# infections, starts quellor.exe (on the user's display when there is one, with
# --xvfb or without a display on a headless X server), presses SCAN, prints the
# report list and the statistics, saves a screenshot of the window
# (build/demo/quellor-demo.png) and closes the program.
# --prebuilt takes quellor.exe, the sample maker and the UI driver from
# <bin-dir> instead of installing and building (the 32-bit test machine runs the
# i686 ones so); --machine puts the demo machine in <dir> instead of build/demo;
# --keep-prefix uses the Wine prefix already made there (by scripts/wineprefix.sh,
# never used since) instead of making a fresh one.
# --gui-phase alone runs only the scan on the demo machine in
# $QUELLOR_DEMO_MACHINE as it is (what this script runs after planting; the
# 32-bit test machine's WOW64 check runs it on a machine it planted itself).
#
# The samples are harmless data files that the variant table recognises: 32-bit
# PE files that nothing here runs.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
root=$PWD
xvfb=0 prebuilt="" keep_prefix=0 gui_phase_only=0
demo=${QUELLOR_DEMO_MACHINE:-$root/build/demo}
while [ $# -gt 0 ]; do
  case "$1" in
    --xvfb) xvfb=1; shift ;;
    --prebuilt) prebuilt=$(cd "$2" && pwd); shift 2 ;;
    --machine) mkdir -p "$2"; demo=$(cd "$2" && pwd); shift 2 ;;
    --keep-prefix) keep_prefix=1; shift ;;
    --gui-phase) gui_phase_only=1; shift ;;
    *) echo "demo: unknown option $1" >&2; exit 2 ;;
  esac
done
export QUELLOR_DEMO_MACHINE=$demo
shot=$demo/quellor-demo.png
# The program's window title, as the program itself defines it.
title=$(sed -n 's/^inline constexpr char PROGRAM_TITLE\[\] = "\(.*\)";$/\1/p' common/ProgramTexts.h)
[ -n "$title" ] || { echo "demo: no program title in common/ProgramTexts.h" >&2; exit 1; }
gui_limit=300  # seconds for starting, scanning and closing

say() { printf '\n== %s\n' "$*"; }

gui_phase() {
  . scripts/wine-env.sh "$demo"
  cd "$demo/bin"
  say "Starting quellor.exe and pressing SCAN"
  wine 'T:\quellor.exe' &
  local program=$!
  local rc=0
  wine 'T:\quellor-uidriver.exe' scan "$gui_limit" || rc=$?
  if [ $rc -eq 0 ]; then
    if import -window "$title" "$shot" 2>/dev/null; then
      say "Screenshot of the window: $shot"
    else
      echo "note: no screenshot (ImageMagick could not grab the window)" >&2
    fi
    wine 'T:\quellor-uidriver.exe' close || rc=$?
  fi
  wait "$program" 2>/dev/null || true
  return $rc
}

if [ $gui_phase_only -eq 1 ]; then
  gui_phase
  exit $?
fi

bin=$prebuilt
if [ -z "$bin" ]; then
  say "Installing what is missing"
  scripts/install-prereqs.sh

  say "Building quellor.exe, the sample maker and the UI driver"
  cmake --preset x64 >/dev/null
  cmake --build --preset x64 -j"$(nproc)" --target quellor quellor-sample quellor-uidriver >/dev/null
  bin=build/bin
fi
mkdir -p "$demo/bin"
cp "$bin/quellor.exe" "$bin/quellor-sample.exe" "$bin/quellor-uidriver.exe" "$demo/bin/"

if [ $keep_prefix -eq 1 ]; then
  say "Using the demo machine made in $demo"
else
  say "Making the demo machine (its own Wine prefix)"
  scripts/wineprefix.sh reset "$demo"
  rm -rf "$demo/testdrives"
fi
env -u DISPLAY scripts/wineprefix.sh ensure "$demo"
. scripts/wine-env.sh "$demo"
cd "$demo/bin"  # T: on the demo machine: Windows programs start in a folder they can see
drive_c=$WINEPREFIX/drive_c
drive_d=$demo/testdrives/d

say "Planting synthetic infections"
mkdir -p "$drive_c/users/Public/Downloads" "$drive_c/Program Files/Media Tools" "$drive_c/windows/temp" \
         "$drive_c/users/Public/Documents" "$drive_c/ProgramData/Updater" "$drive_d/Shared/Games"
plant() {  # <variant row> <Windows path>
  wine 'T:\quellor-sample.exe' "$1" "$2"
  echo "  variant row $1: $2"
}
plant 3 'C:\users\Public\Downloads\setup_flash.exe'
plant 12 'C:\Program Files\Media Tools\mtupdate.exe'
plant 27 'C:\windows\temp\svchost32.exe'
plant 41 'D:\Shared\Games\crack.exe'
plant 55 'D:\Shared\holiday.scr'
plant 8 'C:\users\Public\Documents\invoice.exe'
wine attrib +r 'C:\users\Public\Documents\invoice.exe'
echo "  made read-only: C:\\users\\Public\\Documents\\invoice.exe"
plant 19 'C:\ProgramData\Updater\locked.exe'
wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v 'Media Tools Update' \
     /d 'C:\Program Files\Media Tools\mtupdate.exe' /f >/dev/null
echo "  Run value 'Media Tools Update' starts C:\\Program Files\\Media Tools\\mtupdate.exe"
if wine 'T:\quellor-sample.exe' --marker 'C:\windows\system32\drivers\etc\hosts' >/dev/null 2>&1; then
  echo "  hosts file with the worm marker: C:\\windows\\system32\\drivers\\etc\\hosts"
else
  echo "note: this quellor-sample cannot write the hosts marker yet (--marker); the hosts file stays clean" >&2
fi
hold_log=$demo/holder.log
wine 'T:\quellor-uidriver.exe' hold 'C:\ProgramData\Updater\locked.exe' "$gui_limit" >"$hold_log" 2>&1 &
holder=$!
for _ in $(seq 1 100); do grep -q Holding "$hold_log" 2>/dev/null && break; sleep 0.1; done
grep -q Holding "$hold_log" || { echo "the file holder did not start" >&2; exit 1; }
echo "  mapped by a running process, as a program maps its image: C:\\ProgramData\\Updater\\locked.exe"

rc=0
if [ -n "${DISPLAY:-}" ] && [ $xvfb -eq 0 ]; then
  say "Using your display $DISPLAY"
  timeout $((gui_limit + 60)) "$root/scripts/demo.sh" --gui-phase || rc=$?
else
  say "No display: using a headless X server"
  run_headless timeout $((gui_limit + 60)) "$root/scripts/demo.sh" --gui-phase || rc=$?
fi

kill "$holder" 2>/dev/null || true
wait "$holder" 2>/dev/null || true
"$root/scripts/wineprefix.sh" stop "$demo"
[ $rc -eq 0 ] && say "Done. The demo machine stays in $demo/wineprefix until the next run." || echo "demo failed ($rc)" >&2
exit $rc
