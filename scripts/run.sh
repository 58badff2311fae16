#!/usr/bin/env bash
# Sets everything up, builds, and runs Ferrowick. Without arguments it opens
# the desktop application on the built-in demo history, kept as a local
# database in a data folder of its own (made on the first run); with no
# display it shows the demo through ferrowick-cli instead. Arguments go to
# ferrowick-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
# Only what running needs (the programs, plugins and artwork); the tests are
# built by scripts/test.sh.
FERROWICK_BUILD_TARGETS=ferrowick_runtime ./scripts/setup.sh >&2
build_dir="${FERROWICK_BUILD_DIR:-build}"
cli="$build_dir/bin/ferrowick-cli"
if [ "$#" -gt 0 ]; then
  exec "$cli" "$@"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "$(uname)" != "Darwin" ]; then
  echo "No display found: showing the demo history with ferrowick-cli instead of the desktop application." >&2
  "$cli" info --demo
  exec "$cli" chats --demo
fi

# The demo lives in its own data folder, so the user's own databases are
# neither shown nor touched.
export FERROWICK_DATA_DIR="${FERROWICK_DATA_DIR:-$PWD/$build_dir/demo-data}"
if [ ! -f "$FERROWICK_DATA_DIR/local_databases/Demo History/Documents/Contacts-tellurine.data" ]; then
  echo "Making the demo history into a local database (first run)..." >&2
  "$cli" backup --demo --into "Demo History" >&2
fi
# The bubble view's web engine refuses to start as root with its sandbox on.
if [ "$(id -u)" = 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
exec "$build_dir/bin/ferrowick"
