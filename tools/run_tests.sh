#!/usr/bin/env bash
# The whole test suite from a fresh machine: installs the packages; one clang build with
# AddressSanitizer and UndefinedBehaviorSanitizer serves the tests, the benchmarks (built, not run)
# and the libFuzzer targets, whose libraries carry coverage instrumentation; every test runs, then
# every fuzz target for a bounded time; last, the ThreadSanitizer build (g++) of the tsan-labelled
# tests. Each phase prints its time.
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup.sh

jobs=$(nproc)
phase_start=$SECONDS
phase() {
  echo "phase: $1 took $((SECONDS - phase_start)) s"
  phase_start=$SECONDS
}

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DZEL_SANITIZE=ON -DZEL_BUILD_FUZZ=ON \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" >/dev/null
cmake --build build/test -j "$jobs"
phase "sanitizer build (tests, benchmarks, fuzz targets)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/test -j "$jobs" --output-on-failure --timeout 300 -LE tsan
phase "tests"

# Fuzzing: each target writes its seeds from the fixture writers (--write-seeds=DIR) and runs from
# them for its share of a fixed budget, several at once; as targets are added each one's time
# shrinks (to a floor), never the set of targets. Output goes to build/test/fuzz/<target>.log and
# is shown only on a finding.
targets=(build/test/fuzz/*Fuzz)
budget=${ZEL_FUZZ_BUDGET_SECONDS:-240}
fuzz_seconds=$(((budget * jobs) / ${#targets[@]}))
[ "$fuzz_seconds" -gt 15 ] && fuzz_seconds=15
[ "$fuzz_seconds" -lt 4 ] && fuzz_seconds=4
fuzz_seconds=${ZEL_FUZZ_SECONDS:-$fuzz_seconds}
export fuzz_seconds
run_fuzz() {
  local target=$1 name dir
  name=$(basename "$target")
  dir=build/test/fuzz
  rm -rf "$dir/seeds/$name" && mkdir -p "$dir/corpus/$name" "$dir/work/$name"
  # Each target runs in a scratch directory of its own, so whatever the engine writes beside
  # itself stays out of the checkout.
  (cd "$dir/work/$name" && "$OLDPWD/$target" --write-seeds="$OLDPWD/$dir/seeds/$name") \
    >"$dir/$name.log" 2>&1 || { tail -n 60 "$dir/$name.log"; return 1; }
  if ! (cd "$dir/work/$name" && "$OLDPWD/$target" -max_total_time="$fuzz_seconds" -timeout=10 \
      -rss_limit_mb=3072 "$OLDPWD/$dir/corpus/$name" "$OLDPWD/$dir/seeds/$name") \
      >>"$dir/$name.log" 2>&1; then
    echo "fuzz: $name found a fault"
    tail -n 60 "$dir/$name.log"
    return 1
  fi
  echo "fuzz: $name ran ${fuzz_seconds} s with no finding"
}
export -f run_fuzz
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_fuzz "$@"' _ {}
phase "fuzzing (${#targets[@]} targets, ${fuzz_seconds} s each)"

# ThreadSanitizer: only the tsan-labelled test programs are built and run.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEL_TSAN=ON -DZEL_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" >/dev/null
cmake --build build/tsan -j "$jobs" --target tests_tsan
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
ctest --test-dir build/tsan -j "$jobs" --output-on-failure --timeout 300 -L tsan
phase "ThreadSanitizer build and tests"
