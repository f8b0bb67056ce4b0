#!/usr/bin/env bash
# cups-driver-test.sh QUILLON FILTER PPD_DIR: prints through texttoquillon on
# a scheduler of its own and compares every job's bytes with what Quillon
# itself writes to Printer File for the same model and menu items.
set -euo pipefail
quillon=$1 filter=$2 ppds=$3
if [ "$(id -u)" != 0 ]; then
	echo "a private cupsd that runs filters as lp needs root; skipped"
	exit 77
fi

source "$(dirname "$0")/private-cupsd.sh"
start_private_cupsd "$filter"

# The PPD of each model.
declare -A ppd_of=(
	["All Raw Data"]=quilraw ["Pure ASCII"]=quilasc ["Generic ASCII"]=quilgen
	["HP Deskjet Series"]=quildj ["Epson Stylus"]=quilstyl ["Epson Dot Matrix"]=quildm
	["IBM Proprinter"]=quilpro)

# The job text: tabs, long lines, blank lines, form feeds and enough lines for
# several pages; the UTF-8 file has characters each set has and some it lacks.
text=$scratch/in/notes.txt
{
	printf 'Quarterly notes\n\n\tindented\tby tabs\n'
	awk 'BEGIN { for (i = 1; i <= 150; i++) { s = ""; for (j = 0; j < i % 97; j++) s = s "x"; print "line " i " " s } }'
	printf 'after a form feed\f\nlast line without end'
} >"$text"
utf8=$scratch/in/grüße.txt
printf 'Grüße, café, naïve: 5 € — “quoted” … 漢字 ✓\n' >"$utf8"
# Larger than the engine's file buffer, so that it is printed in pieces.
large=$scratch/in/large.txt
awk 'BEGIN { for (i = 0; i < 20000; i++) printf "%d\tcafé déjà vu, 5 € %*s|\n", i, i % 90, "" }' >"$large"
chmod 644 "$text" "$utf8" "$large"

failures=0
cases=0
names=() models=() menu_items=() charsets=() files=() copies=() jobs=()
# check NAME MODEL MENUS CHARSET LP-ARGS...: prints the file ($input, else
# the text, or the UTF-8 file when a character set is chosen) through lp on
# a queue of its own, whose file device then holds the job's bytes; finish
# compares them with Quillon's for the same model and menu items (one per
# line). The jobs run side by side.
check() {
	local name=$1 model=$2 menus=$3 charset=$4
	shift 4
	local file=${input:-$text}
	[ -n "$charset" ] && [ -z "${input:-}" ] && file=$utf8
	local queue=case$cases
	lpadmin -p "$queue" -E -v "file://$scratch/out/$queue" -P "$ppds/${ppd_of[$model]}.ppd" 2>/dev/null
	names+=("$name") models+=("$model") menu_items+=("$menus") charsets+=("$charset")
	files+=("$file") copies+=("${copy_count:-1}")
	jobs+=("$(lp -d "$queue" "$@" "$file" | sed -n 's/^request id is [^ ]*-\([0-9]*\) .*/\1/p')")
	cases=$((cases + 1))
}
# quillon_bytes CASE OUT: Quillon's own Printer File for the case's model,
# menu items and character set, the file dropped once per copy.
quillon_bytes() {
	local i=$1 out=$2 script item
	script=$( (
		printf 'menu "%s"\nmenu "Printer File"\n' "${models[$i]}"
		while IFS= read -r item; do
			[ -z "$item" ] && continue
			printf 'menu "%s"\n' "$item"
			# Items that answer with the not-supported alert.
			case $item in "Graphic mode") echo "answer 0" ;; esac
		done <<<"${menu_items[$i]}"
		printf 'drop'
		for _ in $(seq "${copies[$i]}"); do printf ' "%s"' "${files[$i]}"; done
		printf '\n'
	))
	(cd "$scratch" && rm -f PrintFile && QUILLON_CHARSET=${charsets[$i]} QUILLON_PLATFORM=headless \
		"$quillon" <<<"$script" >/dev/null && mv PrintFile "$out")
}
# The pages the page log counts for a job.
job_pages() { awk -v job="$1" '$3 == job { print $7 }' "$scratch/log/page_log"; }
finish() {
	local i
	for _ in $(seq 1500); do
		[ -z "$(lpstat -W not-completed -o)" ] && break
		sleep 0.02
	done
	if [ -n "$(lpstat -W not-completed -o)" ]; then
		echo "FAIL jobs did not complete:"
		lpstat -W not-completed -o
		tail -20 "$scratch/log/error_log"
		failures=$((failures + 1))
	fi
	for i in $(seq 0 $((cases - 1))); do
		quillon_bytes "$i" "$scratch/expected"
		if ! cmp -s "$scratch/out/case$i" "$scratch/expected"; then
			echo "FAIL ${names[$i]}: differs from Quillon's ${models[$i]} with:" \
				"$(tr '\n' ',' <<<"${menu_items[$i]}")"
			cmp "$scratch/out/case$i" "$scratch/expected" || true
			failures=$((failures + 1))
		else
			echo "ok   ${names[$i]}"
		fi
	done
}

