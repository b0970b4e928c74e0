#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmark need,
# when missing; with "release", only those scripts/release.sh needs.
#   install-prereqs.sh [release]
# Needs root (or sudo) only when something is missing.
set -euo pipefail
# The program is built by the win32 thread-model compilers (they link no
# winpthreads), the test programs by the posix ones (GoogleTest needs them).
# quellor-sigs is built by clang; osslsigncode signs the programs, openssl
# makes the release test's throwaway certificates. The 32-bit test machine
# (scripts/vm32.sh) is a virtual machine built from Debian's packages:
# debootstrap makes its disk, qemu runs it, mkfs.ext4 (e2fsprogs) writes the
# disk image from a folder.
release_packages=(cmake make python3 git g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32 clang osslsigncode)
packages=("${release_packages[@]}" g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix openssl clang-format
          wine wine64 xvfb xauth googletest imagemagick libclang-rt-14-dev libgtest-dev clamav yara
          qemu-system-x86 debootstrap e2fsprogs)
[ "${1:-}" = release ] && packages=("${release_packages[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# A mirror caught mid-sync fails one index: the install then goes on with the
# lists that did download, and fails only if a package is not in them.
$sudo apt-get update -q || echo "install-prereqs: some package lists did not download; installing from the rest" >&2
# Never the i386 architecture or wine32: only 64-bit Windows programs run here
# (32-bit ones run in the 32-bit test machine, which has its own).
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
