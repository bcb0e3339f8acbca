#!/usr/bin/env bash
# The packages that the bundle's README.txt tells a user of Debian 12 to install, on its one
# `apt-get install` line, against what the bundled programs load: each library that a program's
# dynamic section names (NEEDED), and the configurator's Qt platform plugin for an X11 display,
# which Qt loads at run time, belongs to a package of this system (dpkg -S), and each such package
# must be on that line. Each package named there must be one the archive knows (apt-cache show).
# Arguments: the folder the bundle was unpacked into; --sanitized when this build links the
# sanitizers' run-time libraries, which a bundle for users does not need.
set -euo pipefail
site=$1
sanitized=${2:-}
fail() { echo "FAIL: $*" >&2; exit 1; }

folders=("$site"/*)
[ ${#folders[@]} -eq 1 ] && [ -d "${folders[0]}" ] || fail "one top folder expected in $site"
folder=${folders[0]}
readme="$folder/README.txt"

# What the programs load, each as <program>:<folder name>/<file>, e.g.
# trelvant:x86_64-linux-gnu/libc.so.6: the library as the loader finds it here, named by the
# folder it is in and its file.
loaded=()
gui_library=''
for program in trelvant trelvant-cli Kestrow.exe; do
  mapfile -t libraries < <(readelf -d "$folder/$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
  [ ${#libraries[@]} -gt 0 ] || fail "no NEEDED entry read from $program"
  resolved=$(ldd "$folder/$program")
  for library in "${libraries[@]}"; do
    if [ "$sanitized" = --sanitized ] && [[ $library == libasan.so* || $library == libubsan.so* ]]; then continue; fi
    path=$(awk -v library="$library" '$1 == library && $2 == "=>" { print $3; exit }' <<<"$resolved")
    [[ $path == /* ]] || fail "$program needs $library, which is not installed here"
    [[ $library == libQt6Gui.so* ]] && gui_library=$path
    loaded+=("$program:$(basename "$(dirname "$path")")/$library")
  done
done
[ -n "$gui_library" ] || fail "the configurator does not link Qt's GUI library"
loaded+=("trelvant:$(basename "$(dirname "$gui_library")")/qt6/plugins/platforms/libqxcb.so")

# The installed packages holding each, in one look-up: lines "<package>[:arch][, ...]: <path>".
mapfile -t owned < <(printf '*/%s\n' "${loaded[@]#*:}" | sort -u | xargs -d '\n' dpkg -S 2>/dev/null |
  grep -v '^diversion ' || true)
declare -A needed=()  # package: what needs it
for item in "${loaded[@]}"; do
  found=0
  for line in "${owned[@]}"; do
    [[ ${line#*: } == */"${item#*:}" ]] || continue
    for package in $(tr ',' ' ' <<<"${line%%: /*}"); do
      needed[${package%%:*}]+=" ${item}"
      found=1
    done
  done
  ((found)) || fail "no installed package holds ${item#*:}, which ${item%%:*} loads"
done

mapfile -t lines < <(grep -E '^[[:space:]]*(sudo[[:space:]]+)?apt-get[[:space:]]+install[[:space:]]' "$readme" || true)
[ ${#lines[@]} -eq 1 ] || fail "README.txt has ${#lines[@]} 'apt-get install' lines, one expected; it should be:
  sudo apt-get install $(printf '%s\n' "${!needed[@]}" | sort | tr '\n' ' ')"
read -ra words <<<"${lines[0]#*apt-get*install}"
declare -A named=()
for word in "${words[@]}"; do
  [[ $word == -* ]] || named[$word]=1
done
[ ${#named[@]} -gt 0 ] || fail "README.txt's apt-get install line names no package"
known=$(apt-cache show --no-all-versions "${!named[@]}" 2>/dev/null | sed -n 's/^Package: //p' || true)
for package in "${!named[@]}"; do
  grep -qxF "$package" <<<"$known" ||
    fail "README.txt names $package, which is no package this system's archive holds (are its package lists up to date?)"
done

missing=()
for package in $(printf '%s\n' "${!needed[@]}" | sort); do
  [ -n "${named[$package]:-}" ] || missing+=("$package (for${needed[$package]})")
done
[ ${#missing[@]} -eq 0 ] || fail "README.txt's apt-get install line lacks $(printf '\n  %s' "${missing[@]}")"
echo "README.txt names the $(printf '%s\n' "${!needed[@]}" | wc -l) packages the programs load:" \
  $(printf '%s\n' "${!needed[@]}" | sort)
