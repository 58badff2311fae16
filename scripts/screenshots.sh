#!/usr/bin/env bash
# Saves pictures of the main window on the demo history into
# docs/screenshots/: the whole history, a one-to-one chat and a group chat.
# Runs the application under Xvfb, so no display is needed.
set -euo pipefail
cd "$(dirname "$0")/.."
FERROWICK_BUILD_TARGETS="ferrowick-cli ferrowick-screenshots" ./scripts/setup.sh >&2
build_dir="${FERROWICK_BUILD_DIR:-build}"

data="$(mktemp -d)"
trap 'rm -rf "$data"' EXIT
export FERROWICK_DATA_DIR="$data"
export QTWEBENGINE_DISABLE_SANDBOX=1
# The same clock and language for every run of the pictures.
export TZ=UTC LC_ALL=C.UTF-8
"$build_dir/bin/ferrowick-cli" backup --demo --into "Demo History" >&2
xvfb-run -a -s "-screen 0 1920x1200x24" "$build_dir/bin/ferrowick-screenshots" docs/screenshots
