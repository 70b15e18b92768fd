#!/usr/bin/env bash
# Configures the browser build (emscripten) in build/web over the WebAssembly libraries that
# scripts/web/build-deps.sh made: pkg-config sees only their prefix.
# Usage: configure.sh [CMAKE ARGS...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
prefix=$(bash "$here/build-deps.sh" --print-prefix)
[[ -f "$prefix/.stamp-all" ]] || { echo "web: the WebAssembly libraries are not built: make web-deps" >&2; exit 1; }
# Debian's emscripten on Debian's python3 and with Debian's acorn (see build-deps.sh).
if [[ -z "${EMSDK_PYTHON:-}" && -x /usr/bin/python3 ]]; then export EMSDK_PYTHON=/usr/bin/python3; fi
if ! node -e 'require.resolve("acorn")' >/dev/null 2>&1; then
  export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
fi
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
unset PKG_CONFIG_PATH
emcmake cmake -S "$root" -B "$root/build/web" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
