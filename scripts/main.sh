#!/usr/bin/env bash
# The main job: build the plug-in and the zelto host, then limit the built-in
# demo programme through the plug-in and print the reports.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
mkdir -p build/demo
build/default/zelto demo --out-dir build/demo
