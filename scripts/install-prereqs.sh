#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing;
# with --bench also what the benchmark needs (python3, clamav).
# Needs root (or sudo) only when something is missing.
set -euo pipefail
packages=(cmake make g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 xvfb xauth
          googletest imagemagick clang libclang-rt-14-dev)
[ "${1:-}" = "--bench" ] && packages+=(python3 clamav)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
# Never the i386 architecture or wine32: only 64-bit Windows programs run here.
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
