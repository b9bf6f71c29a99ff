#!/usr/bin/env bash
# The main job: gives a photograph the HDR look with both methods and writes the results to out/.
#   scripts/run.sh            a sample photograph (Debian's mate-backgrounds package)
#   scripts/run.sh PHOTO.jpg  your own photograph
# Installs what the build needs (Debian 12, apt-get), builds the command-line tool (release)
# and runs it. The sample photographs are GPL: they are downloaded into .cache/samples and never
# committed. When they cannot be had, the project's generated test scene is processed instead.
set -euo pipefail

image=""
if [ $# -gt 0 ]; then
    [ -f "$1" ] || { echo "run.sh: $1: no such file" >&2; exit 2; }
    image="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
fi
cd "$(dirname "$0")/.."
build=${QORVA_BUILD_DIR:-build/release}

sudo=""
[ "$(id -u)" = 0 ] || sudo="sudo"
if [ -z "${QORVA_SKIP_APT:-}" ] && command -v apt-get >/dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 \
        $(grep -v '^#' scripts/packages-native.txt) >/dev/null
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target qorvahdr qorva_test_scene
tool="$build/cli/qorvahdr"

if [ -z "$image" ]; then
    samples=.cache/samples
    photos="$samples/root/usr/share/backgrounds/mate/nature"
    if ! ls "$photos"/*.jpg >/dev/null 2>&1; then
        mkdir -p "$samples"
        rm -f "$samples"/mate-backgrounds_*.deb
        if (cd "$samples" && apt-get download mate-backgrounds >/dev/null 2>&1); then
            dpkg -x "$samples"/mate-backgrounds_*.deb "$samples/root" || true
        fi
    fi
    # A stormy sky over a road: dark clouds, a bright horizon and detail in both.
    if [ -f "$photos/Storm.jpg" ]; then
        image="$PWD/$photos/Storm.jpg"
    else
        image=$(ls "$PWD/$photos"/*.jpg 2>/dev/null | head -n 1 || true)
    fi
    if [ -z "$image" ]; then
        echo "run.sh: no sample photograph could be fetched; using the generated test scene"
        mkdir -p out
        "$build/cli/qorva-test-scene" out/test-scene.png 1200 800
        image="$PWD/out/test-scene.png"
    fi
fi

mkdir -p out
name=$(basename "$image")
stem=${name%.*}
extension=${name##*.}
case "${extension,,}" in
    jpg | jpeg | png | tif | tiff | ppm) ;;
    *) extension=png ;;
esac

echo "Processing $image"
results=()
for method in eye-catching ultra-contrast; do
    result="out/$stem-$method.$extension"
    "$tool" --method "$method" "$image" -o "$result"
    results+=("$PWD/$result")
done
echo "Results:"
printf '  %s\n' "${results[@]}"
