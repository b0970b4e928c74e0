#!/usr/bin/env bash
# The 32-bit test machine: a virtual machine that runs the i686 programs under
# 32-bit Wine, which this machine cannot (its kernel runs no 32-bit code, and
# there is no KVM). qemu emulates an x86_64 PC in software; Debian 12's own
# kernel (32-bit emulation on) boots a disk built here from Debian's packages
# with 32-bit and 64-bit Wine, Xvfb and the Wine prefixes, made once when the
# disk is built: 32-bit ones, and 64-bit ones where the 32-bit programs run as
# on 64-bit Windows (WOW64).
#
#   vm32.sh image <work-dir>
#       builds the disk into <work-dir> unless the one there was built from
#       this recipe (scripts/vm32.sh, scripts/vm32/, the prefix scripts)
#   vm32.sh test <work-dir> <i686-build> [--compare-demo <x86_64-build>] [--only NAME]...
#       boots the machine once: it runs every program of the i686 build's
#       test-programs.txt (or only those named), those of
#       scripts/vm32/wow64-runs.txt again in the 64-bit prefix (named
#       <run>@win64), the demo scan with the i686 quellor.exe and the WOW64
#       scan check, and reports back through a shared folder. With
#       --compare-demo the x86_64 programs of that build run the demo scan on
#       this machine and its report must match line for line. Fails when any
#       test program, the demo or the WOW64 check fails, or when a result is
#       missing.
#   vm32.sh boot <work-dir> <job> [share-dir]
#       boots the machine with one job of scripts/vm32/ (for a look inside:
#       job "shell" gives a root shell on the console)
#
# Needs root (debootstrap, chroot) only to build the disk. Everything the
# machine sees of this one comes through three shared folders: the source tree
# (read-only), the i686 build tree and a results folder.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
cmd=${1:-}
suite=bookworm
. "$src/scripts/lib.sh"

die() { echo "vm32: $*" >&2; exit 1; }
say() { printf '[vm32 %s] %s\n' "$(date +%T)" "$*"; }

# The recipe: everything that decides what the disk holds (the jobs that run
# at test time are read from the shared source tree, and are not part of it).
recipe_hash() {
  { declare -f apt_sources apt_update build_image
    cd "$src" && cat scripts/vm32/packages.txt scripts/vm32/dpkg-slim.cfg scripts/vm32/init scripts/vm32/setup.sh \
                     scripts/wineprefix.sh scripts/wine-env.sh; } | sha256sum | cut -c1-16
}

# The host's Debian package sources as "<uri> <suite>" lines, read from apt's
# own configuration (one-line and deb822 files), so the disk is built from the
# same place the host installs from.
apt_sources() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && awk '$1 == "deb" { i = 2; if ($2 ~ /^\[/) while ($i !~ /\]$/) i++; if ($2 ~ /^\[/) i++; print $i, $(i+1) }' "$f"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && awk '
      function flush() { if (types ~ /(^| )deb( |$)/ && enabled != "no") { n = split(uris, u, " "); m = split(suites, s, " ");
                         for (i = 1; i <= n; i++) for (j = 1; j <= m; j++) print u[i], s[j] } types = uris = suites = enabled = "" }
      /^[ \t]*$/ { flush(); next }
      /^#/ { next }
      tolower($1) == "types:" { $1 = ""; types = $0 }
      tolower($1) == "uris:" { $1 = ""; uris = $0 }
      tolower($1) == "suites:" { $1 = ""; suites = $0 }
      tolower($1) == "enabled:" { enabled = tolower($2) }
      END { flush() }' "$f"
  done
}

# Reads the package lists in the disk at <root>, logging to <log>. A suite
# whose index does not download whole (a mirror caught mid-sync serves an
# index of another size than its release file names) is left out for both
# architectures and the lists are read again: a Multi-Arch "same" package
# (libc6, say) must have one version for amd64 and i386, which a suite read
# for one architecture only would break. The suite named by debootstrap is
# never left out.
apt_update() {
  local root=$1 log=$2 failed
  chroot "$root" apt-get -q update >> "$log" 2>&1 && return 0
  failed=$(sed -n 's|^[EW]: Failed to fetch [^ ]*/dists/\([^/ ]*\)/.*|\1|p' "$log" | sort -u | tr '\n' ' ')
  case " $failed " in "  " | *" $suite "*) return 1 ;; esac
  say "left out of the disk's package sources, their index did not download: $failed"
  awk -v drop="$failed" 'BEGIN { split(drop, d, " "); for (i in d) out[d[i]] = 1 } !($3 in out)' \
    "$root/etc/apt/sources.list" > "$root/etc/apt/sources.list.new" &&
    mv "$root/etc/apt/sources.list.new" "$root/etc/apt/sources.list"
  chroot "$root" apt-get -q update >> "$log" 2>&1
}

