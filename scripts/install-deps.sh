#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what the build and the tests need on Debian 12. Idempotent, never asks questions.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config git
    # The tests written in Python and the skin's page and drawing scripts.
    python3
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    libudev-dev umockdev libumockdev-dev libevdev-dev
    # udevadm: udev's own classification of the real input recordings in the tests.
    udev
    libjsoncpp-dev
    libcurl4-openssl-dev libcpp-httplib-dev libssl-dev openssl
    libsystemd-dev dbus
    libglib2.0-dev libglib2.0-bin gsettings-desktop-schemas
    qt6-base-dev qt6-tools-dev qt6-svg-dev libqt6opengl6-dev libgl-dev qt6-qpa-plugins libpugixml-dev
    libasound2-dev libpipewire-0.3-dev
    # The headset audio tests start a real sound server with a null sink.
    pipewire pipewire-bin wireplumber rubberband-ladspa alsa-utils
    # The icon's PNG sizes, the validators of the desktop entry and metainfo,
    # and the Debian package's dependencies (dpkg-shlibdeps).
    librsvg2-bin desktop-file-utils appstream dpkg-dev fakeroot
    # The manual pages, made from the programs' --help.
    help2man
    # velkor-audio: capture through libpulse, FFT by kissfft; its tests start a PulseAudio.
    libpulse-dev libkissfft-dev pulseaudio pulseaudio-utils
)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
# The SDK server's end-to-end test runs the npm package openrgb-sdk, a real
# client. A Node.js from elsewhere (NodeSource's carries npm) is kept: Debian's
# npm cannot be installed beside it.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
