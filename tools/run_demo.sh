#!/usr/bin/env bash
# The main job from a fresh machine: installs the packages, builds the library and the demo host,
# and runs the demo, which writes its frames as images under out/.
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target zel_demo
# The demo runs inside out/, so its log directory (EngineLog/) and its frames land there.
mkdir -p out
cd out
../build/release/tools/demo/zel_demo --out . "$@"
