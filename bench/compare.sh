#!/bin/sh
# Side-by-side speed of KRW Zelto and LSP's stereo limiter (Debian's
# lsp-plugins-vst) through the same host (zelto render), on the same files, at
# the same block size and precision. The figure is the CPU time the host spends
# inside the plug-in's process calls, per stereo frame.
#
# LSP runs as a plain look-ahead limiter: automatic level regulation off,
# threshold -1 dB, release at its maximum; oversampling off against our default
# program, its "Half x4" against our Oversample. The runs are interleaved
# (every configuration once per round, rounds repeated) so that a change in
# machine load touches all of them alike; the medians are reported, or with
# STAT=min the best round of each configuration (the least disturbed on a
# machine shared with other work). The processor's model name and the load
# average are printed with the figures.
#
# Files: the demo programme (zelto demo, 30 s) and a generated music-like
# programme (60 s: drums, bass, chords and a quiet bridge, limited part of the
# time only), both 44.1 kHz stereo.
#
#   bench/compare.sh [BUILD_DIR]    default build/release if it exists, else build/default
#   ROUNDS=7 BLOCK=512 STAT=min bench/compare.sh build/release
#
# Needs python3 (standard library only) for the generated file. Writes only into
# a temporary folder it removes.
set -eu

if [ $# -ge 1 ]; then
    build=$1
elif [ -d build/release ]; then
    build=build/release
else
    build=build/default
fi
zelto=${ZELTO:-$build/zelto}
ours=${OURS:-$build/KRWZelto.so}
lsp=${LSP:-/usr/lib/vst/lsp-plugins/limiter-stereo.so}
block=${BLOCK:-512}
rounds=${ROUNDS:-7}
stat=${STAT:-median}
case $stat in
median | min) ;;
*)
    echo "compare.sh: STAT must be median or min" >&2
    exit 1
    ;;
esac

for f in "$zelto" "$ours" "$lsp"; do
    if [ ! -e "$f" ]; then
        echo "compare.sh: $f not found" >&2
        exit 1
    fi
done
command -v python3 >/dev/null || {
    echo "compare.sh: python3 is needed to generate the music-like file" >&2
    exit 1
}
buildType=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

"$zelto" demo --out-dir "$work" --plugin "$ours" >/dev/null

