#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each on a seed corpus made
# from our own valid chunks, presets and banks. Any crash, sanitizer report
# or broken invariant fails the run.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 45; CI uses the default)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-45}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
work="$(mktemp -d /tmp/zelto-fuzz-run-XXXXXX)"
trap 'rm -rf "$work"' EXIT
build/fuzz/tests/fuzz/fuzz_seeds "$work/seeds"
for target in set_chunk:chunk preset_file:preset bank_file:bank; do
  name="${target%%:*}"
  seeds="${target##*:}"
  mkdir -p "$work/corpus-$name"
  echo "=== fuzz_${name}: ${seconds} s"
  build/fuzz/tests/fuzz/fuzz_${name} -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$work/crash-${name}-" "$work/corpus-$name" "$work/seeds/$seeds" \
    2>"$work/log-$name" || { tail -n 60 "$work/log-$name"; mkdir -p build/fuzz-artifacts; cp "$work"/crash-* build/fuzz-artifacts/ 2>/dev/null || true; exit 1; }
  grep -E '^(stat::number_of_executed_units|stat::new_units_added)' "$work/log-$name" || true
done
echo "fuzzing found nothing"
