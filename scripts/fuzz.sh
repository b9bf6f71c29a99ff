#!/usr/bin/env bash
# Fuzzes what the plug-in and the command line take from others: .dps settings, memory.ini and
# the recall of a memory, the plug-in's entry point with arbitrary host records and selector
# sequences, and the command line's options. Builds the targets in fuzz/ with clang's
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer into build/fuzz (FUZZ_BUILD_DIR),
# then runs each for FUZZ_SECONDS (default 60) on its committed seed corpus, which also holds
# every input that once crashed. Any crash, leak, sanitizer report, time-out or oversized
# allocation fails. FUZZ_TARGETS chooses targets (default: all that were built).
# Needs clang and libclang-rt-14-dev (Debian 12); installs them when apt-get is there.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}

if [ -z "${QORVA_SKIP_APT:-}" ] && command -v apt-get >/dev/null &&
    ! dpkg -s clang libclang-rt-14-dev >/dev/null 2>&1; then
    sudo=""
    [ "$(id -u)" = 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 \
        clang libclang-rt-14-dev >/dev/null
fi

build=${FUZZ_BUILD_DIR:-build/fuzz}
cxx=$(command -v clang++ || command -v clang++-14)
cmake -S fuzz -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$build" -j2

targets=${FUZZ_TARGETS:-settings_file ini_store memory_recall plugin_entry cli_options}
mkdir -p "$build/artifacts"
for target in $targets; do
    if [ ! -x "$build/${target}_fuzz" ]; then
        echo "== ${target}_fuzz was not built (its libraries are missing)"
        continue
    fi
    # New inputs go to a scratch corpus; the committed seeds stay as they are.
    scratch=$build/corpus-$target
    mkdir -p "$scratch"
    echo "== ${target}_fuzz for ${seconds}s"
    "$build/${target}_fuzz" "$scratch" "fuzz/corpus/$target" \
        -max_total_time="$seconds" -timeout=10 -malloc_limit_mb=64 -rss_limit_mb=1024 \
        -max_len=8192 -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1
done
