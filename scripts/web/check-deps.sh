#!/usr/bin/env bash
# Smoke check of a build-deps.sh prefix: compiles check-deps.c with emcc against the prefix's
# headers and static libraries (flags from its pkg-config files) and runs it under node.
# Usage: check-deps.sh [PREFIX]   (default: the prefix build-deps.sh builds for this machine)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
prefix=${1:-$(bash "$here/build-deps.sh" --print-prefix)}
env_file="$prefix/deps.env"
[[ -f "$env_file" ]] || { echo "check-deps: $env_file missing; run scripts/web/build-deps.sh" >&2; exit 1; }
# shellcheck source=/dev/null
source "$env_file"

# Debian's emscripten runs on Debian's python3; one found first on PATH (a pyenv shim) costs
# every emcc call more start-up time, which configure scripts pay hundreds of times.
if [[ -z "${EMSDK_PYTHON:-}" && -x /usr/bin/python3 ]]; then export EMSDK_PYTHON=/usr/bin/python3; fi

if ! node -e 'require.resolve("acorn")' >/dev/null 2>&1; then
  export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
fi
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
unset PKG_CONFIG_PATH
modules=(libavformat libavcodec libswscale libswresample libavutil libopenmpt libturbojpeg libpng bzip2 zlib)
read -r -a cflags <<<"$(pkg-config --cflags "${modules[@]}")"
read -r -a libs <<<"$(pkg-config --static --libs "${modules[@]}")"
read -r -a link_flags <<<"$WEB_DEPS_LDFLAGS"

out=$(mktemp -d "${TMPDIR:-/tmp}/tessaline-check-deps.XXXXXX")
trap 'rm -rf "$out"' EXIT
emcc -O1 -Wall -Werror "${cflags[@]}" -c "$here/check-deps.c" -o "$out/check-deps.o"
# Linked by em++ for libopenmpt's C++ runtime. Synchronous compilation: node's fetch cannot load
# the .wasm file from a path, which asynchronous instantiation would try.
em++ -O1 "$out/check-deps.o" "${libs[@]}" "${link_flags[@]}" -sENVIRONMENT=node -sWASM_ASYNC_COMPILATION=0 \
  -sALLOW_MEMORY_GROWTH=1 -o "$out/check-deps.js"
node "$out/check-deps.js" "$WEB_DEPS_BZIP2" "$WEB_DEPS_ZLIB" "$WEB_DEPS_LIBOPENMPT" "$WEB_DEPS_FFMPEG" \
  "$WEB_DEPS_LIBJPEG_TURBO" "$WEB_DEPS_LIBPNG"
