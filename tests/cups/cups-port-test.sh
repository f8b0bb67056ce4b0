#!/usr/bin/env bash
# cups-port-test.sh QUILLON: a port variable of cups://QUEUE prints to a raw
# queue of a scheduler of the test's own, whose device is a loopback
# listener, exactly the bytes Printer File gets; a missing queue, a stopped
# queue and a stopped scheduler give the port alert with their reasons.
set -euo pipefail
quillon=$(realpath "$1")
if [ "$(id -u)" != 0 ]; then
	echo "a private cupsd needs root; skipped"
	exit 77
fi
source "$(dirname "$0")/private-cupsd.sh"
start_private_cupsd
listener_pid=
trap 'kill "$listener_pid" 2>/dev/null || true; stop_cupsd' EXIT

# The printer: a listener on a loopback port that keeps what each
# connection sends.
received=$scratch/out/received
python3 -S - "$received" >"$scratch/listener_port" <<'PY' &
import socket, sys
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(4)
print(s.getsockname()[1], flush=True)
with open(sys.argv[1], "ab", buffering=0) as out:
    while True:
        c, _ = s.accept()
        while True:
            data = c.recv(65536)
            if not data:
                break
            out.write(data)
        c.close()
PY
listener_pid=$!
for _ in $(seq 200); do [ -s "$scratch/listener_port" ] && break; sleep 0.02; done
lpadmin -p raw -E -v "socket://127.0.0.1:$(cat "$scratch/listener_port")/?snmp=false" -m raw 2>/dev/null

printf 'Port test\n\tline two\n' >"$scratch/in/notes.txt"
for i in $(seq 2000); do echo "line $i"; done >"$scratch/in/long.txt"
failures=0
# run PORT: Quillon prints both files to the port Parallel Port 1 leads to,
# as the Epson Dot Matrix; its events in $scratch/events, its errors in
# $scratch/stderr.
run() {
	(cd "$scratch" && QUILLON_PARALLEL1=$1 QUILLON_PLATFORM=headless "$quillon" \
		>"$scratch/events" 2>"$scratch/stderr" <<-SCRIPT
		menu "Epson Dot Matrix"
		drop in/notes.txt in/long.txt
		SCRIPT
	)
}

run "$scratch/expected"
run cups://raw
size=$(stat -c %s "$scratch/expected")
for _ in $(seq 500); do
	[ -z "$(lpstat -W not-completed -o)" ] && [ "$(stat -c %s "$received" 2>/dev/null || echo 0)" -ge "$size" ] && break
	sleep 0.02
done
if cmp -s "$received" "$scratch/expected"; then
	echo "ok   cups://raw receives Printer File's bytes"
else
	echo "FAIL cups://raw: the listener got other bytes"
	cmp "$received" "$scratch/expected" || true
	cat "$scratch/stderr"
	failures=$((failures + 1))
fi
lpstat -W completed -o raw | grep -q '^raw-1 ' || { echo "FAIL no completed job"; failures=$((failures + 1)); }
grep -q 'notes.txt long.txt' "$scratch/log/error_log" \
	|| { echo "FAIL the job is not titled with the file names"; failures=$((failures + 1)); }

# The queue as the Setup menu finds it: chosen there, it takes the job, and
# the ports file keeps it for the next start.
: >"$received"
(cd "$scratch" && XDG_CONFIG_HOME=$scratch/config QUILLON_PLATFORM=headless "$quillon" \
	>"$scratch/events" 2>"$scratch/stderr" <<-SCRIPT
	menu "CUPS: raw"
	menu "Epson Dot Matrix"
	drop in/notes.txt in/long.txt
	SCRIPT
)
for _ in $(seq 500); do
	[ -z "$(lpstat -W not-completed -o)" ] && [ "$(stat -c %s "$received")" -ge "$size" ] && break
	sleep 0.02
done
if cmp -s "$received" "$scratch/expected" && grep -qx 'QUILLON_PARALLEL1=cups://raw' "$scratch/config/quillon/ports"; then
	echo "ok   the Setup menu's CUPS: raw prints there and is kept"
else
	echo "FAIL the Setup menu's CUPS: raw"
	cat "$scratch/events" "$scratch/stderr" "$scratch/config/quillon/ports" 2>&1 || true
	failures=$((failures + 1))
fi

# Cancel Printing while a job goes to the queue: CUPS cancels the job, so the
# printer gets nothing of it, and the status bar says so.
seq 400000 | sed "s/.*/line & of a job that is cancelled/" >"$scratch/in/big.txt"
: >"$received"
jobs_before=$(lpstat -W completed -o raw | wc -l)
(cd "$scratch" && QUILLON_PARALLEL1=cups://raw QUILLON_STATUS_EVENTS=1 QUILLON_PLATFORM=headless "$quillon" \
	>"$scratch/events" 2>"$scratch/stderr" <<-SCRIPT
	drop in/big.txt
	menu "Cancel Printing"
	SCRIPT
)
for _ in $(seq 250); do
	[ -z "$(lpstat -W not-completed -o)" ] && [ "$(lpstat -W completed -o raw | wc -l)" -gt "$jobs_before" ] && break
	sleep 0.02
