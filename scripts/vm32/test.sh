# The test run of the 32-bit test machine: every test program run listed in
# /quellor/out/runs.txt ("<test name> <program file>", from the i686 build's
# test-programs.txt), each under Wine as ctest runs them on the host: first
# those in the 32-bit tests' prefix, then those named <run>@win64 again in the
# 64-bit one (scripts/vm32/wow64-runs.txt says which and why). Then the demo
# scan with the i686 quellor.exe in the demo prefix, and the WOW64 scan check
# in the 64-bit demo prefix. Each run's output goes to
# /quellor/out/logs/<name>.log and its exit code and seconds to
# /quellor/out/status/<name>; the demo's to demo.log and demo.status, the
# check's to wow64.log and wow64.status.
set -u
src=/quellor/src out=/quellor/out
. "$src/scripts/lib.sh"
# The 32-bit prefixes' Wine; the 64-bit prefix's runs and the WOW64 check set
# win64 for themselves.
export QUELLOR_WINEARCH=win32
mkdir -p "$out/logs" "$out/status"
# The limit of one test program, as the host's test preset has it.
limit=600

now() { cut -d' ' -f1 /proc/uptime; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }

run_programs() {
  local t0
  # T: holds a copy of the build's bin folder on the machine's own disk: a
  # test program that Wine maps from the shared folder faults at its first
  # imported call (its import table reads as zeros), one run from the disk
  # does not. The 64-bit prefix's bin folder is a link to the same copy.
  t0=$(now)
  rm -rf /quellor/machine/test/bin && cp -a /quellor/i686/bin /quellor/machine/test/bin ||
    { echo "job: cannot copy the programs"; return 1; }
  echo "job: programs copied in $(elapsed "$t0") s ($(du -sh /quellor/machine/test/bin | cut -f1))"
  grep -v '^[^ ]*@win64 ' "$out/runs.txt" | run_in_prefix /quellor/machine/test win32
  grep '^[^ ]*@win64 ' "$out/runs.txt" | run_in_prefix /quellor/machine/test64 win64
  if [ -d /quellor/machine/test/bin/shots ]; then cp -a /quellor/machine/test/bin/shots "$out/"; fi
}

