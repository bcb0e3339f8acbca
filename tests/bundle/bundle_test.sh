#!/usr/bin/env bash
# Makes the portable bundle with cpack, unpacks it into a fresh folder and uses it from there, as
# a technician does on site: the command-line tool, a build of the example project, the
# configurator's first start and the desktop entry.
# Arguments: the build tree, the folder of the example project's expected outputs.
set -euo pipefail
build=$1
golden=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G TGZ --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
archives=("$work"/package/*.tar.gz)
[ ${#archives[@]} -eq 1 ] || fail "one archive expected, found ${archives[*]}"
mkdir "$work/site with blank"
tar -xzf "${archives[0]}" -C "$work/site with blank"
folders=("$work/site with blank"/*)
[ ${#folders[@]} -eq 1 ] && [ -d "${folders[0]}" ] || fail "one top folder expected"
folder=${folders[0]}

for file in trelvant trelvant-cli Kestrow.exe register-desktop-entry; do
  [ -x "$folder/$file" ] || fail "$file is not an executable of the bundle"
done
for file in README.txt trelvant.svg trelvant.desktop.in PROJECTS/Boiler2/pargen.xml PROJECTS/Boiler2/TInfoCob.xml; do
  [ -f "$folder/$file" ] || fail "$file is missing from the bundle"
done
[ -z "$(find "$folder" -iname '*.sx' -o -iname 'MASTER' -o -iname '*.ini')" ] ||
  fail "the bundle holds firmware, a MASTER folder or a settings file: $(find "$folder" -iname '*.sx' -o -iname 'MASTER' -o -iname '*.ini')"

"$folder/trelvant-cli" --help | grep -q "^Usage: trelvant-cli" || fail "trelvant-cli --help"

# The example project builds from the bundle's PROJECTS folder to the known bytes.
"$folder/trelvant-cli" build "$folder/PROJECTS/Boiler2" --build-time 2026-12-10T12:00:00 || fail "build"
for file in bank1.bin bank2.bin bank3.bin bank4.bin bank5.bin bankg.c; do
  cmp "$folder/PROJECTS/Boiler2/bin/$file" "$golden/bin/$file" || fail "bin/$file differs from the expected"
done

# The configurator's program folder is the bundle's own: its first start makes MASTER there.
QT_QPA_PLATFORM=offscreen timeout 5 "$folder/trelvant" >"$work/gui.log" 2>&1 || [ $? -eq 124 ] ||
  { cat "$work/gui.log" >&2; fail "the configurator did not start"; }
[ -d "$folder/MASTER" ] || fail "the configurator made no MASTER folder beside itself"

# The desktop entry names this folder's program and icon.
XDG_DATA_HOME="$work/data" "$folder/register-desktop-entry" >/dev/null
entry="$work/data/applications/trelvant.desktop"
grep -qxF "Exec=\"$folder/trelvant\"" "$entry" || fail "Exec of the desktop entry: $(grep Exec "$entry")"
grep -qxF "Icon=$folder/trelvant.svg" "$entry" || fail "Icon of the desktop entry"
echo "The bundle $(basename "${archives[0]}") runs where it is unpacked"
