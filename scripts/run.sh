#!/usr/bin/env bash
# Sets everything up, builds, and runs Ferrowick. Arguments go to ferrowick-cli;
# without arguments it shows the built-in demo history: its counts and chats.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh >&2
build_dir="${FERROWICK_BUILD_DIR:-build}"
cli="$build_dir/bin/ferrowick-cli"
if [ "$#" -eq 0 ]; then
  "$cli" info --demo
  exec "$cli" chats --demo
fi
exec "$cli" "$@"
