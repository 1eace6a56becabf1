#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks and the
# GUI checks need. Safe to run again: apt-get skips what is already there.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config \
  libgtest-dev libgmock-dev libbenchmark-dev \
  libsndfile1-dev libebur128-dev \
  libcairo2-dev libx11-dev fonts-dejavu-core fonts-liberation \
  xvfb xauth xdotool x11-utils \
  zenity \
  lsp-plugins-vst \
  >/dev/null
