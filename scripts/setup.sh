#!/usr/bin/env bash
# Installs the Debian packages zelto and the plug-in need to build and run;
# with --tests also what the tests, the benchmarks, the GUI checks and the
# Windows cross-build need. Safe to run again: apt-get skips what is already
# there.
#   scripts/setup.sh           build and run (scripts/main.sh)
#   scripts/setup.sh --tests   everything (scripts/test.sh)
set -euo pipefail
tests=0
case "${1:-}" in
  "") ;;
  --tests) tests=1 ;;
  *) echo "usage: scripts/setup.sh [--tests]" >&2; exit 2 ;;
esac
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# The build, and what the plug-in and zelto use when they run: its editor
# draws with cairo and these fonts, and its file dialogs are zenity's;
# lv2-dev has the LV2 plug-in interface's headers (and the schemas the tests
# validate the bundle with).
$SUDO apt-get install -y -qq --no-install-recommends \
  cmake ninja-build g++ pkg-config \
  libsndfile1-dev libebur128-dev libasound2-dev \
  libcairo2-dev libfontconfig-dev libx11-dev lv2-dev \
  fonts-dejavu-core fonts-dejavu-extra fonts-liberation \
  zenity \
  >/dev/null
if [ "${tests}" -eq 0 ]; then exit 0; fi
# ffmpeg is the tests' second, independent loudness and true-peak meter (its
# ebur128 filter), beside libebur128. lilv-utils and sordi are Debian's LV2
# tools the LV2 bundle is checked with (lv2ls, lv2info, lv2apply,
# sord_validate); lintian checks the Debian package and man its manual page.
$SUDO apt-get install -y -qq --no-install-recommends \
  clang clang-format libclang-rt-14-dev \
  libgtest-dev libgmock-dev libbenchmark-dev \
  locales dpkg-dev \
  xvfb xauth xdotool x11-utils \
  ffmpeg \
  lilv-utils sordi \
  lintian man-db \
  lsp-plugins-vst \
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest \
  >/dev/null
# Wine runs the Windows build's tests. Installed with its recommended
# packages (its own fonts among them), which the window tests draw with.
$SUDO apt-get install -y -qq wine wine64 >/dev/null
# A second locale, so the tests that numbers in files and texts ignore the
# host's locale (German writes 1,5) run instead of skipping.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
