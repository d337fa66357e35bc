#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (clang)
# into build-asan/, runs every test there, and runs each fuzz target once over
# its seeds. A finding fails the run. docs/reliability.md has the figures.
#   scripts/sanitize.sh              build, test, fuzz smoke run
#   scripts/sanitize.sh --configure  only configure build-asan/ (scripts/fuzz.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs="$(nproc)"
# -O1 for the libraries (the fuzz targets run on them); the tests themselves
# are built at -O0 (tests/CMakeLists.txt). Assertions on. Line tables only:
# a finding still names file and line, and the build takes less time than
# with full debug information.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-gline-tables-only -O1" \
  -DCMAKE_CXX_COMPILER=clang++-14 -DKV350_FUZZ=ON -DKV350_BUILD_BENCH=OFF >/dev/null
[ "${1:-}" = "--configure" ] && exit 0
cmake --build build-asan -j"$jobs"

QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure -j"$jobs"

# Each fuzz target once over its seeds: the programs link and start, and no seed
# breaks a property under the fuzzer's own runtime.
for target in $(sed -n 's/^set(KV350_FUZZ_TARGETS \(.*\))$/\1/p' fuzz/targets.cmake); do
  work="build-asan/fuzz-smoke/$target"
  mkdir -p "$work"
  build-asan/fuzz/fuzz_"$target" -runs=0 -dict=fuzz/kv350.dict "$work" "fuzz/corpus/$target" >"$work.log" 2>&1 ||
    { cat "$work.log"; echo "fuzz target $target failed on its seeds"; exit 1; }
done
echo "sanitizer build: all tests passed, every fuzz target ran its seeds"
