#!/usr/bin/env bash
# Sets up, builds and runs every test; builds the Debian package and checks it
# (scripts/package.sh); then builds and tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, with a smoke run of the fuzz targets (scripts/sanitize.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$(nproc)"
scripts/package.sh
scripts/sanitize.sh
