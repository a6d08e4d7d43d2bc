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

# Fuzzing: a clang build of only the libFuzzer targets; each runs briefly from the seeds the
# fixture writers make. Output goes to build/fuzz/*.log and is shown only on a finding.
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DZEL_BUILD_FUZZ=ON -DZEL_SANITIZE=ON -DZEL_BUILD_TESTS=OFF \
  -DZEL_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build build/fuzz -j "$jobs" --target fuzz_targets
rm -rf build/fuzz/seeds/images && mkdir -p build/fuzz/corpus/images
build/fuzz/fuzz/ImageDecodersFuzz --write-seeds=build/fuzz/seeds/images
if ! build/fuzz/fuzz/ImageDecodersFuzz -max_total_time=20 -timeout=10 \
    build/fuzz/corpus/images build/fuzz/seeds/images >build/fuzz/images.log 2>&1; then
  tail -n 60 build/fuzz/images.log
  exit 1
fi
echo "fuzz: ImageDecodersFuzz ran 20 s with no finding"

# ThreadSanitizer: only the tsan-labelled test programs are built and run.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEL_TSAN=ON -DZEL_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build build/tsan -j "$jobs" --target tests_tsan
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
ctest --test-dir build/tsan -j "$jobs" --output-on-failure --timeout 300 -L tsan
