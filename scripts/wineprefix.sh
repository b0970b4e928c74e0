#!/usr/bin/env bash
# Makes and starts the test Wine prefix of a build tree.
#
#   wineprefix.sh ensure <build-dir>   create the prefix once, then make sure a
#                                      persistent wineserver runs for it
#   wineprefix.sh stop <build-dir>     stop that wineserver (saves the registry)
#   wineprefix.sh reset <build-dir>    stop and delete the prefix
#
# The prefix is a clean test machine: no Z: drive (it would expose the whole Linux
# root as a fixed drive), no links from drive_c out to the host's home folders,
# T: = the build's bin folder as a network drive (programs run from it get normal
# DOS paths, and a scan of fixed drives does not walk it), D: = a fixed test
# drive, E: = a CD-ROM test drive. Per-program Windows versions come from
# <build-dir>/wine-appdefaults.txt ("<exe name> <version>" per line).
set -u
here=$(cd "$(dirname "$0")" && pwd)
cmd=${1:?usage: wineprefix.sh ensure|stop|reset <build-dir>}
. "$here/wine-env.sh" "${2:?build dir}"
B=$QUELLOR_BUILD
ready="$WINEPREFIX/.quellor-ready"

configure_prefix() {
  local dd="$WINEPREFIX/dosdevices"
  rm -f "$dd/z:"
  mkdir -p "$B/bin" "$B/testdrives/d" "$B/testdrives/e"
  ln -sfn "$B/bin" "$dd/t:"
  ln -sfn "$B/testdrives/d" "$dd/d:"
  ln -sfn "$B/testdrives/e" "$dd/e:"
  # Wine links the user's shell folders to the home folder when it finds them;
  # replace every such link by a real folder inside the prefix.
  local l
  find "$WINEPREFIX/drive_c/users" -type l | while read -r l; do rm -f "$l"; mkdir -p "$l"; done
  wine reg add 'HKLM\Software\Wine\Drives' /v t: /d network /f
  wine reg add 'HKLM\Software\Wine\Drives' /v e: /d cdrom /f
}

# Xvfb has no window manager: with managed windows Wine waits two seconds for
# one each time a window is hidden. Applied once per prefix, also to older ones.
configure_display() {
  local stamp="$WINEPREFIX/.quellor-unmanaged"
  [ -f "$stamp" ] && return 0
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f && touch "$stamp"
}

# All versions in one registry import: one Wine start, not one per program.
# The file lies on C: (a prefix without Z: sees no other Linux folder).
apply_appdefaults() {
  local list="$B/wine-appdefaults.txt" stamp="$WINEPREFIX/.quellor-appdefaults"
  local reg="$WINEPREFIX/drive_c/windows/temp/quellor-appdefaults.reg"
  [ -f "$list" ] || return 0
  cmp -s "$list" "$stamp" 2>/dev/null && return 0
  local exe ver
  {
    printf 'REGEDIT4\r\n'
    while read -r exe ver; do
      [ -n "$exe" ] || continue
      printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s]\r\n"Version"="%s"\r\n' "$exe" "$ver"
    done < "$list"
  } > "$reg"
  wine regedit /S 'C:\windows\temp\quellor-appdefaults.reg' && cp "$list" "$stamp"
  rm -f "$reg"
}

# A wineserver belongs to this prefix when its working folder is the server
# folder named after the prefix's device and inode.
server_of_prefix() {
  local suffix pid
  suffix=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
  for pid in $(pgrep wineserver); do
    case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in
      */"$suffix") echo "$pid"; return 0 ;;
    esac
  done
  return 1
}

persistent_server_running() {
  local pid
  pid=$(server_of_prefix) || return 1
  tr '\0' ' ' < "/proc/$pid/cmdline" | grep -q -- ' -p'
}

ensure() {
  # One set-up at a time. Everything Wine starts from here (server, services)
  # lives on, so it must not inherit the lock's descriptor.
  exec 9>"$B/.wineprefix.lock"
  flock 9
  ensure_locked 9>&-
}

ensure_locked() {
  if [ ! -f "$ready" ]; then
    rm -rf "$WINEPREFIX"
    wineboot -i
    wineserver -w
    configure_prefix
    wineserver -w
    touch "$ready"
  fi
  if ! persistent_server_running; then
    # A lingering ordinary server goes first. The persistent one starts only
    # after the prefix exists: started earlier, every StartService of that
    # server session fails.
    timeout 60 wineserver -w || wineserver -k
    wineserver -p
    # Start Wine's own services now, detached from any test's output pipes.
    wine cmd /c exit
  fi
  configure_display
  apply_appdefaults
}

case "$cmd" in
  ensure) ensure </dev/null >/dev/null 2>&1 ;;
  stop) [ -d "$WINEPREFIX" ] && { wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; }; true ;;
  reset) [ -d "$WINEPREFIX" ] && { wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; }; rm -rf "$WINEPREFIX" ;;
  *) echo "unknown command $cmd" >&2; exit 2 ;;
esac
