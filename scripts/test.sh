#!/usr/bin/env bash
# Builds and runs the whole test suite: the default build, then the same suite
# under AddressSanitizer + UBSan, then the concurrency tests under
# ThreadSanitizer, and a bounded fuzzing run of every loader of outside
# data. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
for preset in default asan; do
  echo "=== ${preset}: build"
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}" -j "${jobs}"
  echo "=== ${preset}: test"
  ctest --preset "${preset}" -j "${jobs}"
done
echo "=== tsan: concurrency tests"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "${jobs}"
ctest --preset tsan -j "${jobs}" -R 'Concurren|Thread|Lock'
echo "=== fuzz: loaders of chunks, presets and banks"
scripts/fuzz.sh 45
