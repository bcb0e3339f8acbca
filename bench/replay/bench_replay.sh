#!/usr/bin/env bash
# Times trelvant-cli replay over a generated one-hour log of 500 frames/s (1.8 million lines) on
# the example project, and its peak memory.
#
# Usage: bench_replay.sh CLI_PATH [--seconds N] [--rate N] [--runs N]
# Prints the wall-clock time of each run, the median, and the maximum resident set size of one
# run with /usr/bin/time. Target: under 2 s, memory independent of the log's length.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
[ $# -ge 1 ] || { sed -n '2,/^[^#]/p' "${BASH_SOURCE[0]}" | sed -e '$d' -e 's/^# \{0,1\}//'; exit 2; }
cli=$1; shift
seconds=3600; rate=500; runs=5
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --rate) rate=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) echo "bench_replay: unknown option $1" >&2; exit 2 ;;
  esac
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/gen_log.py" "$work/bus.log" --seconds "$seconds" --rate "$rate"
echo "log: $(wc -l < "$work/bus.log") lines, $(du -h "$work/bus.log" | cut -f1)"

times=()
for run in $(seq "$runs"); do
  start=$(date +%s%N)
  "$cli" replay "$root/examples/projects/Boiler2" "$work/bus.log" --csv "$work/timeline.csv" > "$work/out.txt"
  end=$(date +%s%N)
  times+=("$(( (end - start) / 1000000 ))")
  echo "run $run: ${times[-1]} ms"
done
printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { print "median: " t[int((NR + 1) / 2)] " ms" }'
/usr/bin/time -f "peak memory: %M KiB" "$cli" replay "$root/examples/projects/Boiler2" "$work/bus.log" > /dev/null
tail -n 9 "$work/out.txt"
