#!/usr/bin/env bash
# Checks that every tracked C++ file is laid out as .clang-format says and
# names each one that is not; fails when there is one.
#   scripts/check-format.sh          check
#   scripts/check-format.sh --fix    format those files in place
# Another clang-format version than Debian's 14 may lay out some lines
# differently.
set -uo pipefail
cd "$(dirname "$0")/.."
fix=0
case "${1:-}" in
  "") ;;
  --fix) fix=1 ;;
  *) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
command -v clang-format >/dev/null || { echo "clang-format is missing (scripts/install-prereqs.sh)" >&2; exit 1; }
files=()
while IFS= read -r f; do
  [ -f "$f" ] && files+=("$f")
done < <(git ls-files -- '*.cpp' '*.h')
[ ${#files[@]} -gt 0 ] || exit 0

# One finding per file is enough to name it.
report=$(clang-format --dry-run -Werror --ferror-limit=1 "${files[@]}" 2>&1)
rc=$?
[ $rc -eq 0 ] && exit 0
mapfile -t unformatted < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' <<<"$report" |
                             sort -u)
if [ ${#unformatted[@]} -eq 0 ]; then
  echo "$report" >&2  # clang-format itself failed
  exit $rc
fi
if [ $fix -eq 1 ]; then
  clang-format -i "${unformatted[@]}" || exit 1
  printf 'formatted %s\n' "${unformatted[@]}"
  exit 0
fi
printf '%s\n' "${unformatted[@]}" >&2
echo "${#unformatted[@]} files are not formatted as .clang-format says: scripts/check-format.sh --fix" >&2
exit 1
