#!/usr/bin/env bash
# register-desktop-entry run from program folders whose names hold the characters the desktop
# entry format quotes or escapes: each entry it adds passes desktop-file-validate, and its Exec,
# read back as the format says, names the folder's program; Path and Icon name the folder and its
# icon. A folder whose path no entry can hold is refused: exit status 1, a reason on stderr, no
# "Added" and no entry.
# Arguments: the packaging folder (register-desktop-entry, trelvant.desktop.in).
set -euo pipefail
packaging=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v desktop-file-validate >/dev/null || fail "desktop-file-validate is missing (Debian package desktop-file-utils)"

# A string value with its escapes undone: \s \n \t \r \\.
unescape_string() {
  local raw=$1 out='' c i
  for ((i = 0; i < ${#raw}; i++)); do
    c=${raw:i:1}
    if [[ $c == '\' ]]; then
      ((++i))
      case ${raw:i:1} in
        s) c=' ' ;;
        n) c=$'\n' ;;
        t) c=$'\t' ;;
        r) c=$'\r' ;;
        '\') c='\' ;;
        *) fail "invalid escape in the string: $raw" ;;
      esac
    fi
    out+=$c
  done
  printf '%s' "$out"
}

# The arguments of an Exec value whose string escapes are undone, each ended by a NUL: blanks part
# them; a quoted argument runs to the next unescaped ", and a backslash in it takes the next
# character (", `, $ or \) as it is; %% is a %, and no other field code is expected here.
exec_arguments() {
  local value=$1 arg='' started=0 quoted=0 c i
  for ((i = 0; i < ${#value}; i++)); do
    c=${value:i:1}
    if [[ $c == '%' ]]; then
      ((++i))
      [[ ${value:i:1} == '%' ]] || fail "a field code in Exec: $value"
      arg+='%' started=1
    elif ((quoted)); then
      case $c in
        '"') quoted=0 ;;
        '\')
          ((++i))
          [[ ${value:i:1} == [\"\`\$\\] ]] || fail "an escape that is not allowed in a quoted argument: $value"
          arg+=${value:i:1}
          ;;
        *) arg+=$c ;;
      esac
    else
      case $c in
        ' ') ((started)) && printf '%s\0' "$arg"; arg='' started=0 ;;
        '"') quoted=1 started=1 ;;
        *) arg+=$c started=1 ;;
      esac
    fi
  done
  ((quoted == 0)) || fail "a quote is not closed in Exec: $value"
  ((started == 0)) || printf '%s\0' "$arg"
}

key() { sed -n "s/^$1=//p" "$2"; }

# Folder names that the entry must carry as they are, and names no entry can hold.
valid=(
  'tools & more'
  'two  blanks'
  'cost $HOME'
  'back`tick`'
  'back\slash'
  'say "hi"'
  '100% sure'
  'Übersicht'
  'all: & $ ` \ " % é %% \$ @FOLDER@ end\'
)
refused=(
  $'not UTF-8 \xff'
  $'line\nbreak'
)

row=0
for name in "${valid[@]}" "${refused[@]}"; do
  row=$((row + 1))
  folder="$work/$row/$name"
  mkdir -p "$folder"
  cp "$packaging/register-desktop-entry" "$packaging/trelvant.desktop.in" "$folder/"
  data="$work/data$row"
  entry="$data/applications/trelvant.desktop"
  status=0
  XDG_DATA_HOME=$data "$folder/register-desktop-entry" >"$work/out" 2>"$work/err" || status=$?
  shown="folder name $(printf '%q' "$name")"

  if ((row > ${#valid[@]})); then
    [ $status -eq 1 ] || fail "$shown: exit status $status, 1 expected"
    [ -s "$work/err" ] || fail "$shown: no reason on stderr"
    ! grep -q Added "$work/out" || fail "$shown: says $(cat "$work/out")"
    [ -z "$(ls -A "$data/applications" 2>/dev/null)" ] || fail "$shown: left $(ls -A "$data/applications")"
    continue
  fi

  [ $status -eq 0 ] || fail "$shown: exit status $status: $(cat "$work/err")"
  [ "$(cat "$work/out")" = "Added: $entry" ] || fail "$shown: says $(cat "$work/out")"
  report=$(desktop-file-validate "$entry" 2>&1) || fail "$shown: the entry is not valid: $report"$'\n'"$(cat "$entry")"
  mapfile -d '' arguments < <(exec_arguments "$(unescape_string "$(key Exec "$entry")")")
  [ ${#arguments[@]} -eq 1 ] && [ "${arguments[0]}" = "$folder/trelvant" ] ||
    fail "$shown: Exec=$(key Exec "$entry") names $(printf '[%s] ' "${arguments[@]}")"
  [ "$(unescape_string "$(key Path "$entry")")" = "$folder" ] || fail "$shown: Path=$(key Path "$entry")"
  [ "$(unescape_string "$(key Icon "$entry")")" = "$folder/trelvant.svg" ] || fail "$shown: Icon=$(key Icon "$entry")"
done
echo "${#valid[@]} entries valid and naming their folder, ${#refused[@]} folders refused"
