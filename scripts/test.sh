#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite. Extra arguments
# are passed to CMake (through setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh "$@"
build_dir="${FERROWICK_BUILD_DIR:-build}"
cd "$build_dir"
ctest --output-on-failure --parallel "$(nproc)" --timeout 900
