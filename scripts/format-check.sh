#!/usr/bin/env bash
# Checks that the C++ files are laid out as .clang-format says, with
# clang-format 14 (other versions lay some lines out differently).
#   scripts/format-check.sh               every tracked .cpp and .h file
#   scripts/format-check.sh PATH...       these files, or the files under these folders
#   scripts/format-check.sh --fix [PATH...]  reformat the files that fail, in place
# Each file that fails is named with the lines that differ (FILE:LINE, then
# the lines as they are and as they should be). Exit status: 0 all laid out,
# 1 some file is not, 2 clang-format 14 is missing.
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

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# One report per file that differs: FILE:LINE for each changed run of lines,
# then the lines as they are (-) and as they should be (+).
check_one() {
  local file="$1" out="$2"
  local report
  report="$("$format" --style=file "$file" | diff -U0 "$file" - |
    awk -v f="$file" '
      /^(---|\+\+\+) / { next }
      /^@@/ { split($2, a, ","); line = substr(a[1], 2); if (a[2] == "0") line++; print f ":" line ":"; next }
      { print "    " $0 }')" || true
  if [ -n "$report" ]; then
    printf '%s\n' "$report" >"$out/$(printf '%s' "$file" | tr '/' '%')"
  fi
}
export -f check_one
export format

printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -I{} bash -c 'check_one "$1" "$2"' _ {} "$work"

mapfile -t failed < <(find "$work" -type f -printf '%f\n' | tr '%' '/' | sort)
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
  cat "$work/$(printf '%s' "$file" | tr '/' '%')"
done
echo
echo "format-check: ${#failed[@]} of ${#files[@]} files are not laid out as .clang-format says:"
printf '  %s\n' "${failed[@]}"
echo "Reformat them with: scripts/format-check.sh --fix ${failed[*]}"
exit 1
