#!/usr/bin/env bash
# Times trelvant-cli import on the hostile workbooks of tests/data/workbooks and on the 260-record
# workbook, one run each, and holds each to its target: no hostile workbook takes more than a
# second or 64 MiB (peak resident memory of the tool or of its .xls child), none is imported but
# hostile_repeat_empty.ods, and hostile_deep_spans.ods is read. Needs GNU time (/usr/bin/time).
#   bench/hostile_workbooks.sh [TRELVANT-CLI]    (default: build/release/bin/trelvant-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
tool=${1:-build/release/bin/trelvant-cli}
data=tests/data/workbooks
max_seconds=1.0
max_kib=$((64 * 1024))

project=$(mktemp -d)
trap 'rm -rf "$project"' EXIT
frames='<COBID><row PGN="1" ID_DEV="1" Delete="N" Mnemonic=""/><row PGN="2" ID_DEV="2" Delete="N" Mnemonic=""/></COBID>'

failed=0
seen=""
printf '%-40s %7s %9s %6s  %s\n' workbook seconds "peak MiB" status verdict
for workbook in "$data"/hostile_*.* "$data"/hostile_*.xls "$data"/many_frames.*; do
  [ -f "$workbook" ] || continue
  name=$(basename "$workbook")
  case " $seen " in *" $name "*) continue ;; esac
  seen="$seen $name"
  printf '%s' "$frames" >"$project/RCobDef.xml"
  rm -f "$project/RInfoCob.xml"
  into=receive-map
  case "$name" in many_frames.*) into=receive-frames ;; esac
  set +e
  /usr/bin/time -f '%e %M' -o "$project/time" "$tool" import "$project" "$workbook" --into "$into" >/dev/null 2>"$project/err"
  status=$?
  set -e
  # A worksheet of the other name: the frame list's.
  if [ $status -eq 1 ] && grep -q "no worksheet named RInfoCob" "$project/err"; then
    set +e
    /usr/bin/time -f '%e %M' -o "$project/time" "$tool" import "$project" "$workbook" --into receive-frames >/dev/null 2>"$project/err"
    status=$?
    set -e
  fi
  read -r seconds kib < <(tail -n 1 "$project/time")
  expected=1
  case "$name" in hostile_repeat_empty.ods | many_frames.*) expected=0 ;; esac
  # hostile_deep_spans.ods is read; its second record has no frame number, which ends the import.
  if [ "$name" = hostile_deep_spans.ods ] && ! grep -q "record 2: '' is not a valid integer value" "$project/err"; then
    expected=0
  fi
  verdict=ok
  if [ $status -ne $expected ]; then verdict="status $status, expected $expected: $(head -c 200 "$project/err")"; fi
  if awk -v s="$seconds" -v m="$max_seconds" 'BEGIN { exit !(s > m) }'; then verdict="slower than $max_seconds s"; fi
  if [ "$kib" -gt $max_kib ]; then verdict="more than $((max_kib / 1024)) MiB"; fi
  [ "$verdict" = ok ] || failed=1
  printf '%-40s %7s %9s %6s  %s\n' "$name" "$seconds" "$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')" "$status" "$verdict"
done
exit $failed
