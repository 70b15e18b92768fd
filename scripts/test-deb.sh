#!/usr/bin/env bash
# Checks the Debian package `make deb` built, as a user meets it: lintian finds no error, apt-get
# installs it with its dependencies, the installed metainfo and desktop entry validate, every
# installed program says the build's version, the installed renderer plays the installed
# showcase without a report, and apt-get remove leaves nothing of it under /usr.
# Usage: test-deb.sh (from make test-deb; as root, or with sudo).
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "test-deb: $*" >&2; exit 1; }

if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null 2>&1 || fail "installs the package: run as root or with sudo"
  SUDO=sudo
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive

# The version the build gave the package.
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build/release/CPackConfig.cmake)
[[ -n "$version" ]] || fail "no CPACK_PACKAGE_VERSION in build/release/CPackConfig.cmake"
deb="$PWD/build/tessaline_${version}_$(dpkg --print-architecture).deb"
[[ -f "$deb" ]] || fail "no $deb (make deb builds it)"
[[ "$(dpkg-deb -f "$deb" Version)" == "$version" ]] || fail "the package's version is not $version"

echo "test-deb: lintian $(basename "$deb")"
lintian --fail-on error --info "$deb" || fail "lintian reports errors"

work=$(mktemp -d)
installed=0
cleanup() {
  if [[ $installed -eq 1 ]]; then $SUDO apt-get remove -y -q tessaline >/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "test-deb: apt-get install $(basename "$deb")"
$SUDO apt-get install -y -q "$deb"
installed=1
dpkg-query -L tessaline | sort >"$work/files"

# The installed entry and metainfo validate; the programs, the package and the metainfo agree on
# the version.
out=$(desktop-file-validate /usr/share/applications/tessaline.desktop 2>&1) || fail "desktop entry: $out"
[[ -z "$out" ]] || fail "desktop entry: $out"
metainfo=$(grep '^/usr/share/metainfo/.*\.metainfo\.xml$' "$work/files") || fail "no metainfo installed"
appstreamcli validate --no-net "$metainfo" || fail "$metainfo does not validate"
grep -q "<release version=\"$version\"" "$metainfo" || fail "$metainfo does not release $version"
for program in tessaline tessaline-render tessaline-web; do
  said=$(/usr/bin/$program --version)
  [[ "$said" == "$program $version"* ]] || fail "$program --version says '$said', not $version"
done

# The installed renderer plays the installed showcase from a folder of its own, without a report.
mkdir "$work/frames"
(cd "$work" && /usr/bin/tessaline-render --quiet --times 1000,60000 -o "$work/frames" \
  /usr/share/tessaline/demo/demo.lscx 2>"$work/stderr") || fail "tessaline-render: $(cat "$work/stderr")"
[[ ! -s "$work/stderr" ]] || fail "the installed showcase reports: $(cat "$work/stderr")"
[[ -s "$work/frames/000000.png" && -s "$work/frames/000001.png" ]] || fail "frames not written"

echo "test-deb: apt-get remove tessaline"
$SUDO apt-get remove -y -q tessaline
installed=0
status=$(dpkg-query -W -f='${db:Status-Abbrev}' tessaline 2>/dev/null || true)
[[ "$status" != i* ]] || fail "tessaline still installed ($status)"

# Every file of the package is gone; a directory may stay only while another package or others'
# files hold it. The desktop, MIME and icon caches the triggers rebuilt name none of ours.
left=()
while read -r path; do
  if [[ -L "$path" || -f "$path" ]]; then
    left+=("$path")
  elif [[ -d "$path" && -z "$(ls -A "$path")" ]] && ! dpkg-query -S "$path" >/dev/null 2>&1; then
    left+=("$path/")
  fi
done <"$work/files"
for dir in /usr/share/tessaline /usr/share/doc/tessaline; do
  [[ ! -e "$dir" ]] || left+=("$dir/")
done
for cache in /usr/share/applications/mimeinfo.cache /usr/share/mime/globs2 /usr/share/icons/hicolor/icon-theme.cache; do
  if [[ -f "$cache" ]] && grep -aq 'tessaline' "$cache"; then left+=("$cache (names tessaline)"); fi
done
if [[ ${#left[@]} -gt 0 ]]; then
  printf 'test-deb: left after removal: %s\n' "${left[@]}" >&2
  exit 1
fi
echo "test-deb: $(basename "$deb") installs, plays the showcase and removes cleanly"
