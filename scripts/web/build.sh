#!/usr/bin/env bash
# Builds the web page's engine (tessaline.js, tessaline.wasm, index.html in
# build/web/apps/tessaline-page/) and the SIMD loops' checks (build/web/tests/wasm/), configuring build/web first when needed.
# Usage: build.sh [JOBS]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
source "$here/env.sh"
# Configured anew when the libraries' prefix is not the one build/web was configured with.
prefix=$(bash "$here/build-deps.sh" --print-prefix)
if ! grep -qxF "TL_WEB_DEPS_PREFIX:UNINITIALIZED=$prefix" "$root/build/web/CMakeCache.txt" 2>/dev/null &&
   ! grep -qxF "TL_WEB_DEPS_PREFIX:PATH=$prefix" "$root/build/web/CMakeCache.txt" 2>/dev/null; then
  rm -rf "$root/build/web"
  bash "$here/configure.sh"
fi
cmake --build "$root/build/web" --target tessaline-page kernel-tests -j "${1:-$(nproc)}"
