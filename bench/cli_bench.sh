#!/usr/bin/env bash
# Whole-process timings of the command-line tool, each beside its yardstick measured in the same
# run: start-up against the 0.1 s budget, an 18-megapixel JPEG against `vips copy` of the same
# file plus the engine's own Final render, a PPM against the engine's Final render, twelve
# JPEGs on 2 threads against 1, and the peak resident memory of the JPEG run per pixel.
# Usage: bench/cli_bench.sh [PHOTO.jpg]   (default: the generated scene at 5184 x 3456)
# Needs libvips-tools (vips) and GNU time (/usr/bin/time); builds into build/bench.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/bench
runs=${RUNS:-5}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQORVA_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target qorvahdr qorva_test_scene qorva_bench >/dev/null
tool=$build/cli/qorvahdr
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ $# -ge 1 ]; then
    cp "$1" "$work/photo.jpg"
else
    "$build/cli/qorva-test-scene" "$work/photo.jpg" 5184 3456
fi
width=$(vipsheader -f width "$work/photo.jpg")
height=$(vipsheader -f height "$work/photo.jpg")
pixels=$((width * height))
vips copy "$work/photo.jpg" "$work/photo.ppm"
"$build/cli/qorva-test-scene" "$work/small.png" 37 23

# Median wall time in seconds of a command over $runs runs.
median() {
    local times=()
    for _ in $(seq "$runs"); do
        local start end
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1 || true
        end=$(date +%s%N)
        times+=("$(( (end - start) / 1000 ))")
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p" |
        awk '{ printf "%.3f", $1 / 1e6 }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

engine=$("$build/bench/qorva_bench" --size "${width}x${height}" --jobs 2 --runs 3 \
             --only "Final method 0 (defaults)" |
         awk '/Final method 0 \(defaults\)/ && !/1 thread/ { for (i = 1; i <= NF; ++i)
              if ($(i + 1) == "ms") { printf "%.3f", $i / 1000; exit } }')
echo "photo ${width} x ${height} ($(awk -v p=$pixels 'BEGIN { printf "%.1f", p / 1e6 }') MP), $runs runs each, median"
echo "engine Final render, 2 threads (yardstick)       ${engine} s"

t=$(median "$tool" --print-settings)
echo "--print-settings                                 $t s   (budget 0.100 s)"
t=$(median "$tool" --jobs 2 "$work/small.png" -o "$work/small-out.png")
echo "37 x 23 image end to end                         $t s   (budget 0.100 s)"

copy=$(median vips copy "$work/photo.jpg" "$work/copy.jpg[Q=95]")
t=$(median "$tool" --jobs 2 --jpeg-quality 95 "$work/photo.jpg" -o "$work/out.jpg")
limit=$(awk -v c="$copy" -v e="$engine" 'BEGIN { printf "%.3f", 1.25 * c + e }')
echo "JPEG -> JPEG q95, 2 threads                      $t s   (vips copy $copy s; budget 1.25 x copy + engine = $limit s)"

t=$(median "$tool" --jobs 2 "$work/photo.ppm" -o "$work/out.ppm")
limit=$(awk -v e="$engine" 'BEGIN { printf "%.3f", e + 0.3 }')
echo "PPM -> PPM, 2 threads                            $t s   (budget engine + 0.3 s = $limit s)"

mkdir -p "$work/batch"
for i in $(seq -w 1 12); do cp "$work/photo.jpg" "$work/batch/p$i.jpg"; done
one=$(RUNS=1 median "$tool" --jobs 1 --overwrite "$work"/batch/*.jpg -o "$work/b1")
two=$(RUNS=1 median "$tool" --jobs 2 --overwrite "$work"/batch/*.jpg -o "$work/b2")
echo "twelve JPEGs: 1 thread $one s, 2 threads $two s   throughput $(ratio "$one" "$two") x   (target >= 1.70 x)"
if ! cmp -s "$work/b1/p01-hdr.jpg" "$work/b2/p01-hdr.jpg"; then echo "  (outputs differ!)"; fi

if [ -x /usr/bin/time ]; then
    kb=$( { /usr/bin/time -f %M "$tool" --jobs 2 "$work/photo.jpg" -o "$work/out.jpg" >/dev/null; } 2>&1 | tail -1)
    echo "peak resident memory, JPEG run                   $((kb / 1024)) MB = $(awk -v k="$kb" -v p="$pixels" 'BEGIN { printf "%.1f", k * 1024 / p }') bytes/pixel   (budget 20)"
else
    echo "peak resident memory: /usr/bin/time (Debian's time) is not installed"
fi