# The defaults of every model are Quillon's after start-up and the model.
for model in "All Raw Data" "Pure ASCII" "Generic ASCII" "HP Deskjet Series" "Epson Stylus" \
	"Epson Dot Matrix" "IBM Proprinter"; do
	check "defaults of $model" "$model" "" ""
done

# Every option and choice, across the models whose codes differ.
check "DeskJet A4 landscape LQ 17 cpi" "HP Deskjet Series" \
	$'Select A4 paper\nSelect Landscape\nLetter Quality\nCompressed Text (17 CPI)' "" \
	-o PageSize=A4 -o landscape -o PrintQuality=LQ -o cpi=17
check "DeskJet Executive, spacing, wrap, direction" "HP Deskjet Series" \
	$'Select Exec paper\nProportional Spacing\nPrinter\'s Linewrap on\nUnidirectional Printing\nCompressed Text (12 CPI)' "" \
	-o media=Executive -o Spacing=Proportional -o PrinterLinewrap=On -o Direction=Unidirectional -o cpi=12
check "Dot Matrix Legal NLQ 20 cpi, orientation-requested" "Epson Dot Matrix" \
	$'Select Legal paper\nNear Letter Quality\nCompressed Text (20 CPI)\nSelect Landscape' "" \
	-o PageSize=Legal -o PrintQuality=NLQ -o cpi=20 -o orientation-requested=4
check "Proprinter 15 cpi, proportional, unidirectional" "IBM Proprinter" \
	$'Compressed Text (15 CPI)\nProportional Spacing\nUnidirectional Printing\nLetter Quality' "" \
	-o cpi=15 -o Spacing=Proportional -o Direction=Unidirectional -o PrintQuality=LQ
check "Stylus graphic mode prints the preamble" "Epson Stylus" \
	$'Graphic mode\nCompressed Text (12 CPI)' "" -o PrintMode=Graphic -o cpi=12
check "Generic ASCII Legal landscape" "Generic ASCII" $'Select Legal paper\nSelect Landscape' "" \
	-o PageSize=Legal -o landscape
check "raw data 12 cpi NLQ" "All Raw Data" $'Compressed Text (12 CPI)\nNear Letter Quality' "" \
	-o cpi=12 -o PrintQuality=NLQ

# Character sets: the file converted as Quillon converts it (never an empty
# page), and the count of what had no equivalent told by an INFO: line.
check "DeskJet cp858" "HP Deskjet Series" "" cp858 -o CharacterSet=cp858
check "Dot Matrix latin1, LQ" "Epson Dot Matrix" "Letter Quality" latin1 \
	-o CharacterSet=latin1 -o PrintQuality=LQ
check "Pure ASCII cp437" "Pure ASCII" "" cp437 -o CharacterSet=cp437
input=$large check "Proprinter latin9, a file read in pieces" "IBM Proprinter" "" latin9 \
	-o CharacterSet=latin9

# Copies: three copies are the file printed three times in one job, with a
# PAGE: line for each page of each, which the page log totals per job.
check "one copy" "Epson Dot Matrix" "" ""
copy_count=3 check "three copies" "Epson Dot Matrix" "" "" -n 3
finish
one=$(job_pages "${jobs[$((cases - 2))]}") three=$(job_pages "${jobs[$((cases - 1))]}")
if [ -z "$one" ] || [ "$one" -lt 2 ] || [ "$three" != $((3 * one)) ]; then
	echo "FAIL pages told: one copy $one, three copies $three"
	failures=$((failures + 1))
fi
grep -q 'characters of grüße.txt have no equivalent in CP858 and were printed as ?' \
	"$scratch/log/error_log" || { echo "FAIL no count of unconverted characters"; failures=$((failures + 1)); }

# CHARSET names the text's own set: a Latin-1 file chosen to print in CP850
# gives what the same text in UTF-8 gives in Quillon, copies included.
printf 'Grüße, café, naïve, déjà vu\n' >"$scratch/in/latin.txt"
models+=("Epson Dot Matrix") menu_items+=("") charsets+=(cp850) files+=("$scratch/in/latin.txt") copies+=(2)
quillon_bytes $((${#models[@]} - 1)) "$scratch/expected"
iconv -f utf-8 -t iso-8859-1 "$scratch/in/latin.txt" \
	| PPD=$ppds/quildm.ppd CHARSET=iso-8859-1 "$filter" 1 user latin.txt 2 CharacterSet=cp850 \
	>"$scratch/out/latin" 2>/dev/null
if cmp -s "$scratch/out/latin" "$scratch/expected"; then
	echo "ok   a Latin-1 text read by CHARSET"
else
	echo "FAIL a Latin-1 text read by CHARSET"
	failures=$((failures + 1))
fi

echo "$cases jobs, $failures failed"
[ "$failures" = 0 ]
