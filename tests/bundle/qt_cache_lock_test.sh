#!/usr/bin/env bash
# Two runs of build-qt-windows on one machine: while one builds a cache folder, another waits for
# it, leaves its work folder alone and then takes the folder it completed.
set -euo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache

fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$("$script" --cache-folder)
case $prefix in "$work"/cache/trelvant/qt-*) ;; *) fail "cache folder $prefix is not below XDG_CACHE_HOME" ;; esac
mkdir -p "$prefix.work"
echo "the first run's build" >"$prefix.work/in-progress"

# The first run: holds the lock, builds for a while, completes the folder.
flock "$prefix.lock" sh -c "touch '$work/locked'; sleep 3; mkdir -p '$prefix'; touch '$prefix/.complete'" &
first=$!
for _ in $(seq 100); do [ -f "$work/locked" ] && break; sleep 0.1; done
[ -f "$work/locked" ] || fail "the first run never took the lock"

second=$(timeout 60 "$script" 2>"$work/said") || fail "the second run failed: $(cat "$work/said")"
wait "$first"
[ "$(printf '%s\n' "$second" | tail -n 1)" = "$prefix" ] || fail "the second run printed $second"
grep -q "waiting for it" "$work/said" || fail "the second run did not say it waits: $(cat "$work/said")"
grep -q "which the other run built" "$work/said" || fail "the second run did not take the first's folder"
[ -f "$prefix.work/in-progress" ] || fail "the second run removed the first run's work folder"
echo "1 passed, 0 failed"
