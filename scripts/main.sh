#!/usr/bin/env bash
# The main job: build the plug-in and the zelto host, then show what the
# plug-in declares to a host.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
build/default/zelto info build/default/KRWZelto.so
