#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the player need.
# Only packages that are missing are installed, so a ready machine pays nothing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6svg6-dev libgl-dev
    libsdl2-dev libmpg123-dev libsndfile1-dev libtag1-dev libmp3lame-dev libebur128-dev libsoxr-dev librubberband-dev
    libavformat-dev libavcodec-dev libavutil-dev
    libqm-dsp-dev
    fonts-dejavu-core
)
# The Debian package is checked with lintian (scripts/package.sh, and a test).
if [[ "${1:-}" == "--test" || "${1:-}" == "--package" ]]; then
    packages+=(lintian)
fi
if [[ "${1:-}" == "--test" || "${1:-}" == "--bench" ]]; then
    # Fuzzing needs clang's libFuzzer; the desktop checks need their validators; the
    # desktop leg runs under Xvfb with openbox, a private PulseAudio and a session bus, and
    # drives the player over the bus with playerctl.
    packages+=(clang libclang-rt-dev desktop-file-utils appstream xauth xvfb x11-utils
        openbox pulseaudio pulseaudio-utils dbus xdotool playerctl)
fi
if [[ "${1:-}" == "--bench" ]]; then
    # The decoding benchmark compares with FFmpeg's own command on the same files.
    packages+=(ffmpeg)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
