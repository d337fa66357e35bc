#!/usr/bin/env bash
# Sets up, builds and starts the tool against a virtual reader.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target kv350ctl kv350-sim
exec build/src/cli/kv350ctl --simulate KV350-MIC identify "$@"
