#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Idempotent: does nothing when all packages are present, and refreshes the
# package lists only when something is missing.
set -euo pipefail

PACKAGES=(
    build-essential cmake pkg-config
    libobs-dev
    qtbase5-dev qtbase5-dev-tools
    libfreetype-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    xvfb xauth libgl1-mesa-dri libegl1 libx11-dev libxcb1-dev
    fonts-wqy-microhei fonts-dejavu-core
    x11-utils
    libfaketime
    clang libclang-rt-14-dev
    libxtst-dev
    dpkg-dev
    poppler-utils
)

missing=()
for pkg in "${PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    if [[ "$status" != *"install ok installed"* ]]; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
