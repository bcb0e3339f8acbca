#!/usr/bin/env bash
# Uses the unpacked portable bundle from where it is, as a technician does on site: the
# command-line tool, the configurator's first start, Update Device in the configurator on the
# example project, a build of that project by the command-line tool, and the desktop entry.
# Arguments: the folder the bundle was unpacked into, the folder of the example project's
# expected outputs, the program that presses Update Device in the configurator's main window.
set -euo pipefail
site=$1
golden=$2
update_device=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

folders=("$site"/*)
[ ${#folders[@]} -eq 1 ] && [ -d "${folders[0]}" ] || fail "one top folder expected in $site"
folder=${folders[0]}

for file in trelvant trelvant-cli Kestrow.exe register-desktop-entry; do
  [ -x "$folder/$file" ] || fail "$file is not an executable of the bundle"
done
for file in README.txt trelvant.svg trelvant.desktop.in PROJECTS/Boiler2/pargen.xml PROJECTS/Boiler2/TInfoCob.xml; do
  [ -f "$folder/$file" ] || fail "$file is missing from the bundle"
done
# The example project comes as the build tree places it: with its bin folder, empty.
[ -d "$folder/PROJECTS/Boiler2/bin" ] || fail "PROJECTS/Boiler2 has no bin folder"
[ -z "$(ls -A "$folder/PROJECTS/Boiler2/bin")" ] || fail "PROJECTS/Boiler2/bin is not empty"
[ -z "$(find "$folder" -iname '*.sx' -o -iname 'MASTER' -o -iname '*.ini')" ] ||
  fail "the bundle holds firmware, a MASTER folder or a settings file: $(find "$folder" -iname '*.sx' -o -iname 'MASTER' -o -iname '*.ini')"

"$folder/trelvant-cli" --help | grep -q "^Usage: trelvant-cli" || fail "trelvant-cli --help"

# The configurator's program folder is the bundle's own: its first start makes MASTER there.
QT_QPA_PLATFORM=offscreen timeout 5 "$folder/trelvant" >"$work/gui.log" 2>&1 || [ $? -eq 124 ] ||
  { cat "$work/gui.log" >&2; fail "the configurator did not start"; }
[ -d "$folder/MASTER" ] || fail "the configurator made no MASTER folder beside itself"

# Update Device in the configurator on the example project as unpacked writes the known bytes
# into its bin folder.
QT_QPA_PLATFORM=offscreen "$update_device" "$folder" "$golden/bin" >"$work/update.log" 2>&1 ||
  { cat "$work/update.log" >&2; fail "Update Device on PROJECTS/Boiler2"; }

# The command-line tool builds the same project to the same bytes.
rm -f "$folder"/PROJECTS/Boiler2/bin/*
"$folder/trelvant-cli" build "$folder/PROJECTS/Boiler2" --build-time 2026-12-10T12:00:00 || fail "build"
for file in bank1.bin bank2.bin bank3.bin bank4.bin bank5.bin bankg.c; do
  cmp "$folder/PROJECTS/Boiler2/bin/$file" "$golden/bin/$file" || fail "bin/$file differs from the expected"
done

# The desktop entry names this folder's program and icon.
XDG_DATA_HOME="$work/data" "$folder/register-desktop-entry" >/dev/null
entry="$work/data/applications/trelvant.desktop"
grep -qxF "Exec=\"$folder/trelvant\"" "$entry" || fail "Exec of the desktop entry: $(grep Exec "$entry")"
grep -qxF "Icon=$folder/trelvant.svg" "$entry" || fail "Icon of the desktop entry"
echo "The bundle in $folder runs where it is unpacked"
