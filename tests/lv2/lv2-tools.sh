#!/bin/sh
# The LV2 bundle as Debian's own LV2 tools see it: found on LV2_PATH, its
# ports and latency, its Turtle valid against the LV2 schemas, and the demo
# programme rendered through it equal to the VST2 render.
# Usage: lv2-tools.sh ZELTO LV2_DIR COMPARE_RENDERS WORK_DIR
set -eu
zelto=$1
lv2dir=$2
compare=$3
work=$4
uri=https://krw-soundlab.com/plugins/zelto
rm -rf "$work"
mkdir -p "$work"
export LV2_PATH="$lv2dir"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

lv2ls | grep -qx "$uri" || fail "lv2ls does not list $uri"

lv2info "$uri" >"$work/info.txt" 2>&1 || fail "lv2info failed"
grep -q 'Has latency: *yes, reported by port 26' "$work/info.txt" || fail "no latency port"
ports=$(grep -c '^	Port [0-9]*:' "$work/info.txt")
[ "$ports" = 37 ] || fail "lv2info shows $ports ports, not 37"
grep -q 'Symbol: *output$' "$work/info.txt" || fail "no output control port"
# Hosts as simple as lv2apply offer no features: none may be required.
if grep -q 'Required Features: *http' "$work/info.txt"; then fail "a feature is required"; fi
grep -q 'Optional Features:.*urid#map' "$work/info.txt" || fail "urid:map not offered for the state"
presets=$(sed -n '/Presets:/,/Port 0:/p' "$work/info.txt" | grep -c '^	         ')
[ "$presets" = 24 ] || fail "$presets presets, not 24"

schemas=$(find /usr/lib/lv2 -name '*.ttl' ! -name manifest.ttl ! -name '*.meta.ttl' | sort)
# shellcheck disable=SC2086
sord_validate $schemas "$lv2dir"/krw-zelto.lv2/*.ttl >"$work/validate.txt" 2>&1 ||
    { cat "$work/validate.txt"; fail "sord_validate failed"; }
grep -q 'Found 0 errors' "$work/validate.txt" || { cat "$work/validate.txt"; fail "invalid Turtle"; }

"$zelto" demo --out-dir "$work" -q || fail "zelto demo failed"
"$zelto" render "$work/demo-in.wav" "$work/vst-minus1.wav" --set Output=-1dB -q ||
    fail "zelto render failed"
lv2apply -i "$work/demo-in.wav" -o "$work/lv2-default.wav" "$uri" || fail "lv2apply failed"
lv2apply -i "$work/demo-in.wav" -o "$work/lv2-minus1.wav" -c output -1 "$uri" ||
    fail "lv2apply -c output -1 failed"
"$compare" "$work/demo-out.wav" "$work/lv2-default.wav" 159 0 1e-6 ||
    fail "default program differs"
"$compare" "$work/vst-minus1.wav" "$work/lv2-minus1.wav" 159 -1 1e-6 ||
    fail "Output -1 dB differs"
rm -rf "$work"
echo "LV2 bundle: listed, 37 ports, latency reported, valid, renders equal"
