#!/usr/bin/env bash
# Sets everything up, builds, and runs Ferrowick. Arguments go to ferrowick-cli;
# without arguments it shows what the command-line tool can do.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh >&2
build_dir="${FERROWICK_BUILD_DIR:-build}"
if [ "$#" -eq 0 ]; then
  set -- --help
fi
exec "$build_dir/bin/ferrowick-cli" "$@"
