# First boot of the 32-bit test machine, when its disk is built: configures
# what the build host could not (i386 maintainer scripts), then makes the Wine
# prefixes with the project's own prefix script, so that no test run pays for
# wineboot. Two 32-bit ones (WINEARCH=win32): /quellor/machine/test for the
# test programs (T: is a copy of the i686 build's bin folder, made at test
# time) and /quellor/machine/demo for the demo scan. Two 64-bit ones
# (WINEARCH=win64), where the same 32-bit programs run as on 64-bit Windows:
# /quellor/machine/test64 for some test programs (T: the same copy) and
# /quellor/machine/demo64 for the WOW64 scan check.
set -u
src=/quellor/src
t0=$(date +%s)
if dpkg --configure -a > /tmp/dpkg.log 2>&1; then
  echo "setup: packages configured in $(( $(date +%s) - t0 )) s ($(grep -c '^Setting up' /tmp/dpkg.log) here)"
else
  cat /tmp/dpkg.log
  echo "setup: dpkg --configure failed"
  exit 1
fi
rm -f /usr/sbin/policy-rc.d

machines="test:win32 demo:win32 test64:win64 demo64:win64"
mkdir -p /quellor/machine/test/bin /quellor/machine/demo /quellor/machine/test64 /quellor/machine/demo64
ln -sfn /quellor/machine/test/bin /quellor/machine/test64/bin
for m in test test64; do ln -sfn /quellor/i686/wine-appdefaults.txt /quellor/machine/$m/wine-appdefaults.txt; done
# All four at once, to shorten the first boot.
t0=$(date +%s)
pids=""
for entry in $machines; do
  QUELLOR_WINEARCH=${entry#*:} "$src/scripts/wineprefix.sh" ensure /quellor/machine/${entry%:*} & pids="$pids $!"
done
failed=0
for pid in $pids; do wait "$pid" || failed=$((failed + 1)); done
for entry in $machines; do
  m=${entry%:*}
  QUELLOR_WINEARCH=${entry#*:} "$src/scripts/wineprefix.sh" stop /quellor/machine/$m
  [ -f /quellor/machine/$m/wineprefix/.quellor-ready ] || { echo "setup: the $m prefix was not made"; exit 1; }
  # A 64-bit prefix runs 32-bit programs only with its 32-bit system folder.
  [ "${entry#*:}" = win32 ] || [ -f /quellor/machine/$m/wineprefix/drive_c/windows/syswow64/kernel32.dll ] ||
    { echo "setup: the $m prefix has no 32-bit system folder"; exit 1; }
done
[ $failed -eq 0 ] || { echo "setup: prefix set-up failed ($failed of them)"; exit 1; }
echo "setup: Wine prefixes made in $(( $(date +%s) - t0 )) s: $(ls /quellor/machine/test/wineprefix/dosdevices | tr '\n' ' ')"
for entry in $machines; do
  echo "setup: prefix ${entry%:*} (${entry#*:}): $(du -sh /quellor/machine/${entry%:*}/wineprefix | cut -f1)"
done
echo "setup: $(wine --version 2>/dev/null), kernel $(uname -r), $(df -h / | awk 'NR == 2 { print $3 " used on / of " $2 }')"
echo "setup: done"
