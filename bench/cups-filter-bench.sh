#!/usr/bin/env bash
# cups-filter-bench.sh BUILD: times texttoquillon on a 20 MB text file against
# CUPS's own texttotext with its Generic Text-Only PPD, in the same run, both
# run as CUPS runs a filter (job arguments, PPD and content type in the
# environment, output to /dev/null). Prints the best of five runs of each: wall
# time, CPU time and peak memory, and the ratio.
set -euo pipefail
build=$1
filter=$build/cups/texttoquillon
ppd=$build/cups/ppd/quildm.ppd
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

/usr/lib/cups/daemon/cups-driverd cat drv:///cupsfilters.drv/textonly.ppd >"$scratch/textonly.ppd" 2>/dev/null
# 20 MB of text: lines of 1 to 120 characters, some with tabs, and form feeds.
awk 'BEGIN { srand(7); line = ""; for (i = 0; i < 200; i++) line = line "abcdefghij"
	total = 0
	while (total < 20000000) {
		n = 1 + int(rand() * 120); s = substr(line, 1, n)
		if (n % 7 == 0) s = "\t" s
		if (n == 60) s = s "\f"
		print s; total += length(s) + 1 } }' >"$scratch/big.txt"
size=$(stat -c %s "$scratch/big.txt")

# run NAME PPD PROGRAM: the best wall time of five runs, with its CPU time
# and the largest resident size any run reached.
run() {
	local name=$1 ppdfile=$2 program=$3 input=${4:-$scratch/big.txt} best= cpu= rss=0
	for _ in 1 2 3 4 5; do
		PPD=$ppdfile CONTENT_TYPE=text/plain CHARSET=utf-8 FINAL_CONTENT_TYPE=text/plain \
			/usr/bin/time -f '%e %U %S %M' -o "$scratch/time" \
			"$program" 1 bench big.txt 1 "" "$input" >/dev/null 2>"$scratch/err.$name"
		read -r wall user sys kb <"$scratch/time"
		if [ -z "$best" ] || awk "BEGIN { exit !($wall < $best) }"; then
			best=$wall cpu=$(awk "BEGIN { print $user + $sys }")
		fi
		[ "$kb" -gt "$rss" ] && rss=$kb
	done
	printf '%-14s %8.2f s  %8.2f s CPU  %7.1f MB peak  %6.0f MB/s\n' "$name" "$best" "$cpu" \
		"$(awk "BEGIN { print $rss / 1024 }")" "$(awk "BEGIN { print $(stat -c %s "$input") / 1e6 / ($best > 0 ? $best : 0.001) }")"
	eval "time_${name//-/_}=$best cpu_${name//-/_}=$cpu"
}

echo "CUPS filters on a $size-byte text file (best of 5):"
run texttoquillon "$ppd" "$filter"
run texttotext "$scratch/textonly.ppd" /usr/lib/cups/filter/texttotext
# Memory stays flat: the same peak for a file a twentieth the size.
head -c 1000000 "$scratch/big.txt" >"$scratch/small.txt"
run 1MB-quillon "$ppd" "$filter" "$scratch/small.txt"
awk "BEGIN { printf \"texttoquillon is %.1fx as fast as texttotext (goal: at least 2x), %.1fx in CPU time\\n\", \
	$time_texttotext / ($time_texttoquillon > 0 ? $time_texttoquillon : 0.001), \
	$cpu_texttotext / ($cpu_texttoquillon > 0 ? $cpu_texttoquillon : 0.001) }"
