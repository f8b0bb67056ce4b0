#!/bin/sh
# The time from the start of a desktop run to its window on the screen, on an
# X server of its own (Xvfb), over several runs: each run and the median, in
# milliseconds, as the server reports the window mapped. Then the resident
# memory and the CPU time of a run left idle for two seconds.
# Usage: desktop_startup.sh QUILLON WINDOW_SHOWN [RUNS]
set -eu
quillon=$1
watcher=$2
runs=${3:-11}
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$dir/display" >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; rm -rf "$dir"' EXIT
for i in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.05; done
export DISPLAY=:$(cat "$dir/display") QUILLON_PLATFORM=desktop QUILLON_PARALLEL1="$dir/out"
times=$("$watcher" "Quillon Window" "$runs" "$quillon" </dev/null 2>/dev/null | tr '\n' ' ')
echo "desktop start to window visible (ms): $times"
echo "$times" | tr ' ' '\n' | grep . | sort -n | awk '{ a[NR] = $1 } END { print "median: " a[int((NR + 1) / 2)] " ms of " NR " runs" }'

"$quillon" </dev/null >/dev/null 2>&1 &
pid=$!
sleep 2
rss=$(awk '/VmRSS/ { print $2 }' /proc/$pid/status)
before=$(awk '{ print $14 + $15 }' /proc/$pid/stat)
sleep 2
after=$(awk '{ print $14 + $15 }' /proc/$pid/stat)
echo "desktop idle: resident ${rss} kB, CPU ticks in 2 s idle: $((after - before))"
kill $pid
wait $pid 2>/dev/null || true
