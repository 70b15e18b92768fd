#!/usr/bin/env bash
# Builds the static WebAssembly libraries the browser build links with, from Debian's own source
# packages (apt-get source) with emscripten: bzip2, zlib (for FFmpeg's and libpng's PNG), libopenmpt
# without its optional libraries, a reduced FFmpeg (the demuxers and decoders the player uses), and
# libjpeg-turbo (with its TurboJPEG interface) and libpng, the native picture decoders.
#
# Everything goes into a cache outside the checkout:
#   ${WEB_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tessaline/web}/<key>/{include,lib,lib/pkgconfig}
# where <key> names the emcc version and a hash of the flags. Each library's stamp holds its source
# version and a hash of its build step (and the stamps of the libraries it builds on): a library
# is built again only when that changes, so an interrupted build resumes with the library it was
# building, a new library builds alone, and a finished prefix returns at once.
#
# Usage: build-deps.sh [--print-prefix]
#   --print-prefix  prints the prefix for the current key and exits (builds nothing).
# Environment: WEB_DEPS_JOBS (parallel jobs, default nproc), WEB_DEPS_CFLAGS (default -O2, part of
#   the key), WEB_DEPS_CACHE (cache root), WEB_DEPS_KEEP_SCRATCH=1 (keeps the unpacked sources).
set -euo pipefail

self="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/$(basename "${BASH_SOURCE[0]}")"
jobs=${WEB_DEPS_JOBS:-$(nproc)}
cflags=${WEB_DEPS_CFLAGS:--O2}
cache_root=${WEB_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tessaline/web}

print_prefix=0
case "${1:-}" in
  "") ;;
  --print-prefix) print_prefix=1 ;;
  *) echo "usage: build-deps.sh [--print-prefix]" >&2; exit 2 ;;
esac

say() { echo "web-deps: $*"; }
die() { echo "web-deps: error: $*" >&2; exit 1; }

for tool in emcc em++ emconfigure emmake emar emranlib emnm apt-get apt-cache dpkg-source node; do
  command -v "$tool" >/dev/null 2>&1 || die "$tool not found; run scripts/install-deps.sh --web"
done

# Debian's emscripten runs on Debian's python3; one found first on PATH (a pyenv shim) costs
# every emcc call more start-up time, which configure scripts pay hundreds of times.
if [[ -z "${EMSDK_PYTHON:-}" && -x /usr/bin/python3 ]]; then export EMSDK_PYTHON=/usr/bin/python3; fi
# emscripten's JavaScript optimiser requires acorn, which Debian installs in /usr/share/nodejs;
# only Debian's own node looks there by itself.
if ! node -e 'require.resolve("acorn")' >/dev/null 2>&1; then
  export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
  node -e 'require.resolve("acorn")' >/dev/null 2>&1 || die "node cannot load acorn; install node-acorn"
fi

