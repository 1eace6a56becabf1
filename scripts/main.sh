#!/usr/bin/env bash
# The main job: build the plug-in and the zelto host, then limit the built-in
# demo programme through the plug-in and print the reports.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
mkdir -p build/demo
build/release/zelto demo --out-dir build/demo
