#!/usr/bin/env bash
# Builds and runs the whole test suite: the default build, then the same suite
# under AddressSanitizer + UBSan and under ThreadSanitizer, and a bounded
# fuzzing run of every loader of outside data. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
log=$(mktemp /tmp/zelto-ctest-XXXXXX)
trap 'rm -f "$log"' EXIT
run_ctest() {
  ctest --preset "$1" -j "${jobs}" "${@:2}" | tee -a "$log"
}
for preset in default asan; do
  echo "=== ${preset}: build"
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}" -j "${jobs}"
  echo "=== ${preset}: test"
  run_ctest "${preset}"
done
echo "=== tsan: build"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "${jobs}"
echo "=== tsan: test"
run_ctest tsan
echo "=== fuzz: loaders of chunks, presets and banks"
scripts/fuzz.sh 45
# One closing line over every ctest run above (each stopped the script had
# anything failed).
total=$(grep -E 'tests passed, 0 tests failed out of' "$log" | awk '{s += $NF} END {print s + 0}')
echo "tests: ${total} passed, 0 failed"