# The source version of the installed binary package built from it (the native build's library),
# else the highest version apt knows.
source_version() {
  local src=$1 bin=$2 info best="" v
  info=$(dpkg-query -W -f '${db:Status-Abbrev}|${source:Package}|${source:Version}' "$bin" 2>/dev/null || true)
  if [[ "$info" == "ii |$src|"* ]]; then
    echo "${info##*|}"
    return
  fi
  for v in $(apt-cache showsrc "$src" 2>/dev/null | awk '/^Version:/ { print $2 }'); do
    if [[ -z "$best" ]] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
  done
  [[ -n "$best" ]] || die "apt knows no source package $src; run scripts/install-deps.sh --web (it adds deb-src entries)"
  echo "$best"
}
# 7:5.1.9-0+deb12u1 -> 5.1.9-0+deb12u1 (no epoch) and 5.1.9 (upstream only: the unpacked directory).
no_epoch() { echo "${1#*:}"; }
upstream() { local v=${1#*:}; echo "${v%-*}"; }

v_bzip2=$(source_version bzip2 libbz2-1.0)
v_zlib=$(source_version zlib zlib1g)
v_openmpt=$(source_version libopenmpt libopenmpt0)
v_ffmpeg=$(source_version ffmpeg libavcodec59)
v_jpeg=$(source_version libjpeg-turbo libturbojpeg0)
v_png=$(source_version libpng1.6 libpng16-16)
# FFmpeg's configure switches and libopenmpt's configure options below are for these series.
[[ "$(upstream "$v_ffmpeg")" == 5.1.* ]] || die "FFmpeg $v_ffmpeg is not 5.1; this script configures FFmpeg 5.1"
[[ "$(upstream "$v_openmpt")" == 0.6.* ]] || die "libopenmpt $v_openmpt is not 0.6; this script configures 0.6"
emcc_version=$(emcc -dumpversion)
emcc_id=$(emcc --version)
emcc_id=${emcc_id%%$'\n'*}

# libopenmpt reports errors with C++ exceptions and catches them itself, so its code is built
# with exception catching (the program that links it must link with the same setting).
openmpt_flags="-sDISABLE_EXCEPTION_CATCHING=0"

hash=$(echo "$cflags|$openmpt_flags|$emcc_id" | sha256sum | cut -c1-10)
key="emcc-${emcc_version}_${hash}"
prefix="$cache_root/$key"

# What a library's stamp holds: its version, its build step and the stamps it builds on.
stamp_text() {
  local name=$1 version=$2 dep
  shift 2
  echo "$name $version $( { declare -f "build_$name"; declare -p ffmpeg_configure; } | sha256sum | cut -c1-16)"
  for dep in "$@"; do cat "$prefix/.stamp-$dep" 2>/dev/null || echo "$dep missing"; done
}

if [[ $print_prefix -eq 1 ]]; then
  echo "$prefix"
  exit 0
fi

say "prefix $prefix"
say "sources: bzip2 $v_bzip2, zlib $v_zlib, libopenmpt $v_openmpt, ffmpeg $v_ffmpeg, libjpeg-turbo $v_jpeg, libpng $v_png; emcc $emcc_version; CFLAGS $cflags; $jobs jobs"
mkdir -p "$prefix/include" "$prefix/lib/pkgconfig" "$prefix/log"
# pkg-config sees only this prefix: never the machine's own (native) libraries.
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
unset PKG_CONFIG_PATH

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tessaline-web-deps.XXXXXX")
# apt-get source downloads as the _apt user when it may write the directory.
chmod 755 "$scratch"
cleanup() {
  local rc=$?
  if [[ $rc -eq 0 && "${WEB_DEPS_KEEP_SCRATCH:-0}" != 1 ]]; then rm -rf "$scratch"
  else say "sources and build trees kept in $scratch"; fi
}
trap cleanup EXIT

log=
# Runs a build command with its output in the library's log; on failure shows the log's end.
run() {
  if ! "$@" >>"$log" 2>&1; then
    echo "web-deps: error: failed: $*" >&2
    echo "---- last lines of $log" >&2
    tail -n 40 "$log" >&2
    exit 1
  fi
}

# Fetches and unpacks (with Debian's patches) a source package; prints the source directory. When
# the installed library's exact source is not to be had (a security update the registry lists
# without its files, or no longer lists), the other Debian revisions of the same upstream
# release are tried, newest first.
fetch() {
  local src=$1 version=$2 v got=""
  local candidates=("$version")
  for v in $(apt-cache showsrc "$src" 2>/dev/null | awk '/^Version:/ { print $2 }' | sort -u -r -V); do
    [[ "$v" != "$version" && "$(upstream "$v")" == "$(upstream "$version")" ]] && candidates+=("$v")
  done
  for v in "${candidates[@]}"; do
    if (cd "$scratch" && apt-get source -q "$src=$v") >>"$log" 2>&1; then got=$v; break; fi
  done
  if [[ -z "$got" ]]; then
    tail -n 20 "$log" >&2
    die "apt-get source $src=$version failed (tried ${candidates[*]})"
  fi
  [[ "$got" == "$version" ]] || echo "web-deps: $src $version not to be had: built from $got" >>"$log"
  local dir="$scratch/$src-$(upstream "$version")"
  [[ -d "$dir" ]] || die "apt-get source $src=$version did not unpack into $dir"
  echo "$dir"
}

# Builds library $1 (source package $2, version $3; built on the libraries named after it) with
# function build_$1 unless its stamp says it is built as this script builds it.
library() {
  local name=$1 src=$2 version=$3 start=$SECONDS want
  shift 3
  want=$(stamp_text "$name" "$version" "$@")
  if [[ -f "$prefix/.stamp-$name" && "$(cat "$prefix/.stamp-$name")" == "$want" ]]; then
    say "$name $version: already built"
    return
  fi
  rm -f "$prefix/.stamp-$name" "$prefix/.stamp-all"
  log="$prefix/log/$name.log"
  : >"$log"
  say "$name $version: fetching and building (log: $log)"
  local dir
  dir=$(fetch "$src" "$version")
  "build_$name" "$dir"
  printf '%s\n' "$want" >"$prefix/.stamp-$name"
  say "$name $version: done in $((SECONDS - start)) s"
}

# A pkg-config file for a library installed by hand: name, description, version, -l flag.
write_pc() {
  cat >"$prefix/lib/pkgconfig/$1.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: $1
Description: $2
Version: $3
Libs: -L\${libdir} $4
Cflags: -I\${includedir}
EOF
}

build_bzip2() {
  cd "$1"
  run emmake make -j"$jobs" libbz2.a CC=emcc AR=emar RANLIB="$(command -v emranlib)" \
    CFLAGS="$cflags -D_FILE_OFFSET_BITS=64"
  install -m 644 bzlib.h "$prefix/include/"
  install -m 644 libbz2.a "$prefix/lib/"
  write_pc bzip2 "Lossless, block-sorting data compression library (WebAssembly, static)" "$(upstream "$v_bzip2")" -lbz2
}

build_zlib() {
  cd "$1"
  CFLAGS="$cflags" run emconfigure ./configure --static --prefix="$prefix"
  run emmake make -j"$jobs" libz.a
  run emmake make install
}

build_libopenmpt() {
  cd "$1"
  # config.sub of this release does not know the emscripten OS: wasm32-unknown-none it is.
  # Only the library: no player, examples, tests or documentation, none of the optional
  # decoders (zlib, mpg123, ogg/vorbis, FLAC, sndfile) nor audio outputs.
  CFLAGS="$cflags" CXXFLAGS="$cflags $openmpt_flags" LDFLAGS="$openmpt_flags" \
    run emconfigure ./configure --host=wasm32-unknown-none --prefix="$prefix" \
      --disable-shared --enable-static \
      --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc \
      --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile \
      --without-pulseaudio --without-portaudio --without-portaudiocpp --without-sdl2 \
      --without-sndfile --without-flac
  run emmake make -j"$jobs"
  run emmake make install
}

# What the player reads: AVI (video), MP3/Ogg Vorbis/WAV (audio), through the file protocol.
ffmpeg_demuxers=avi,mp3,ogg,wav
# The decoders are listed in one file, which the page also carries (decoders.txt) so that
# tessaline-web can tell a demo's maker which files the page cannot decode.
ffmpeg_decoders=$(grep -v '^#' "$(dirname "$self")/ffmpeg-decoders.txt" | paste -sd, -)
ffmpeg_parsers=mpeg4video,mjpeg,mpegaudio,vorbis,png
# No threads (they would need a SharedArrayBuffer build), no assembly: plain C for wasm32.
ffmpeg_configure=(
  --target-os=none --arch=x86_32 --enable-cross-compile
  --cc=emcc --cxx=em++ --ar=emar --ranlib=emranlib --nm=emnm
  --disable-asm --disable-inline-asm --disable-x86asm --disable-runtime-cpudetect
  --disable-autodetect --disable-iconv --disable-pthreads --disable-w32threads --disable-os2threads
  --disable-network --disable-programs --disable-doc --disable-debug --disable-stripping
  --enable-static --disable-shared
  --disable-everything --disable-avdevice --disable-avfilter --disable-postproc
  --enable-avformat --enable-avcodec --enable-swscale --enable-swresample
  --enable-zlib --enable-protocol=file
  --enable-demuxer="$ffmpeg_demuxers" --enable-decoder="$ffmpeg_decoders" --enable-parser="$ffmpeg_parsers"
)

build_ffmpeg() {
  cd "$1"
  # configure starts emcc for each of its probes: it alone takes several minutes.
  run ./configure --prefix="$prefix" "${ffmpeg_configure[@]}" \
    --extra-cflags="$cflags -I$prefix/include" --extra-ldflags="-L$prefix/lib" \
    --pkg-config-flags=--static
  run emmake make -j"$jobs"
  run emmake make install
}

build_jpeg() {
  cd "$1"
  # The plain C library and TurboJPEG, static; no SIMD code (none for wasm32). CMake's type-size
  # probe gives nonsense under this emscripten (9 for size_t): wasm32's sizes are given.
  mkdir -p build && cd build
  run emcmake cmake .. -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS="$cflags" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_INSTALL_LIBDIR=lib -DENABLE_SHARED=0 -DENABLE_STATIC=1 -DWITH_SIMD=0 -DWITH_TURBOJPEG=1 -DWITH_JAVA=0 \
    -DHAVE_SIZE_T=TRUE -DSIZE_T=4 -DHAVE_UNSIGNED_LONG=TRUE -DUNSIGNED_LONG=4
  run emmake make -j"$jobs" jpeg-static turbojpeg-static
  install -m 644 ../turbojpeg.h jconfig.h ../jpeglib.h ../jmorecfg.h ../jerror.h "$prefix/include/"
  install -m 644 libjpeg.a libturbojpeg.a "$prefix/lib/"
  write_pc libturbojpeg "TurboJPEG (WebAssembly, static)" "$(upstream "$v_jpeg")" -lturbojpeg
}

build_png() {
  cd "$1"
  CFLAGS="$cflags" CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib" \
    run emconfigure ./configure --host=wasm32-unknown-emscripten --prefix="$prefix" \
      --disable-shared --enable-static --disable-hardware-optimizations
  run emmake make -j"$jobs" libpng16.la
  run emmake make install-libLTLIBRARIES install-pkgincludeHEADERS install-nodist_pkgincludeHEADERS \
    install-pkgconfigDATA
  ln -sf libpng16.a "$prefix/lib/libpng.a"
  ln -sf libpng16.pc "$prefix/lib/pkgconfig/libpng.pc"
  ln -sf libpng16/png.h "$prefix/include/png.h"
  ln -sf libpng16/pngconf.h "$prefix/include/pngconf.h"
  ln -sf libpng16/pnglibconf.h "$prefix/include/pnglibconf.h"
}

total=$SECONDS
library bzip2 bzip2 "$v_bzip2"
library zlib zlib "$v_zlib"
library libopenmpt libopenmpt "$v_openmpt"
library ffmpeg ffmpeg "$v_ffmpeg" zlib
library jpeg libjpeg-turbo "$v_jpeg"
library png libpng1.6 "$v_png" zlib
all_stamps=$(cat "$prefix"/.stamp-{bzip2,zlib,libopenmpt,ffmpeg,jpeg,png})
if [[ -f "$prefix/.stamp-all" && "$(cat "$prefix/.stamp-all")" == "$all_stamps" ]]; then
  say "up to date: $prefix"
  exit 0
fi

# What a program linking these libraries needs to know: the upstream versions (as the libraries
# report them: no Debian repack suffix) and the link flags the libraries' objects require.
report_version() { upstream "$1" | sed -E 's/[.+~](dfsg|ds)[0-9]*$//'; }
cat >"$prefix/deps.env" <<EOF
WEB_DEPS_BZIP2=$(report_version "$v_bzip2")
WEB_DEPS_ZLIB=$(report_version "$v_zlib")
WEB_DEPS_LIBOPENMPT=$(report_version "$v_openmpt")
WEB_DEPS_FFMPEG=$(report_version "$v_ffmpeg")
WEB_DEPS_LIBJPEG_TURBO=$(report_version "$v_jpeg")
WEB_DEPS_LIBPNG=$(report_version "$v_png")
WEB_DEPS_LDFLAGS="$openmpt_flags"
EOF

log="$prefix/log/check.log"
: >"$log"
say "smoke check: linking the libraries into a test program and running it under node"
run bash "$(dirname "$self")/check-deps.sh" "$prefix"
sed 's/^/web-deps:   /' "$log"

printf '%s\n' "$all_stamps" >"$prefix/.stamp-all"
say "all built in $((SECONDS - total)) s: $prefix"
du -b "$prefix"/lib/*.a | awk '{ printf "web-deps:   %9d  %s\n", $1, $2 }'
