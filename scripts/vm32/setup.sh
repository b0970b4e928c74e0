# First boot of the 32-bit test machine, when its disk is built: configures
# what the build host could not (i386 maintainer scripts), then makes the two
# Wine prefixes with the project's own prefix script, so that no test run pays
# for wineboot: /quellor/machine/test for the test programs (T: is the i686
# build's bin folder, shared at test time) and /quellor/machine/demo for the
# demo scan.
set -u
src=/quellor/src
export QUELLOR_WINEARCH=win32
t0=$(date +%s)
if dpkg --configure -a > /tmp/dpkg.log 2>&1; then
  echo "setup: packages configured in $(( $(date +%s) - t0 )) s ($(grep -c '^Setting up' /tmp/dpkg.log) here)"
else
  cat /tmp/dpkg.log
  echo "setup: dpkg --configure failed"
  exit 1
fi
rm -f /usr/sbin/policy-rc.d

# The tests' T: is a copy of the i686 build's bin folder, made by each test run.
mkdir -p /quellor/machine/test/bin /quellor/machine/demo
ln -sfn /quellor/i686/wine-appdefaults.txt /quellor/machine/test/wine-appdefaults.txt
t0=$(date +%s)
"$src/scripts/wineprefix.sh" ensure /quellor/machine/test & test_pid=$!
"$src/scripts/wineprefix.sh" ensure /quellor/machine/demo & demo_pid=$!
wait $test_pid; test_rc=$?
wait $demo_pid; demo_rc=$?
"$src/scripts/wineprefix.sh" stop /quellor/machine/test
"$src/scripts/wineprefix.sh" stop /quellor/machine/demo
for m in test demo; do
  [ -f /quellor/machine/$m/wineprefix/.quellor-ready ] || { echo "setup: the $m prefix was not made"; exit 1; }
done
[ $test_rc -eq 0 ] && [ $demo_rc -eq 0 ] || { echo "setup: prefix set-up failed ($test_rc, $demo_rc)"; exit 1; }
echo "setup: Wine prefixes made in $(( $(date +%s) - t0 )) s: $(ls /quellor/machine/test/wineprefix/dosdevices | tr '\n' ' ')"
echo "setup: $(wine --version 2>/dev/null), kernel $(uname -r), $(df -h / | awk 'NR == 2 { print $3 " used on / of " $2 }')"
echo "setup: done"
