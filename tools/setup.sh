#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks, the fuzzers and the demo
# need. Non-interactive and idempotent: apt-get update runs only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  zlib1g-dev libpng-dev libstb-dev librapidxml-dev libnvtt-dev libbullet-dev
  glslang-tools glslang-dev
  libfreetype-dev fonts-dejavu-core
  libosmesa6-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
echo "setup: installing ${missing[*]}"
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
