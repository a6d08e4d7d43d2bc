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

# Fuzzing: a clang build of only the libFuzzer targets; each writes its seeds from the fixture
# writers (--write-seeds=DIR) and runs briefly. Output goes to build/fuzz/<target>.log and is
# shown only on a finding.
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DZEL_BUILD_FUZZ=ON -DZEL_SANITIZE=ON -DZEL_BUILD_TESTS=OFF \
  -DZEL_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build build/fuzz -j "$jobs" --target fuzz_targets
fuzz_seconds=${ZEL_FUZZ_SECONDS:-15}
for target in build/fuzz/fuzz/*Fuzz; do
  name=$(basename "$target")
  rm -rf "build/fuzz/seeds/$name" && mkdir -p "build/fuzz/corpus/$name"
  "$target" --write-seeds="build/fuzz/seeds/$name"
  if ! "$target" -max_total_time="$fuzz_seconds" -timeout=10 \
      "build/fuzz/corpus/$name" "build/fuzz/seeds/$name" >"build/fuzz/$name.log" 2>&1; then
    tail -n 60 "build/fuzz/$name.log"
    exit 1
  fi
  echo "fuzz: $name ran ${fuzz_seconds} s with no finding"
done

# ThreadSanitizer: only the tsan-labelled test programs are built and run.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEL_TSAN=ON -DZEL_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build build/tsan -j "$jobs" --target tests_tsan
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
ctest --test-dir build/tsan -j "$jobs" --output-on-failure --timeout 300 -L tsan
