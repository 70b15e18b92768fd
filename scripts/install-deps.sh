#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with.
# Idempotent: checks each package with dpkg and only calls apt-get for missing ones.
# Usage: install-deps.sh [--bench | --web | --deb]
#   --bench adds the benchmark-only comparison libraries;
#   --deb adds what builds and checks the Debian package (make deb, make test-deb);
#   --web adds the WebAssembly toolchain and enables deb-src entries so that
#         scripts/web/build-deps.sh can fetch Debian's library sources with apt-get source.
set -euo pipefail

mode="${1:-}"

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
if [[ "$mode" == "--bench" ]]; then
  # Mesa's EGL and OpenGL ES with llvmpipe: the software rasteriser the 3D benchmarks compare with.
  packages+=(libpixman-1-dev libopencv-dev libyuv-dev libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri)
elif [[ "$mode" == "--web" ]]; then
  # emscripten 3.1.6 on Debian's LLVM 14; node-acorn for its JavaScript optimiser (a node that is
  # not Debian's does not look in /usr/share/nodejs: build-deps.sh sets NODE_PATH for it);
  # dpkg-dev for apt-get source; chromium for the headless browser tests.
  packages+=(emscripten node-acorn dpkg-dev chromium)
elif [[ "$mode" == "--deb" ]]; then
  # dpkg-dev's dpkg-shlibdeps (and file) for the package's dependencies; lintian and appstreamcli
  # check the package and its metainfo (desktop-file-validate is in the base list).
  packages+=(dpkg-dev file lintian appstream)
elif [[ -n "$mode" ]]; then
  echo "usage: install-deps.sh [--bench | --web | --deb]" >&2
  exit 2
fi

if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null 2>&1; then SUDO=sudo; else SUDO=; fi
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive

# Source packages the web build fetches with apt-get source.
web_sources=(bzip2 zlib libopenmpt ffmpeg)
ours=/etc/apt/sources.list.d/tessaline-deb-src.sources

# The machine's own enabled binary entries (deb822 .sources files and one-line sources.list files),
# rewritten as deb822 stanzas of type deb-src.
deb_src_entries() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [[ -f "$f" && "$f" != "$ours" ]] || continue
    # Stanzas are separated by blank lines; a stanza already listing deb-src or disabled is skipped.
    awk '
      function flush() {
        if (n && isdeb && !hassrc && enabled) { if (out++) print ""; for (i = 1; i <= n; i++) print lines[i] }
        n = 0; isdeb = 0; hassrc = 0; enabled = 1
      }
      BEGIN { enabled = 1 }
      /^[ \t]*$/ { flush(); next }
      /^#/ { next }
      /^Types:/ {
        for (i = 2; i <= NF; i++) { if ($i == "deb") isdeb = 1; if ($i == "deb-src") hassrc = 1 }
        lines[++n] = "Types: deb-src"; next
      }
      /^Enabled:[ \t]*(no|false|0)[ \t]*$/ { enabled = 0 }
      { lines[++n] = $0 }
      END { flush() }
    ' "$f"
    echo
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [[ -f "$f" ]] || continue
    # "deb [options] uri suite components..." becomes a stanza with the same fields.
    awk '
      $1 != "deb" { next }
      {
        opts = ""; i = 2
        if ($2 ~ /^\[/) {
          while (i <= NF) { opts = opts " " $i; if ($i ~ /\]$/) { i++; break }; i++ }
          gsub(/^ *\[ *| *\] *$/, "", opts)
        }
        print "Types: deb-src"; print "URIs: " $i; print "Suites: " $(i + 1)
        comps = ""; for (j = i + 2; j <= NF; j++) comps = comps (comps ? " " : "") $j
        if (comps != "") print "Components: " comps
        m = split(opts, o, " ")
        for (j = 1; j <= m; j++) if (o[j] ~ /^signed-by=/) { sub(/^signed-by=/, "", o[j]); print "Signed-By: " o[j] }
        print ""
      }
    ' "$f"
  done
}

have_sources() {
  local s records
  for s in "${web_sources[@]}"; do
    # Captured first: grep -q closing the pipe early would fail the pipeline under pipefail.
    records=$(apt-cache showsrc "$s" 2>/dev/null || true)
    grep -q "^Package: $s\$" <<<"$records" || return 1
  done
}

enable_deb_src() {
  if have_sources; then return 0; fi
  local entries
  entries=$(deb_src_entries | cat -s)
  if [[ -z "${entries//[[:space:]]/}" ]]; then
    echo "install-deps: no deb entries in /etc/apt to derive deb-src entries from" >&2
    exit 1
  fi
  echo "install-deps: adding deb-src entries in $ours"
  printf '# Written by scripts/install-deps.sh --web: the deb entries of this machine as deb-src.\n%s\n' \
    "$entries" | $SUDO tee "$ours" >/dev/null
  $SUDO apt-get update -q
  if ! have_sources; then
    echo "install-deps: apt-cache showsrc still finds none of ${web_sources[*]} after adding $ours" >&2
    exit 1
  fi
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg -s "$p" >/dev/null 2>&1; then missing+=("$p"); fi
done
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "install-deps: installing ${missing[*]}"
  if [[ $(id -u) -ne 0 && -z "$SUDO" ]]; then
    echo "install-deps: run as root: apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [[ "$mode" == "--web" ]]; then
  if [[ $(id -u) -ne 0 && -z "$SUDO" ]] && ! have_sources; then
    echo "install-deps: run as root to add deb-src entries for apt-get source" >&2
    exit 1
  fi
  enable_deb_src
fi
