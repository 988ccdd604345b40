#!/usr/bin/env bash
# Installs every Debian package Lantrove needs to build, run and test.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential cmake ninja-build pkg-config git ca-certificates \
  clang clang-format libclang-rt-14-dev \
  libgtest-dev libgmock-dev libbenchmark-dev \
  zlib1g-dev libpcre2-dev libcurl4-openssl-dev libssl-dev openssl \
  libpng-dev libjpeg-dev \
  libgtk-3-dev libxfixes-dev libwebkit2gtk-4.1-dev libpango1.0-dev libcairo2-dev \
  libavcodec-dev libavformat-dev libavutil-dev libavfilter-dev \
  libswscale-dev libswresample-dev libavdevice-dev ffmpeg \
  libcpp-httplib-dev \
  fonts-liberation fonts-dejavu-core fonts-wqy-microhei fontconfig openbox \
  xvfb xauth x11-apps x11-utils x11-xserver-utils xdotool imagemagick curl \
  dbus-daemon libglib2.0-bin \
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav \
  gstreamer1.0-alsa gstreamer1.0-pulseaudio xdg-utils dbus-daemon \
  >/dev/null
