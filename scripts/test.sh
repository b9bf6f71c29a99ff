#!/usr/bin/env bash
# Installs what the build needs (Debian 12, apt-get), builds natively and runs every test, then
# the Windows stage (cross-built plug-in files, tested under Wine) unless QORVA_SKIP_WINDOWS=1.
# Usage: scripts/test.sh [preset]   (release by default; asan for the sanitizer build)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-release}

if [ -z "${QORVA_SKIP_APT:-}" ] && command -v apt-get >/dev/null; then
    sudo=""
    [ "$(id -u)" = 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 \
        $(cat scripts/packages-native.txt) >/dev/null
fi

cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j "$(nproc)"

if [ -z "${QORVA_SKIP_WINDOWS:-}" ]; then
    werror=OFF
    case "$preset" in ci-*) werror=ON ;; esac
    QORVA_WERROR=$werror bash scripts/test-windows.sh
fi
