#!/usr/bin/env bash
# Sets up, checks the layout of the C++ files (scripts/format-check.sh), builds
# and runs every test; builds the Debian package and checks it
# (scripts/package.sh); then builds and tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, with a smoke run of the fuzz targets (scripts/sanitize.sh).
# A layout failure does not stop the tests; it fails the run at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
format_status=0
scripts/format-check.sh || format_status=$?
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$(nproc)"
scripts/package.sh
scripts/sanitize.sh
if [ "$format_status" -ne 0 ]; then
  echo "scripts/format-check.sh failed (its report is at the top); every test passed" >&2
  exit "$format_status"
fi
