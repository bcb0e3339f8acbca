#!/usr/bin/env bash
# Makes the portable bundle with cpack from the build tree and unpacks it into a fresh folder, for
# the bundle's tests to use as a technician does on site.
# Arguments: the build tree, the folder to unpack into (made anew).
set -euo pipefail
build=$1
site=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
package=$(mktemp -d)
trap 'rm -rf "$package"' EXIT

rm -rf "$site"
mkdir -p "$site"
cpack -G TGZ --config "$build/CPackConfig.cmake" -B "$package" >"$package/cpack.log" 2>&1 ||
  { cat "$package/cpack.log" >&2; fail "cpack"; }
archives=("$package"/*.tar.gz)
[ ${#archives[@]} -eq 1 ] || fail "one archive expected, found ${archives[*]}"
tar -xzf "${archives[0]}" -C "$site"
echo "Unpacked $(basename "${archives[0]}") into $site"
