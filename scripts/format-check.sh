#!/usr/bin/env bash
# Checks that the C++ files are laid out as .clang-format says, with
# clang-format 14 (other versions lay some lines out differently).
#   scripts/format-check.sh               every tracked .cpp and .h file
#   scripts/format-check.sh PATH...       these files, or the files under these folders
#   scripts/format-check.sh --fix [PATH...]  reformat the files that fail, in place
# Each file that fails is named with the lines that differ (FILE:LINE, then
# the lines as they are and as they should be). Exit status: 0 all laid out,
# 1 some file is not, 2 clang-format 14 is missing or failed.
set -euo pipefail
cd "$(dirname "$0")/.."

fix=0
if [ "${1:-}" = "--fix" ]; then
  fix=1
  shift
fi

format="${CLANG_FORMAT:-clang-format-14}"
if ! command -v "$format" >/dev/null 2>&1 || ! "$format" --version | grep -q 'version 14\.'; then
  echo "format-check: needs clang-format 14 ($format); scripts/setup.sh installs it" >&2
  exit 2
fi

list_files() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -- "$@" | grep -E '\.(cpp|h)$' || true
  else
    find "${@:-.}" -path ./build -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||'
  fi
}
mapfile -t files < <(list_files "$@" | sort)
if [ ${#files[@]} -eq 0 ]; then
  echo "format-check: no C++ files in ${*:-the tree}" >&2
  exit 1
fi

# The files that differ, found in batches (clang-format's dry run warns once
# per place), then a report for each: FILE:LINE for each changed run of
# lines, then the lines as they are (-) and as they should be (+).
dry_run="$(mktemp)"
trap 'rm -f "$dry_run"' EXIT
if ! printf '%s\0' "${files[@]}" | xargs -0 -P "$(nproc)" -n 32 "$format" --style=file --dry-run >"$dry_run" 2>&1; then
  cat "$dry_run" >&2
  echo "format-check: clang-format itself failed (above)" >&2
  exit 2
fi
mapfile -t failed < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*$/\1/p' "$dry_run" | sort -u)
if [ ${#failed[@]} -eq 0 ]; then
  echo "format-check: ${#files[@]} files laid out as .clang-format says"
  exit 0
fi

if [ "$fix" -eq 1 ]; then
  "$format" -i --style=file "${failed[@]}"
  printf 'format-check: reformatted %s\n' "${failed[@]}"
  exit 0
fi

for file in "${failed[@]}"; do
  "$format" --style=file "$file" | diff -U0 "$file" - |
    awk -v f="$file" '
      /^(---|\+\+\+) / { next }
      /^@@/ { split($2, a, ","); line = substr(a[1], 2); if (a[2] == "0") line++; print f ":" line ":"; next }
      { print "    " $0 }' || true
done
echo
echo "format-check: ${#failed[@]} of ${#files[@]} files are not laid out as .clang-format says:"
printf '  %s\n' "${failed[@]}"
echo "Reformat them with: scripts/format-check.sh --fix ${failed[*]}"
exit 1
