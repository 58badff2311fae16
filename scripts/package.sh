#!/usr/bin/env bash
# Sets everything up, builds what an installation holds and makes the Debian
# package build/packages/ferrowick_<version>_<arch>.deb. Extra arguments go to
# CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
FERROWICK_BUILD_TARGETS=ferrowick_runtime ./scripts/setup.sh "$@"
build_dir="${FERROWICK_BUILD_DIR:-build}"
cd "$build_dir"
cpack -G DEB --config CPackConfig.cmake
ls -1 "$PWD"/packages/*.deb
