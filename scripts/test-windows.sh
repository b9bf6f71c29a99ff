#!/usr/bin/env bash
# The Windows stage: cross-builds the 32-bit and the 64-bit plug-in files with MinGW-w64,
# checks what hosts need of them (machine, system-only imports, the one undecorated export)
# and runs the Windows host's tests under Wine in a virtual X display. The host checks the
# property lists of both files.
# Environment: QORVA_SKIP_APT=1 skips installing packages; QORVA_WERROR=ON makes warnings errors;
# QORVA_WINDOWS_BUILD_DIR puts the two builds and the Wine prefix elsewhere than build/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
builds=$(realpath -m "${QORVA_WINDOWS_BUILD_DIR:-build}")
build64=$builds/windows-x64
build32=$builds/windows-x86
werror=${QORVA_WERROR:-OFF}
jobs=$(nproc)

if [ -z "${QORVA_SKIP_APT:-}" ] && command -v apt-get >/dev/null; then
    sudo=""
    [ "$(id -u)" = 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    # Both wine packages named, so that apt never picks the 32-bit one.
    $sudo apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 \
        $(cat scripts/packages-windows.txt) >/dev/null
fi

# A 64-bit-only prefix of our own; no Mono or Gecko prompts, no crash dialog that would hang a
# test, and no window-manager waits when windows close.
export WINEPREFIX="$builds/wine-prefix" WINEARCH=win64 WINEDEBUG=-all \
       WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== Wine prefix"
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
    wineserver -w
fi

echo "== 32-bit plug-in"
cmake -S . -B "$build32" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQORVA_WERROR="$werror" \
    -DQORVA_BUILD_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" >/dev/null
cmake --build "$build32" --target QorvaHDR -j "$jobs"
plugin32="$build32/src/plugin/QorvaHDR32.8bf"

echo "== 64-bit plug-in and Windows host"
cmake -S . -B "$build64" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQORVA_WERROR="$werror" \
    -DQORVA_PLUGIN32_FILE="$plugin32" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build64" -j "$jobs"

sh scripts/check-8bf.sh i686-w64-mingw32-objdump "$plugin32" i386
sh scripts/check-8bf.sh x86_64-w64-mingw32-objdump "$build64/src/plugin/QorvaHDR.8bf" x86-64

echo "== Windows host under Wine"
# One X display and one wineserver for every test, started before ctest so that Wine's helper
# processes do not hold ctest's output pipes open; stopped before the display goes away.
xvfb-run -a -s "-screen 0 2560x1600x24" bash -c '
    wineserver -p
    wine wineboot >/dev/null 2>&1
    rc=0
    ctest --test-dir "$0" --output-on-failure --timeout 600 || rc=$?
    wineserver -k
    exit $rc' "$build64"
