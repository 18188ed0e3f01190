#!/usr/bin/env bash
# Builds and runs every test: once in a normal build, once under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build
ctest --test-dir build -j2 --output-on-failure
scripts/build.sh build-asan -DPLOVEX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j2 --output-on-failure
