#!/usr/bin/env bash
# Configures the browser build (emscripten) in build/web over the WebAssembly libraries that
# scripts/web/build-deps.sh made: pkg-config sees only their prefix.
# Usage: configure.sh [CMAKE ARGS...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
prefix=$(bash "$here/build-deps.sh" --print-prefix)
[[ -f "$prefix/.stamp-all" ]] || { echo "web: the WebAssembly libraries are not built: make web-deps" >&2; exit 1; }
source "$here/env.sh"
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
unset PKG_CONFIG_PATH
emcmake cmake -S "$root" -B "$root/build/web" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTL_WEB_DEPS_PREFIX="$prefix" "$@"