done
sleep 0.2
if grep -q $'^status\tCancelled - Printed 1 file' "$scratch/events" && [ ! -s "$received" ] \
	&& grep -q "Canceled" "$scratch/log/error_log"; then
	echo "ok   Cancel Printing cancels the CUPS job"
else
	echo "FAIL Cancel Printing and the CUPS job: $(stat -c %s "$received") bytes printed"
	cat "$scratch/events" "$scratch/stderr"
	grep -i cancel "$scratch/log/error_log" || true
	failures=$((failures + 1))
fi

# A quit signal while a job goes to the queue cancels the CUPS job as Quit
# does: the printer gets nothing of it. The job reads a pipe the test holds
# open, so it is still under way when the signal comes; the script's input
# is held open too, so that only the signal ends the program.
: >"$received"
canceled_before=$(grep -c "Canceled" "$scratch/log/error_log" || true)
mkfifo "$scratch/script" "$scratch/in/growing.txt"
exec 3<>"$scratch/script" 4<>"$scratch/in/growing.txt"
echo "drop in/growing.txt" >&3
seq 1000 >&4
(cd "$scratch" && QUILLON_PARALLEL1=cups://raw QUILLON_PLATFORM=headless \
	exec "$quillon" >"$scratch/events" 2>"$scratch/stderr" <"$scratch/script") &
quillon_pid=$!
for _ in $(seq 250); do
	[ -n "$(lpstat -W not-completed -o raw)" ] && break
	sleep 0.02
done
kill -TERM "$quillon_pid"
exec 4>&-
wait "$quillon_pid" && status=0 || status=$?
exec 3>&-
for _ in $(seq 250); do
	[ -z "$(lpstat -W not-completed -o)" ] && break
	sleep 0.02
done
sleep 0.2
if [ "$status" = 143 ] && [ ! -s "$received" ] \
	&& [ "$(grep -c "Canceled" "$scratch/log/error_log")" -gt "$canceled_before" ]; then
	echo "ok   a quit signal cancels the CUPS job"
else
	echo "FAIL a quit signal and the CUPS job: status $status, $(stat -c %s "$received") bytes printed"
	cat "$scratch/events" "$scratch/stderr"
	failures=$((failures + 1))
fi

# A printer that is out of paper: the queue holds the job, and the end of the
# job says so beside what was printed.
cat >"$scratch/serverbin/backend/outofpaper" <<'SH'
#!/bin/sh
[ $# = 0 ] && { echo 'direct outofpaper "Unknown" "A printer out of paper"'; exit 0; }
echo "STATE: +media-empty-error" >&2
sleep 3
cat >/dev/null
exit 0
SH
chown root:root "$scratch/serverbin/backend/outofpaper"
chmod 755 "$scratch/serverbin/backend/outofpaper"
lpadmin -p paperless -E -v outofpaper:/ -m raw 2>/dev/null
(cd "$scratch" && QUILLON_PARALLEL1=cups://paperless QUILLON_STATUS_EVENTS=1 QUILLON_PLATFORM=headless \
	"$quillon" >"$scratch/events" 2>"$scratch/stderr" <<<"drop in/notes.txt")
if grep -q $'^status\tPrinted 1 file, 1 page to cups://paperless - the queue waits: media empty$' "$scratch/events" \
	&& grep -q "^quillon: CUPS queue paperless: job [0-9]* waits: media empty$" "$scratch/stderr"; then
	echo "ok   a queue that holds the job says why"
else
	echo "FAIL a queue that holds the job"
	cat "$scratch/events" "$scratch/stderr"
	failures=$((failures + 1))
fi
cancel -a paperless 2>/dev/null || true

# expect_failure NAME PORT REASON: the port alert, and the reason on standard
# error.
expect_failure() {
	run "$2"
	if grep -q $'^alert\tPrinterAlert\tPort failed\tOK\tQuit$' "$scratch/events" \
		&& grep -q "^quillon: port failed: $3" "$scratch/stderr"; then
		echo "ok   $1: $(cat "$scratch/stderr")"
	else
		echo "FAIL $1"
		cat "$scratch/events" "$scratch/stderr"
		failures=$((failures + 1))
	fi
}
expect_failure "missing queue" cups://nosuch "CUPS has no queue nosuch"
cupsdisable raw
expect_failure "stopped queue" cups://raw "the CUPS queue raw is stopped.*cupsenable raw"
cupsenable raw
cupsreject raw
expect_failure "rejecting queue" cups://raw "the CUPS queue raw rejects jobs.*cupsaccept raw"
kill "$cupsd_pid"
wait "$cupsd_pid" 2>/dev/null || true
cupsd_pid=
expect_failure "stopped scheduler" cups://raw "the CUPS scheduler at 127.0.0.1 does not answer"

[ "$failures" = 0 ]