# run_in_prefix <machine> <WINEARCH>: the runs read from standard input, in
# that machine's prefix (none started when there are none).
run_in_prefix() {
  local machine=$1 t0 line name exe rc filter args runs=()
  export QUELLOR_WINEARCH=$2
  mapfile -t runs
  [ ${#runs[@]} -gt 0 ] || return 0
  t0=$(now)
  "$src/scripts/wineprefix.sh" ensure "$machine" || { echo "job: the ${machine##*/} prefix did not start"; return 1; }
  echo "job: ${machine##*/} prefix ($2) ready in $(elapsed "$t0") s"
  cd "$machine/bin" || return 1
  for line in "${runs[@]}"; do
    read -r name exe <<<"$line"
    [ -n "$name" ] || continue
    t0=$(now)
    # The tests this machine leaves out (scripts/vm32/filters.txt says why):
    # those of the run, and for a run in the 64-bit prefix those of the run
    # it repeats.
    filter=$(awk -v n="$name" -v b="${name%@win64}" '$1 == n || $1 == b { f = f (f ? ":" : "") $2 } END { print f }' \
             "$src/scripts/vm32/filters.txt")
    args=()
    [ -n "$filter" ] && args=("--gtest_filter=-$filter")
    # The UI tests' screenshots (and the status line's, when it fails) come
    # back in the results' shots folder.
    QUELLOR_SCREENSHOTS='T:\shots' timeout -k 10 $limit "$src/scripts/wine-run.sh" "$machine" "$machine/bin/$exe" "${args[@]}" \
      > "$out/logs/$name.log" 2>&1 </dev/null
    rc=$?
    echo "$rc $(elapsed "$t0")" > "$out/status/$name"
    echo "job: $name exit $rc in $(elapsed "$t0") s"
  done
  "$src/scripts/wineprefix.sh" stop "$machine"
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

# The WOW64 scan check: in the fresh 64-bit demo prefix the i686 quellor.exe
# scans every fixed drive as on 64-bit Windows, where its C:\windows\system32
# is the 32-bit system folder syswow64 unless it turns that redirection off,
# and HKLM\Software has a 32-bit and a 64-bit view. A sample lies in each
# system folder and a Run value in each view starts one of them; the scan
# must report and remove both samples at their real paths, remove both
# values, and count every file of the fixed drives.
wow64_check() {
  local machine=/quellor/machine/demo64
  export QUELLOR_WINEARCH=win64
  mkdir -p "$machine/bin"
  cp /quellor/i686/bin/quellor.exe /quellor/i686/bin/quellor-sample.exe /quellor/i686/bin/quellor-uidriver.exe "$machine/bin/" ||
    return 1
  "$src/scripts/wineprefix.sh" ensure "$machine" || { echo "the 64-bit demo prefix did not start"; return 1; }
  . "$src/scripts/wine-env.sh" "$machine"
  cd "$machine/bin" || return 1
  local windows=$WINEPREFIX/drive_c/windows
  # <variant row> <Windows path> <file below drive_c/windows> <Run value> <its registry view> <the other view>
  local samples=("3 C:\\windows\\system32\\svcupd64.exe system32/svcupd64.exe Service-Update-64 64 32"
                 "12 C:\\windows\\syswow64\\svcupd32.exe syswow64/svcupd32.exe Service-Update-32 32 64")
  local row path file value view other failed=0 sample
  echo "== Planting (drive_c/windows/system32 is the native system folder, syswow64 the 32-bit one)"
  for sample in "${samples[@]}"; do
    read -r row path file value view other <<<"$sample"
    # The sample maker is a 32-bit program: what it wrote below system32
    # would land in syswow64, so it writes to the temp folder and the file
    # is moved from here.
    wine 'T:\quellor-sample.exe' "$row" 'C:\windows\temp\wow64-sample.exe' &&
      mv "$windows/temp/wow64-sample.exe" "$windows/$file" || { echo "cannot plant $path"; return 1; }
    wine reg add "$RUN_KEY" /v "$value" /d "$path" /f /reg:$view >/dev/null || { echo "cannot write the Run value $value"; return 1; }
    echo "  variant row $row: $path (drive_c/windows/$file); Run value $value in the $view-bit view starts it"
  done
  # What the scan must count: every regular file of the fixed drives C: and
  # D: (links not followed), the samples included, as they are before it.
  # Wine's 64-bit prefix tells a 32-bit program that every drive is fixed,
  # with redirection on or off: the network drive T:, the programs' folder,
  # and the CD-ROM E: (empty) too. So the scan may also count T:'s files.
  local files bin_files
  bin_files=$(find "$machine/bin" -type f | wc -l)
  find "$WINEPREFIX/drive_c" "$machine/testdrives/d" -type f | sort > "$out/wow64-files-before.txt"
  files=$(wc -l < "$out/wow64-files-before.txt")
  echo "  regular files on C: and D:, counted here: $files, and $bin_files on T: (system32 $(find "$windows/system32" -type f | wc -l)," \
       "syswow64 $(find "$windows/syswow64" -type f | wc -l))"
  echo "== Expected and found before the scan"
  local own others
  for sample in "${samples[@]}"; do
    read -r row path file value view other <<<"$sample"
    own=$(run_value "$value" "$view") others=$(run_value "$value" "$other")
    check "Run value $value in the $view-bit view only" \
          "$view-bit: ${own:-none}; $other-bit: ${others:-none}" "$([ -n "$own" ] && [ -z "$others" ] && echo 1 || echo 0)"
  done

  local log=$out/wow64-scan.log
  # The scan as the demo drives it: quellor.exe started, SCAN pressed, the
  # report read from its window by the UI driver.
  QUELLOR_DEMO_MACHINE=$machine run_headless timeout 360 "$src/scripts/demo.sh" --gui-phase > "$log" 2>&1 </dev/null ||
    { cat "$log"; echo "the scan did not run to its end"; return 1; }
  sed -i 's/\r$//' "$log"  # Wine's console output ends its lines in CR LF
  sed -n '/^Report list:/,/^Status:/p' "$log"

  echo "== Expected and found after the scan"
  local line found
  for sample in "${samples[@]}"; do
    read -r row path file value view other <<<"$sample"
    line=$(grep -iF "  $path " "$log" | head -1 | sed 's/^ *//')
    # Where there is none, the lines that name the sample's file elsewhere.
    others=$(grep -iF "\\${path##*\\} " "$log" | sed 's/^ *//' | paste -sd';')
    found=${line:-"no line for $path; lines with its name: ${others:-none}"}
    check "a report line \"$path     W32/... removed\"" "$found" \
          "$(grep -q '^C:\\.*     W32/.* removed$' <<<"$line" && echo 1 || echo 0)"
    found=$([ -e "$windows/$file" ] && echo "the file is still there" || echo "the file is gone")
    check "drive_c/windows/$file gone" "$found" "$([ -e "$windows/$file" ] && echo 0 || echo 1)"
    found=$(run_value "$value" "$view")
    check "no Run value $value in the $view-bit view" "${found:-none}" "$([ -z "$found" ] && echo 1 || echo 0)"
  done
  local scanned
  scanned=$(files_scanned "$log")
  # Files that appeared while the scan ran were not there to be counted.
  echo "  files made while the scan ran (not in the count above):"
  find "$WINEPREFIX/drive_c" "$machine/testdrives/d" -type f | sort | comm -13 "$out/wow64-files-before.txt" - | sed 's/^/    /'
  check "Total files scanned $files, or $((files + bin_files)) with T:'s (the regular files counted here)" \
        "Total files scanned ${scanned:-none}" \
        "$([ "${scanned:-}" = "$files" ] || [ "${scanned:-}" = $((files + bin_files)) ] && echo 1 || echo 0)"
  "$src/scripts/wineprefix.sh" stop "$machine"
  [ $failed -eq 0 ] || { echo "$failed checks failed"; return 1; }
}

RUN_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'

# run_value <name> <view>: the Run value's line as reg.exe shows it in that
# registry view (32 or 64), nothing when the view has no such value.
run_value() {
  wine reg query "$RUN_KEY" /v "$1" /reg:$2 2>/dev/null | tr -d '\r' | grep -i "^ *$1 " | sed 's/^ *//'
}

# check <what was expected> <what was found> <1 when that passes>: one line
# of the WOW64 check's account; a failure counts in the caller's failed.
check() {
  printf '  %-4s expected: %s\n       found:    %s\n' "$([ "$3" = 1 ] && echo ok || echo FAIL)" "$1" "$2"
  [ "$3" = 1 ] || failed=$((failed + 1))
}

run_wow64_check() {
  local t0 rc
  t0=$(now)
  (wow64_check) > "$out/wow64.log" 2>&1 </dev/null
  rc=$?
  if [ $rc -eq 0 ]; then
    echo "wow64: passed in $(elapsed "$t0") s" > "$out/wow64.status"
  else
    echo "wow64: failed ($rc) in $(elapsed "$t0") s" > "$out/wow64.status"
  fi
  echo "job: $(cat "$out/wow64.status")"
}

# One headless X server for all test programs, as scripts/test.sh gives ctest.
if [ "${1:-}" = programs ]; then
  run_programs
  exit
fi
xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" programs
run_demo
run_wow64_check
