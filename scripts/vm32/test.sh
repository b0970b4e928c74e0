# The test run of the 32-bit test machine: every test program run listed in
# /quellor/out/runs.txt ("<test name> <program file>", from the i686 build's
# test-programs.txt), each under Wine in the tests' prefix as ctest runs them on
# the host, then the demo scan with the i686 quellor.exe in the demo prefix.
# Each run's output goes to /quellor/out/logs/<name>.log and its exit code and
# seconds to /quellor/out/status/<name>; the demo's to demo.log and demo.status.
set -u
src=/quellor/src out=/quellor/out machine=/quellor/machine/test
export QUELLOR_WINEARCH=win32
mkdir -p "$out/logs" "$out/status"
# The limit of one test program, as the host's test preset has it.
limit=600

now() { cut -d' ' -f1 /proc/uptime; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

run_programs() {
  local t0 name exe rc filter args
  # T: holds a copy of the build's bin folder on the machine's own disk: a
  # test program that Wine maps from the shared folder faults at its first
  # imported call (its import table reads as zeros), one run from the disk
  # does not.
  t0=$(now)
  rm -rf "$machine/bin" && cp -a /quellor/i686/bin "$machine/bin" || { echo "job: cannot copy the programs"; return 1; }
  echo "job: programs copied in $(elapsed "$t0") s ($(du -sh "$machine/bin" | cut -f1))"
  t0=$(now)
  "$src/scripts/wineprefix.sh" ensure "$machine" || { echo "job: the test prefix did not start"; return 1; }
  echo "job: test prefix ready in $(elapsed "$t0") s"
  cd "$machine/bin" || return 1
  while read -r name exe; do
    [ -n "$name" ] || continue
    t0=$(now)
    # The tests this machine leaves out (scripts/vm32/filters.txt says why).
    filter=$(awk -v n="$name" '$1 == n { f = f (f ? ":" : "") $2 } END { print f }' "$src/scripts/vm32/filters.txt")
    args=()
    [ -n "$filter" ] && args=("--gtest_filter=-$filter")
    # The UI tests' screenshots (and the status line's, when it fails) come
    # back in the results' shots folder.
    QUELLOR_SCREENSHOTS='T:\shots' timeout -k 10 $limit "$src/scripts/wine-run.sh" "$machine" "$machine/bin/$exe" "${args[@]}" \
      > "$out/logs/$name.log" 2>&1 </dev/null
    rc=$?
    echo "$rc $(elapsed "$t0")" > "$out/status/$name"
    echo "job: $name exit $rc in $(elapsed "$t0") s"
  done < "$out/runs.txt"
  "$src/scripts/wineprefix.sh" stop "$machine"
  if [ -d "$machine/bin/shots" ]; then cp -a "$machine/bin/shots" "$out/"; fi
}

run_demo() {
  local t0 rc
  t0=$(now)
  "$src/scripts/demo.sh" --xvfb --prebuilt /quellor/i686/bin --machine /quellor/machine/demo --keep-prefix \
    > "$out/demo.log" 2>&1 </dev/null
  rc=$?
  if [ $rc -eq 0 ] && grep -q '^Report list:' "$out/demo.log"; then
    echo "demo: passed in $(elapsed "$t0") s" > "$out/demo.status"
  else
    echo "demo: failed ($rc) in $(elapsed "$t0") s" > "$out/demo.status"
  fi
  echo "job: $(cat "$out/demo.status")"
}

# One headless X server for all test programs, as scripts/test.sh gives ctest.
if [ "${1:-}" = programs ]; then
  run_programs
  exit
fi
xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" programs
run_demo
