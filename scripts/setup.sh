#!/usr/bin/env bash
# Installs the Debian packages Ferrowick needs (when missing), then configures
# and builds it in ./build. Extra arguments are passed to CMake;
# FERROWICK_BUILD_TARGETS names what to build (everything by default).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev
  qt6-webengine-dev xvfb xauth
  libsqlite3-dev libmbedtls-dev libplist-dev
  libimobiledevice-dev libimobiledevice-utils usbmuxd
  libbenchmark-dev sqlite3 bc time
  python3 poppler-utils
  fonts-noto-color-emoji
  dpkg-dev file lintian appstream desktop-file-utils groff-base
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Need root or sudo to install ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

build_dir="${FERROWICK_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE="${FERROWICK_BUILD_TYPE:-RelWithDebInfo}" "$@"
targets=()
for t in ${FERROWICK_BUILD_TARGETS:-}; do
  targets+=(--target "$t")
done
cmake --build "$build_dir" --parallel "$(nproc)" "${targets[@]}"
