#!/usr/bin/env bash
# The whole test suite from a fresh machine: installs the packages, builds the sanitizer test
# build and runs every test; then the ThreadSanitizer build of the tsan-labelled tests.
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup.sh

jobs=$(nproc)
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEL_SANITIZE=ON \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build build/test -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/test -j "$jobs" --output-on-failure --timeout 300 -LE tsan

# ThreadSanitizer: only the tsan-labelled test programs are built and run.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEL_TSAN=ON -DZEL_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build build/tsan -j "$jobs" --target tests_tsan
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
ctest --test-dir build/tsan -j "$jobs" --output-on-failure --timeout 300 -L tsan
