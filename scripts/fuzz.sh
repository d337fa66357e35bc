#!/usr/bin/env bash
# Runs one fuzz target of fuzz/ for a while (not part of CI):
#   scripts/fuzz.sh TARGET [MINUTES] [extra libFuzzer options]
#   scripts/fuzz.sh list
# New inputs go to build-asan/fuzz-work/TARGET (the seeds in fuzz/corpus stay
# as they are); a finding is written to build-asan/fuzz-findings/TARGET/. Fix
# it, copy the input to fuzz/regressions/TARGET/ and it becomes a test.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=$(sed -n 's/^set(KV350_FUZZ_TARGETS \(.*\))$/\1/p' fuzz/targets.cmake)
target="${1:-}"
if [ -z "$target" ] || [ "$target" = list ] || ! grep -qw -- "$target" <<<"$targets"; then
  echo "usage: scripts/fuzz.sh TARGET [MINUTES] [libFuzzer options]"
  echo "targets: $targets"
  [ "$target" = list ]
  exit $?
fi
minutes="${2:-10}"
shift $(( $# >= 2 ? 2 : 1 ))

# Several targets may run at once: one of them builds at a time.
mkdir -p build-asan
(
  flock 9
  scripts/sanitize.sh --configure
  cmake --build build-asan -j"$(nproc)" --target fuzz_"$target" >/dev/null
) 9>build-asan/.fuzz-build.lock
work="build-asan/fuzz-work/$target"
findings="build-asan/fuzz-findings/$target"
mkdir -p "$work" "$findings"
build-asan/fuzz/fuzz_"$target" -dict=fuzz/kv350.dict -max_total_time=$((minutes * 60)) -print_final_stats=1 \
  -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$findings/" "$@" "$work" "fuzz/corpus/$target"
