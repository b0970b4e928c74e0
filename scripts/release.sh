#!/usr/bin/env bash
# Builds a release of the commit checked out and writes
#   dist/quellor-<version>/   quellor.exe (32-bit), quellor-x64.exe, quellor.ldb,
#                             quellor.yar, README.txt, SHA256SUMS
#   dist/quellor-<version>.zip
#
#   scripts/release.sh [--sign KEY CERT | --sign-pkcs12 FILE] [--password-file FILE]
#                      [--pkcs11-module MODULE] [--timestamp URL] [--out DIR] [--work DIR]
#
# It builds the commit's own files (HEAD, exported with git archive) in folders
# of its own (build-release/, emptied first), so that neither build/ nor
# build-i686/ nor an uncommitted change plays any part: only the two programs
# and quellor-sigs, no test programs. With --sign it signs both programs
# before the checksums are made, by osslsigncode, with two Authenticode
# signatures: SHA-1, which Windows 2000 and XP before SP3 can check, and
# SHA-256 nested in it. Their signing time is the commit's date, so the same
# key signs the same commit to the same bytes unless a timestamp server is
# asked (--timestamp). The version is the one of common/Version.h.
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."
root=$PWD

usage() {
  cat >&2 <<'EOF'
usage: scripts/release.sh [--sign KEY CERT | --sign-pkcs12 FILE] [--password-file FILE]
                          [--pkcs11-module MODULE] [--timestamp URL] [--out DIR] [--work DIR]
EOF
  exit 2
}
# A path the caller gave, as an absolute path.
absolute() { (cd "$caller" && realpath -m -- "$1"); }

out=$root/dist
work=$root/build-release
sign=()
while [ $# -gt 0 ]; do
  case "$1" in
    --sign) [ $# -ge 3 ] || usage; sign+=(--key "$2" --cert "$3"); shift 3 ;;
    --sign-pkcs12) [ $# -ge 2 ] || usage; sign+=(--pkcs12 "$2"); shift 2 ;;
    --password-file) [ $# -ge 2 ] || usage; sign+=(--password-file "$2"); shift 2 ;;
    --pkcs11-module) [ $# -ge 2 ] || usage; sign+=(--pkcs11-module "$2"); shift 2 ;;
    --timestamp) [ $# -ge 2 ] || usage; sign+=(--timestamp "$2"); shift 2 ;;
    --out) [ $# -ge 2 ] || usage; out=$(absolute "$2"); shift 2 ;;
    --work) [ $# -ge 2 ] || usage; work=$(absolute "$2"); shift 2 ;;
    -h|--help) usage ;;
    *) echo "release: unknown argument $1" >&2; usage ;;
  esac
done
signing=no
for a in "${sign[@]}"; do
  case "$a" in --key|--pkcs12) signing=yes ;; esac
done
if [ ${#sign[@]} -gt 0 ] && [ $signing = no ]; then
  echo "release: --password-file, --pkcs11-module and --timestamp go with --sign or --sign-pkcs12" >&2
  exit 2
fi
# The files the caller named, as absolute paths: the script works from the
# repository's root.
for i in "${!sign[@]}"; do
  case "${sign[$i]}" in
    --key|--cert|--pkcs12|--password-file|--pkcs11-module)
      f=${sign[$((i + 1))]}
      case "$f" in pkcs11:*) continue ;; esac  # a key on a token, named by its URI
      f=$(absolute "$f")
      [ -r "$f" ] || { echo "release: cannot read $f" >&2; exit 2; }
      sign[$((i + 1))]=$f ;;
  esac
done

started=$(date +%s)
say() { printf '\n== %s\n' "$*"; }

say "Installing what is missing"
scripts/install-prereqs.sh release

commit=$(git rev-parse --verify HEAD 2>/dev/null) || {
  echo "release: $root is not a git checkout with a commit: a release is built from one" >&2
  exit 1
}
epoch=$(git log -1 --format=%ct HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release: note: the working tree has uncommitted changes; the release is built from commit $commit without them" >&2
fi

say "Exporting commit $commit into $work/src"
# The work folder is emptied: only one this script made, never another folder.
stamp=.quellor-release-work
if [ -e "$work" ] && [ ! -e "$work/$stamp" ]; then
  echo "release: $work exists and was not made by this script; give another --work folder" >&2
  exit 2
fi
rm -rf "$work"
mkdir -p "$work/src" "$work/files" "$out"
touch "$work/$stamp"
src=$work/src
git archive --format=tar HEAD | tar -x -C "$src"

# The version text, as the resource compiler sees it: "1" "." "0" -> 1.0
version=$(printf '#include "common/Version.h"\nQUELLOR_VERSION_TEXT\n' |
          x86_64-w64-mingw32-gcc-win32 -E -P -x c -I "$src" - | tr -d '" \n')
[[ "$version" =~ ^[0-9]+(\.[0-9]+)+$ ]] || { echo "release: no version in common/Version.h ($version)" >&2; exit 1; }

jobs=$(nproc)
build_program() {  # <architecture> <name in the release>
  say "Building the $1 program"
  cmake -S "$src" -B "$work/$1" -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-$1.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DQUELLOR_WERROR=ON -DQUELLOR_TESTS=OFF >/dev/null
  cmake --build "$work/$1" -j"$jobs" --target quellor
  cp "$work/$1/bin/quellor.exe" "$work/files/$2"
}
build_program i686 quellor.exe
build_program x86_64 quellor-x64.exe

say "Writing the ClamAV signatures and the YARA rules"
# The host build, as the host preset makes it, without its tests.
cmake -S "$src" -B "$work/host" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release \
      -DQUELLOR_TESTS=OFF >/dev/null
cmake --build "$work/host" -j"$jobs" --target quellor-sigs >/dev/null
"$work/host/bin/quellor-sigs" clamav > "$work/files/quellor.ldb"
"$work/host/bin/quellor-sigs" yara > "$work/files/quellor.yar"

if [ $signing = yes ]; then
  say "Signing both programs"
  python3 "$src/tools/release/package.py" sign "${sign[@]}" --time "$epoch" \
          "$work/files/quellor.exe" "$work/files/quellor-x64.exe"
fi

say "Writing $out/quellor-$version and its zip"
python3 "$src/tools/release/package.py" assemble --version "$version" --commit "$commit" --date "$epoch" --out "$out" \
        quellor.exe="$work/files/quellor.exe" quellor-x64.exe="$work/files/quellor-x64.exe" \
        quellor.ldb="$work/files/quellor.ldb" quellor.yar="$work/files/quellor.yar"

say "Done in $(( $(date +%s) - started )) s"
ls -l "$out/quellor-$version" "$out/quellor-$version.zip"
