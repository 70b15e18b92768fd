#!/usr/bin/env bash
# Builds the web page's engine (tessaline.js, tessaline.wasm, index.html in
# build/web/apps/tessaline-page/), configuring build/web first when needed.
# Usage: build.sh [JOBS]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
source "$here/env.sh"
[[ -f "$root/build/web/build.ninja" ]] || bash "$here/configure.sh"
cmake --build "$root/build/web" --target tessaline-page -j "${1:-$(nproc)}"
