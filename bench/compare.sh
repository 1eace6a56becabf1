#!/bin/sh
# Compares the CPU time KRW Zelto and LSP's limiter-stereo spend inside their
# process calls on the same programme, loaded by the same host (zelto), at
# the same block size and precision. Reports the best of several runs of each.
# It only reads the plug-ins and writes into a temporary folder it removes.
#
#   bench/compare.sh [BUILD_DIR]        (default build/default)
#   BLOCK=64 RUNS=9 bench/compare.sh build/bench
set -eu

build=${1:-build/default}
zelto=${ZELTO:-$build/zelto}
ours=${OURS:-$build/KRWZelto.so}
lsp=${LSP:-/usr/lib/vst/lsp-plugins/limiter-stereo.so}
block=${BLOCK:-512}
runs=${RUNS:-5}

for f in "$zelto" "$ours" "$lsp"; do
    if [ ! -e "$f" ]; then
        echo "compare.sh: $f not found" >&2
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

"$zelto" demo --out-dir "$work" --plugin "$ours" >/dev/null
input="$work/demo-in.wav"

# Best CPU seconds of the process calls over $runs renders.
best() {
    plugin=$1
    shift
    i=0
    min=""
    while [ "$i" -lt "$runs" ]; do
        t=$("$zelto" render "$input" "$work/out.wav" --plugin "$plugin" --block "$block" \
                --no-progress --json "$@" |
            sed -n 's/^ *"cpuSeconds": *\([0-9.eE+-]*\),*$/\1/p')
        if [ -z "$t" ]; then
            echo "compare.sh: no timing from $plugin" >&2
            exit 1
        fi
        min=$(awk -v a="$t" -v b="$min" 'BEGIN { print (b == "" || a < b) ? a : b }')
        i=$((i + 1))
    done
    echo "$min"
}

frames=$(( 30 * 44100 ))
ours_s=$(best "$ours")
ours_os=$(best "$ours" --set Oversample=0.75)
lsp_s=$(best "$lsp")

echo "Programme: 30 s stereo at 44100 Hz (zelto demo), block $block, single precision, best of $runs"
awk -v f="$frames" -v a="$ours_s" -v b="$ours_os" -v c="$lsp_s" 'BEGIN {
    printf "%-30s %9s %12s %10s\n", "plug-in", "CPU s", "ns/frame", "x realtime"
    printf "%-30s %9.4f %12.1f %10.0f\n", "KRW Zelto", a, a * 1e9 / f, 30 / a
    printf "%-30s %9.4f %12.1f %10.0f\n", "KRW Zelto, Oversample on", b, b * 1e9 / f, 30 / b
    printf "%-30s %9.4f %12.1f %10.0f\n", "LSP limiter-stereo", c, c * 1e9 / f, 30 / c
    printf "CPU-time ratio KRW Zelto / LSP: %.2f (Oversample on: %.2f)\n", a / c, b / c
}'
