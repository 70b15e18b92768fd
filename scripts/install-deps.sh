#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with.
# Idempotent: checks each package with dpkg and only calls apt-get for missing ones.
# Usage: install-deps.sh [--bench]   (--bench adds the benchmark-only comparison libraries)
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config make
  libbz2-dev
  libsdl2-dev
  libopenmpt-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libturbojpeg0-dev libpng-dev
  libstb-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth
  scdoc desktop-file-utils shared-mime-info
  clang-14 libclang-rt-14-dev
)
if [[ "${1:-}" == "--bench" ]]; then
  # Mesa's EGL and OpenGL ES with llvmpipe: the software rasteriser the 3D benchmarks compare with.
  packages+=(libpixman-1-dev libopencv-dev libyuv-dev libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg -s "$p" >/dev/null 2>&1; then missing+=("$p"); fi
done
if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null 2>&1; then SUDO=sudo; else
    echo "install-deps: run as root: apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
