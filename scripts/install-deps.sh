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
    # The real RTC engine: Janus with its video room, GStreamer's webrtcbin
    # (VP8, Opus, ICE through libnice), Janus's HTTP API through libcurl.
    janus curl python3
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-nice gstreamer1.0-x
    # H.264 as the other video codec: x264's encoder, FFmpeg's decoder.
    gstreamer1.0-plugins-ugly gstreamer1.0-libav
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libcurl4-openssl-dev nlohmann-json3-dev
    # The watch page (web/): Janus's JavaScript client and WebRTC adapter,
    # and a browser for its tests.
    libjs-janus-gateway libjs-webrtc-adapter chromium
)

# webrtcbin's headers come in libgstreamer-plugins-bad1.0-dev, which depends on
# some 200 packages (OpenCV, GDAL, MPI...) that nothing here uses; the package
# is fetched from Debian and only its own files are unpacked, here.
WEBRTC_DEV_DIR=/opt/kp-toolkit/gst-webrtc-dev
install_webrtc_headers() {
    if [ -f /usr/include/gstreamer-1.0/gst/webrtc/webrtc.h ] ||
        [ -f "$WEBRTC_DEV_DIR/usr/include/gstreamer-1.0/gst/webrtc/webrtc.h" ]; then
        return 0
    fi
    echo "Unpacking webrtcbin's headers (libgstreamer-plugins-bad1.0-dev) into $WEBRTC_DEV_DIR"
    local download
    download=$(mktemp -d)
    chmod 777 "$download" # apt's unprivileged download user writes there
    # The same version as the installed library, whose headers these are.
    local version
    version=$(dpkg-query -W -f='${Version}' libgstreamer-plugins-bad1.0-0)
    (cd "$download" && $SUDO apt-get download -q "libgstreamer-plugins-bad1.0-dev=$version")
    $SUDO mkdir -p "$WEBRTC_DEV_DIR"
    $SUDO dpkg-deb -x "$download"/libgstreamer-plugins-bad1.0-dev_*.deb "$WEBRTC_DEV_DIR"
    rm -rf "$download"
}

missing=()
for pkg in "${PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    if [[ "$status" != *"install ok installed"* ]]; then
        missing+=("$pkg")
    fi
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    $SUDO apt-get update -q
    $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
install_webrtc_headers
