#!/usr/bin/env bash
# Runs the whole test suite of build/ (made by scripts/setup.sh), or of the
# folder ZEL_BUILD_DIR names.
set -euo pipefail
cd "$(dirname "$0")/.."
export TZ=UTC LC_ALL=C
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir "${ZEL_BUILD_DIR:-build}" --output-on-failure -j "$(nproc)" --timeout 300
