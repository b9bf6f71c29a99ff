#!/usr/bin/env bash
# Fuzzes the readers of files that users and other programs write (.dps settings and
# memory.ini): builds the targets in fuzz/ with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer into build/fuzz, then runs each for FUZZ_SECONDS (default 60) on
# its committed seed corpus. Any crash, leak, sanitizer report or oversized allocation fails.
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

cxx=$(command -v clang++ || command -v clang++-14)
cmake -S fuzz -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build build/fuzz -j2

mkdir -p build/fuzz/artifacts
for target in settings_file ini_store; do
    # New inputs go to a scratch corpus; the committed seeds stay as they are.
    scratch=build/fuzz/corpus-$target
    mkdir -p "$scratch"
    echo "== ${target}_fuzz for ${seconds}s"
    "build/fuzz/${target}_fuzz" "$scratch" "fuzz/corpus/$target" \
        -max_total_time="$seconds" -timeout=10 -malloc_limit_mb=64 -rss_limit_mb=1024 \
        -max_len=8192 -artifact_prefix=build/fuzz/artifacts/ -print_final_stats=1
done
