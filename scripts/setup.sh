#!/usr/bin/env bash
# Installs what the build needs (Debian 12) and builds the library, its tests,
# fuzz replays and benchmarks into build/ (ZEL_BUILD_DIR names another
# folder). The switches keep the defaults of CMakeLists.txt unless their
# variable is set: ZEL_SANITIZE=ON builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, ZEL_WERROR=ON makes compiler warnings errors,
# ZEL_BENCH=OFF leaves the benchmarks out (CI's sanitized pass sets all three).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(unixodbc-dev libtirpc-dev zlib1g-dev libgeos-dev libgtest-dev libgmock-dev
          libbenchmark-dev cmake ninja-build clang clang-format libclang-rt-14-dev
          libsqliteodbc unixodbc pkg-config g++)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

switches=()
for name in ZEL_SANITIZE ZEL_WERROR ZEL_BENCH; do
    if [ -n "${!name:-}" ]; then
        switches+=("-D$name=${!name}")
    fi
done
build="${ZEL_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${switches[@]}"
cmake --build "$build"
