# Sourced by the web build's scripts: Debian's emscripten on Debian's python3 and with Debian's
# acorn (see build-deps.sh), for configuring and for every build step.
if [[ -z "${EMSDK_PYTHON:-}" && -x /usr/bin/python3 ]]; then export EMSDK_PYTHON=/usr/bin/python3; fi
if ! node -e 'require.resolve("acorn")' >/dev/null 2>&1; then
  export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
fi