# ---------------------------------------------------------------- the disk
build_image() {
  local work=$1 stage=$1/stage
  [ "$(id -u)" -eq 0 ] || die "building the disk needs root (debootstrap, chroot)"
  local sources main
  sources=$(apt_sources | sed 's/^ *//' | awk '$2 ~ /^'"$suite"'(-updates|-security|\/updates)?$/' | sort -u)
  main=$(awk '$2 == "'"$suite"'" { print $1; exit }' <<<"$sources")
  [ -n "$main" ] || die "apt has no source for Debian $suite"

  rm -rf "$stage" && mkdir -p "$stage"
  local root=$stage/root t0=$SECONDS
  say "debootstrap $suite (amd64, minbase) into $root"
  debootstrap --variant=minbase --arch=amd64 "$suite" "$root" "$main" > "$stage/debootstrap.log" 2>&1 ||
    { tail -20 "$stage/debootstrap.log" >&2; die "debootstrap failed"; }
  say "debootstrap done in $((SECONDS - t0)) s"

  # Slim: no documentation, manual pages or translations in anything installed next.
  cp "$here/vm32/dpkg-slim.cfg" "$root/etc/dpkg/dpkg.cfg.d/slim"
  rm -rf "$root"/usr/share/doc/* "$root"/usr/share/man/* "$root"/usr/share/info/* "$root"/usr/share/locale/*
  # A small initrd: only the modules that mount the root disk and the shares.
  mkdir -p "$root/etc/initramfs-tools/conf.d"
  echo MODULES=list > "$root/etc/initramfs-tools/conf.d/quellor"
  printf '%s\n' virtio_pci virtio_blk ext4 9p 9pnet_virtio > "$root/etc/initramfs-tools/modules"
  # Package sources as the host has them, for amd64 and i386.
  awk '{ print "deb", $1, $2, "main" }' <<<"$sources" > "$root/etc/apt/sources.list"
  printf 'Acquire::Check-Valid-Until "false";\nAcquire::Languages "none";\nAPT::Install-Recommends "false";\n' \
    > "$root/etc/apt/apt.conf.d/90quellor"
  printf '#!/bin/sh\nexit 101\n' > "$root/usr/sbin/policy-rc.d" && chmod +x "$root/usr/sbin/policy-rc.d"

  mount -t proc proc "$root/proc" && mount --bind /dev "$root/dev" && mount -t devpts devpts "$root/dev/pts" ||
    die "cannot mount /proc and /dev in $root"
  trap 'umount "$root/dev/pts" "$root/dev" "$root/proc" 2>/dev/null' EXIT
  t0=$SECONDS
  say "installing the kernel, 32-bit and 64-bit Wine and Xvfb"
  local packages
  packages=$(grep -v '^#' "$here/vm32/packages.txt" | tr '\n' ' ')
  # i386 maintainer scripts cannot run on a host without 32-bit emulation:
  # what fails to configure here is configured by the machine's first boot.
  chroot "$root" dpkg --add-architecture i386 && apt_update "$root" "$stage/install.log" ||
    { tail -30 "$stage/install.log" >&2; die "the package lists did not download"; }
  chroot "$root" sh -c "DEBIAN_FRONTEND=noninteractive apt-get -q -y install $packages" >> "$stage/install.log" 2>&1 ||
    grep -q 'Errors were encountered while processing' "$stage/install.log" ||
    { tail -30 "$stage/install.log" >&2; die "package install failed"; }
  say "packages installed in $((SECONDS - t0)) s ($(grep -c '^Setting up' "$stage/install.log") configured here)"
  umount "$root/dev/pts" "$root/dev" "$root/proc"
  trap - EXIT

  chroot "$root" apt-get clean
  rm -rf "$root"/var/lib/apt/lists/* "$root"/usr/share/doc/* "$root"/usr/share/man/* "$root"/usr/share/locale/* \
         "$root"/var/cache/debconf/*-old "$root"/var/log/*.log
  cp "$root"/boot/vmlinuz-* "$stage/vmlinuz" && cp "$root"/boot/initrd.img-* "$stage/initrd.img" ||
    die "no kernel or initrd in the disk"
  rm -f "$root"/boot/initrd.img-*
  install -m 755 "$here/vm32/init" "$root/sbin/quellor-init"
  mkdir -p "$root/quellor/src" "$root/quellor/i686/bin" "$root/quellor/out"
  echo vm32 > "$root/etc/hostname"
  say "files in the disk: $(du -sh "$root" | cut -f1), initrd $(du -h "$stage/initrd.img" | cut -f1)"

  # The disk image is written from the folder (no loop mount), with room
  # for the prefixes and the tests' files.
  t0=$SECONDS
  truncate -s 10G "$stage/disk.img"
  mkfs.ext4 -q -F -L vm32 -d "$root" "$stage/disk.img" || die "mkfs.ext4 failed"
  rm -rf "$root"
  say "disk image written in $((SECONDS - t0)) s"

  # First boot: finish the packages, make the Wine prefixes.
  t0=$SECONDS
  mkdir -p "$stage/out"
  boot "$stage" setup "$stage/out" "" rw > "$stage/setup.log" 2>&1 </dev/null
  grep -q '^setup: done' "$stage/setup.log" || { tail -40 "$stage/setup.log" >&2; die "first boot of the machine failed"; }
  say "first boot (packages, Wine prefixes) done in $((SECONDS - t0)) s"
  grep '^setup:' "$stage/setup.log"
}

ensure_image() {
  local work=$1 hash
  hash=$(recipe_hash)
  mkdir -p "$work"
  exec 8>"$work/.lock"
  flock 8
  if [ "$(cat "$work/image/recipe" 2>/dev/null)" = "$hash" ]; then
    say "disk image up to date ($work/image, recipe $hash)"
    return 0
  fi
  local t0=$SECONDS
  say "building the disk image (recipe $hash)"
  build_image "$work" || exit 1
  rm -rf "$work/image" && mkdir -p "$work/image"
  mv "$work/stage/vmlinuz" "$work/stage/initrd.img" "$work/stage/disk.img" "$work/image/"
  mv "$work/stage/"*.log "$work/image/"
  echo "$hash" > "$work/image/recipe"
  rm -rf "$work/stage"
  say "disk image built in $((SECONDS - t0)) s: $(du -sh --apparent-size "$work/image/disk.img" | cut -f1) disk," \
      "$(du -sh "$work/image/disk.img" | cut -f1) used"
}

# boot <image-dir> <job> <out-dir> <i686-build or ""> [rw]
# Runs the machine until its job powers it off. Without rw the disk is used
# as it was built: every write goes to a scratch copy that qemu drops.
boot() {
  local image=$1 job=$2 out=$3 i686=${4:-} mode=${5:-}
  local drive="file=$image/disk.img,if=virtio,format=raw"
  [ "$mode" = rw ] || drive="$drive,snapshot=on"
  local shares=(-virtfs "local,path=$src,mount_tag=src,security_model=none,readonly=on"
                -virtfs "local,path=$out,mount_tag=out,security_model=none")
  [ -n "$i686" ] && shares+=(-virtfs "local,path=$i686,mount_tag=i686,security_model=none")
  # -cpu max,-smap: with SMAP on, qemu 7.2 faults the guest kernel at the first
  # return to 32-bit user code. No network: nothing is fetched once built.
  TMPDIR=$image qemu-system-x86_64 -accel tcg,thread=multi -cpu ${QUELLOR_VM32_CPU:-max,-smap} -smp ${QUELLOR_VM32_SMP:-2} -m 4096 \
    -display none -no-reboot -nic none -monitor none -serial stdio \
    -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 quiet panic=-1 init=/sbin/quellor-init quellor.job=$job" \
    -drive "$drive" "${shares[@]}"
}

# --------------------------------------------------------------- the tests
run_tests() {
  local work=$1 i686=$2; shift 2
  local x64="" only=()
  while [ $# -gt 0 ]; do
    case "$1" in
      --compare-demo) x64=$(cd "$2" && pwd) || die "no build $2"; shift 2 ;;
      --only) only+=("$2"); shift 2 ;;
      *) die "unknown option $1" ;;
    esac
  done
  i686=$(cd "$i686" 2>/dev/null && pwd) || die "no i686 build at $2"
  local list=$i686/test-programs.txt
  [ -f "$list" ] || die "$list is missing: build the i686 tests (cmake --preset i686 && cmake --build --preset i686)"
  [ -f "$work/image/recipe" ] || die "no disk image in $work: run vm32.sh image $work"
  [ "$(cat "$work/image/recipe")" = "$(recipe_hash)" ] || die "the disk image in $work is out of date: run vm32.sh image $work"

  local out=$work/results
  rm -rf "$out" && mkdir -p "$out"
  # The runs the machine makes: every listed one, then those of
  # wow64-runs.txt again in the 64-bit prefix; or those named.
  local name
  if [ ${#only[@]} -gt 0 ]; then
    for name in "${only[@]}"; do run_line "$list" "$name"; done > "$out/runs.txt"
  else
    { grep -v '^$' "$list"
      for name in $(listed "$here/vm32/wow64-runs.txt"); do run_line "$list" "$name@win64"; done; } > "$out/runs.txt"
  fi
  local t0=$SECONDS
  say "booting the machine: $(wc -l < "$out/runs.txt") test program runs" \
      "($(grep -c '@win64 ' "$out/runs.txt") in the 64-bit prefix), the demo scan and the WOW64 scan check"
  boot "$work/image" test "$out" "$i686" > "$out/console.log" 2>&1 </dev/null
  say "the machine ran for $((SECONDS - t0)) s"

  # The verdict: every run has a result, and every result is a pass.
  local failed=0 missing=0 name exe rc secs counts
  printf '%-28s %6s %8s  %s\n' "i686 test program" result seconds "tests passed/skipped/failed"
  while read -r name exe; do
    if [ ! -f "$out/status/$name" ] || ! read -r rc secs < "$out/status/$name"; then
      printf '%-28s %6s\n' "$name" "NO RESULT"
      missing=$((missing + 1))
      continue
    fi
    counts=$(gtest_counts "$out/logs/$name.log")
    # A pass is an exit code 0 from a program that ran its tests to the end.
    [ "$rc" = 0 ] && ! grep -q '^\[  PASSED  \]' "$out/logs/$name.log" && rc="no-summary"
    printf '%-28s %6s %8s  %s\n' "$name" "$([ "$rc" = 0 ] && echo ok || echo "rc $rc")" "$secs" "$counts"
    [ "$rc" = 0 ] || failed=$((failed + 1))
  done < "$out/runs.txt"
  if [ $failed -gt 0 ] || [ $missing -gt 0 ]; then
    for name in $(awk '{print $1}' "$out/runs.txt"); do
      [ -f "$out/status/$name" ] && read -r rc _ < "$out/status/$name" && [ "$rc" = 0 ] &&
        grep -q '^\[  PASSED  \]' "$out/logs/$name.log" && continue
      echo "---- $name (i686, in the $(prefix_of "$name") prefix of the 32-bit test machine)"
      tail -60 "$out/logs/$name.log" 2>/dev/null || echo "(no output)"
    done
  fi

  local demo_ok=1
  if ! grep -q '^demo: passed' "$out/demo.status" 2>/dev/null; then
    demo_ok=0
    echo "---- demo scan with the i686 quellor.exe failed"
    tail -40 "$out/demo.log" 2>/dev/null
  else
    say "demo scan with the i686 quellor.exe: $(cat "$out/demo.status")"
    if [ -n "$x64" ] && ! compare_demo "$x64" "$out"; then demo_ok=0; fi
  fi
  # The WOW64 check prints what it expected and found, passed or not.
  local wow64_ok=1
  if grep -q '^wow64: passed' "$out/wow64.status" 2>/dev/null; then
    say "WOW64 scan check in the 64-bit demo prefix: $(cat "$out/wow64.status")"
    sed -n '/^== Expected/,$p' "$out/wow64.log"
  else
    wow64_ok=0
    echo "---- the WOW64 scan check in the 64-bit demo prefix failed: $(cat "$out/wow64.status" 2>/dev/null || echo no result)"
    tail -60 "$out/wow64.log" 2>/dev/null
  fi
  grep '^job:' "$out/console.log" | sed 's/^/  /'
  local left
  # A run in the 64-bit prefix leaves out what the run it repeats does.
  left=$(listed "$src/scripts/vm32/filters.txt" |
         awk 'NR == FNR { run[$1] = 1; sub(/@win64$/, "", $1); run[$1] = 1; next } $1 in run' "$out/runs.txt" -)
  [ -n "$left" ] && echo "left out in the machine (scripts/vm32/filters.txt says why):" && sed 's/^/  /' <<<"$left"
  if [ $failed -gt 0 ] || [ $missing -gt 0 ] || [ $demo_ok -eq 0 ] || [ $wow64_ok -eq 0 ]; then
    echo "32-bit tests FAILED: $failed failed, $missing without a result, demo $([ $demo_ok = 1 ] && echo ok || echo failed)," \
         "WOW64 check $([ $wow64_ok = 1 ] && echo ok || echo failed) (console: $out/console.log)"
    tail -15 "$out/console.log"
    return 1
  fi
  echo "32-bit tests passed: $(wc -l < "$out/runs.txt") program runs, the demo scan and the WOW64 scan check"
}

# The lines of a list file that are neither comments nor empty.
listed() { grep -v '^#' "$1" | grep -v '^$'; }

# run_line <test-programs.txt> <run>: "<run> <program file>" for a run of the
# list, or for <run>@win64 (a run of wow64-runs.txt) the same program, which
# the machine runs in its 64-bit prefix.
run_line() {
  local base=${2%@win64} exe
  exe=$(awk -v n="$base" '$1 == n { print $2 }' "$1")
  [ -n "$exe" ] || die "$base is not in $1"
  [ "$2" = "$base" ] || listed "$here/vm32/wow64-runs.txt" | grep -qx "$base" ||
    die "$base does not run in the 64-bit prefix (scripts/vm32/wow64-runs.txt)"
  echo "$2 $exe"
}

prefix_of() { case "$1" in *@win64) echo 64-bit ;; *) echo 32-bit ;; esac; }

# "passed/skipped/failed" from a GoogleTest program's output.
gtest_counts() {
  awk '/^\[  PASSED  \]/ { p = $4 } /^\[  SKIPPED \] [0-9]+ test/ { s = $4 } /^\[  FAILED  \] [0-9]+ test/ { f = $4 }
       END { printf "%d/%d/%d", p, s, f }' "$1" 2>/dev/null
}

# The report of a demo scan: its report list, statistics and status from the
# UI driver's output, without the count of files scanned: a 64-bit prefix
# holds both Wine's 64-bit and 32-bit system files, a 32-bit one only the latter.
demo_report() { sed -n '/^Report list:/,/^Status:/p' "$1" | grep -v 'Total files scanned'; }

# The demo scan of the x86_64 programs on this machine, and its report beside
# the one of the i686 programs in the 32-bit test machine.
compare_demo() {
  local x64=$1 out=$2
  say "demo scan with the x86_64 quellor.exe on this machine, for comparison"
  "$src/scripts/demo.sh" --xvfb --prebuilt "$x64/bin" --machine "$x64/vm32/demo-x86_64" > "$out/demo-x86_64.log" 2>&1 ||
    { echo "---- the x86_64 demo scan failed"; tail -30 "$out/demo-x86_64.log"; return 1; }
  demo_report "$out/demo-x86_64.log" > "$out/demo-x86_64.report"
  demo_report "$out/demo.log" > "$out/demo-i686.report"
  if [ ! -s "$out/demo-i686.report" ] || ! diff -u "$out/demo-x86_64.report" "$out/demo-i686.report"; then
    echo "---- the demo reports of the x86_64 and the i686 quellor.exe differ (or are empty)"
    return 1
  fi
  say "demo reports identical ($(grep -c . "$out/demo-i686.report") lines; files scanned:" \
      "$(files_scanned "$out/demo-x86_64.log") in the 64-bit prefix, $(files_scanned "$out/demo.log") in the 32-bit one)"
}

case "$cmd" in
  image) ensure_image "${2:?work dir}" ;;
  test) run_tests "${2:?work dir}" "${3:?i686 build}" "${@:4}" ;;
  boot)
    work=${2:?work dir}
    mkdir -p "${4:-$work/results}"
    boot "$work/image" "${3:?job}" "$(cd "${4:-$work/results}" && pwd)" "$src/build-i686" ;;
  *) sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 2 ;;
esac
