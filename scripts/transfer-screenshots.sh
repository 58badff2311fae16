#!/usr/bin/env bash
# Saves pictures of a transfer into docs/screenshots/: the demo history goes
# from a local database onto a simulated iPhone without Viber messages that
# takes them only by a restore from its backup (the restore question, the
# result, the phone's chats afterwards). Runs under Xvfb; touches nothing of
# the real home folder.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${FERROWICK_BUILD_DIR:-build}"
cmake --build "$build_dir" -j2 --target ferrowick-cli ferrowick-transfer-screenshots ferrowick-simulator \
  ferrowick-simbackup >&2

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" FERROWICK_DATA_DIR="$work/data"
mkdir -p "$HOME"
export QTWEBENGINE_DISABLE_SANDBOX=1
export TZ=UTC LC_ALL=C.UTF-8
"$build_dir/bin/ferrowick-cli" backup --demo --into "Demo History" >&2

# The phone: no house arrest, no Viber store of its own.
mkdir -p "$work/sim/ana/Media"
python3 - "$work/sim/ana/device.plist" <<'PY'
import plistlib, sys
with open(sys.argv[1], "wb") as f:
    plistlib.dump({"Values": {"DeviceName": "Ana's iPhone", "UniqueDeviceID": "00008110-000A1B2C3D4E5F60",
                              "ProductType": "iPhone14,2", "ProductVersion": "17.4.1"}}, f, fmt=plistlib.FMT_XML)
PY
export FERROWICK_SIM_DEVICES="$work/sim"
export FERROWICK_DEVICE_BACKEND="$build_dir/bin/libferrowick-simulator.so"
xvfb-run -a -s "-screen 0 1400x900x24" "$build_dir/bin/ferrowick-transfer-screenshots" "${1:-docs/screenshots}"
