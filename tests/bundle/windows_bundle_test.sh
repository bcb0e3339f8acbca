#!/usr/bin/env bash
# The Windows zip as a technician uses it, under Wine: unpacked into a folder whose name holds a
# blank, trelvant-cli.exe builds the example project into its bin folder, and trelvant.exe starts
# there and runs for a few seconds on the offscreen platform without failing.
# Arguments: the build tree, the Wine loader, the expected outputs of the example project.
set -euo pipefail
build=$1
wine=$2
golden=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
archives=("$work/package"/*.zip)
[ ${#archives[@]} -eq 1 ] || fail "one zip expected, found ${archives[*]}"
site="$work/site with blank"
mkdir -p "$site"
(cd "$site" && cmake -E tar xf "${archives[0]}")
folder=$(find "$site" -mindepth 1 -maxdepth 1 -type d | head -n 1)

for file in trelvant.exe trelvant-cli.exe Kestrow.exe README.txt PROJECTS/Boiler2/pargen.xml; do
  [ -f "$folder/$file" ] || fail "the zip lacks $file"
done
[ -d "$folder/PROJECTS/Boiler2/bin" ] || fail "PROJECTS/Boiler2 has no bin folder"
if find "$folder" -iname "*.sx" | grep -q .; then fail "the zip holds firmware"; fi

# Inside the unpacked folder, as Windows paths.
(cd "$folder" && "$wine" trelvant-cli.exe build 'PROJECTS\Boiler2' --build-time 2026-12-10T12:00:00) ||
  fail "trelvant-cli.exe build"
for file in bank1.bin bank2.bin bank3.bin bank4.bin bank5.bin; do
  cmp "$folder/PROJECTS/Boiler2/bin/$file" "$golden/bin/$file" || fail "bin/$file differs from the expected"
done

# The configurator: still running after a few seconds, and it made its MASTER folder.
export WINEQT_QPA_PLATFORM=offscreen
(cd "$folder" && exec "$wine" trelvant.exe) &
program=$!
sleep 8
kill -0 "$program" 2>/dev/null || { wait "$program" || true; fail "trelvant.exe ended by itself"; }
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
[ -d "$folder/MASTER" ] || fail "trelvant.exe made no MASTER folder"
echo "The Windows zip $(basename "${archives[0]}") runs where it is unpacked"