# 60 s of a music-like mix: a four-to-the-floor kick, a bass line, a chord pad,
# hi-hats, a snare on 2 and 4, a quiet bridge in the middle and a loud last
# chorus (sample peak +7.6 dBFS; about 0.3 % of the samples above full scale), so
# the limiter works hard only part of the time. Deterministic (fixed seed).
python3 - "$work/music.wav" <<'EOF'
import array, math, random, struct, sys
rate, secs = 44100, 60
n = rate * secs
rnd = random.Random(14)
beat = 60.0 / 124.0
notes = [41.2, 41.2, 49.0, 36.7, 43.65, 43.65, 55.0, 49.0]
chords = [(220.0, 261.6, 329.6), (196.0, 246.9, 293.7), (174.6, 220.0, 261.6), (196.0, 246.9, 311.1)]
left = array.array('f', bytes(4 * n))
right = array.array('f', bytes(4 * n))
two_pi = 2.0 * math.pi
noise_l = noise_r = 0.0
for i in range(n):
    t = i / rate
    section = int(t // 15)                  # 0 verse, 1 chorus, 2 bridge, 3 loud chorus
    level = (0.55, 0.85, 0.25, 1.15)[section]
    b = t / beat
    pos = b - math.floor(b)
    tb = pos * beat                         # seconds since the beat: a 150 -> 50 Hz sweep
    kick = math.sin(two_pi * (50.0 * tb + 100.0 * (1 - math.exp(-tb * 30)) / 30)) * math.exp(-tb * 18)
    if section == 2:
        kick *= 0.2
    bar = int(b // 4)
    f = notes[(int(b // 2)) % len(notes)]
    bass = 0.0
    for h in (1, 2, 3):
        bass += math.sin(two_pi * f * h * t) / h
    bass *= 0.35 * (0.6 + 0.4 * math.exp(-pos * 4))
    ch = chords[bar % 4]
    pad = sum(math.sin(two_pi * c * t + k) for k, c in enumerate(ch)) * 0.12
    pad *= 0.8 + 0.2 * math.sin(two_pi * 0.25 * t)
    noise_l = 0.6 * noise_l + rnd.uniform(-1, 1)
    noise_r = 0.6 * noise_r + rnd.uniform(-1, 1)
    half = (b * 2) - math.floor(b * 2)
    hat = math.exp(-half * 40) * 0.12
    beat_in_bar = int(b) % 4
    snare = math.exp(-pos * 14) * 0.5 if beat_in_bar in (1, 3) else 0.0
    l = level * (0.9 * kick + bass + pad * 1.1 + (hat + snare) * noise_l * 0.5)
    r = level * (0.9 * kick + bass + pad * 0.9 + (hat + snare) * noise_r * 0.5)
    left[i] = l
    right[i] = r
data = array.array('f', bytes(8 * n))
data[0::2] = left
data[1::2] = right
if sys.byteorder != 'little':
    data.byteswap()
raw = data.tobytes()
with open(sys.argv[1], 'wb') as fh:
    fh.write(b'RIFF' + struct.pack('<I', 36 + len(raw)) + b'WAVE')
    fh.write(b'fmt ' + struct.pack('<IHHIIHH', 16, 3, 2, rate, rate * 8, 8, 32))
    fh.write(b'data' + struct.pack('<I', len(raw)) + raw)
EOF

# LSP as a plain look-ahead limiter: automatic level regulation off, threshold
# -1 dB (its range is -48 … 0 dB over 0 … 1), release at its maximum.
lspBase="--set alr=0 --set th=0.97916667 --set rt=1"
# name | plug-in | settings
configs="ours|$ours|
lsp|$lsp|$lspBase --set ovs=0
ours-ovs|$ours|--set Oversample=0.75
lsp-half4|$lsp|$lspBase --set ovs=0.3
ours-ovs-meterovs|$ours|--set Oversample=0.75 --set MeterOvs=0.75
ours-quant|$ours|--set Quantize=0.75 --set Bits=0.5 --set NoiseShape=0.875"

# ns per frame of one render.
once() {
    file=$1
    plugin=$2
    shift 2
    t=$("$zelto" render "$file" "$work/out.wav" --plugin "$plugin" --block "$block" \
            --no-progress --json "$@" |
        sed -n 's/^ *"nsPerFrame": *\([0-9.eE+-]*\),*$/\1/p')
    if [ -z "$t" ]; then
        echo "compare.sh: no timing from $plugin" >&2
        exit 1
    fi
    echo "$t"
}

# The figure of one configuration from its rounds: the median, or the best.
aggregate() {
    if [ "$stat" = min ]; then
        tr ' ' '\n' | sed '/^$/d' | sort -g | head -n 1
    else
        median
    fi
}

median() {
    tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END {
        if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo 2>/dev/null | head -n 1)
if [ "$stat" = min ]; then statName="best round"; else statName="medians"; fi
echo "Build: $build (${buildType:-unknown build type}); block $block, single precision;"
echo "$rounds interleaved rounds, $statName of the CPU time inside the process calls."
echo "Processor: ${cpu:-unknown}, $(getconf _NPROCESSORS_ONLN 2>/dev/null || echo '?') logical; load average at start: $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null)"
for file in "$work/demo-in.wav" "$work/music.wav"; do
    case $file in
    *demo-in.wav) label="demo programme (30 s)" ;;
    *) label="music-like programme (60 s)" ;;
    esac
    r=0
    while [ "$r" -lt "$rounds" ]; do
        echo "$configs" | while IFS='|' read -r name plugin settings; do
            # shellcheck disable=SC2086
            echo "$name $(once "$file" "$plugin" $settings)"
        done >>"$work/times"
        r=$((r + 1))
    done
    for name in ours lsp ours-ovs lsp-half4 ours-ovs-meterovs ours-quant; do
        printf '%s ' "$(awk -v n="$name" '$1 == n { printf "%s ", $2 }' "$work/times" | aggregate)"
    done >"$work/medians"
    echo >>"$work/medians"
    rm -f "$work/times"
    read -r a l o h m q <"$work/medians"
    echo
    echo "$label (load average now: $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null))"
    awk -v a="$a" -v l="$l" -v o="$o" -v h="$h" -v m="$m" -v q="$q" 'BEGIN {
        printf "  %-44s %9s %8s\n", "configuration", "ns/frame", "ratio"
        printf "  %-44s %9.1f %8s\n", "LSP, oversampling off", l, "1"
        printf "  %-44s %9.1f %8.2f\n", "KRW Zelto, default program", a, a / l
        printf "  %-44s %9.1f %8s\n", "LSP, Half x4", h, "1"
        printf "  %-44s %9.1f %8.2f\n", "KRW Zelto, Oversample", o, o / h
        printf "  %-44s %9.1f %8.2f\n", "KRW Zelto, Oversample + MeterOvs", m, m / h
        printf "  %-44s %9.1f %8s\n", "KRW Zelto, Quantize 16 bits type C", q, sprintf("+%.1f", q - a)
    }'
done
