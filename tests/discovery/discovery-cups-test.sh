#!/usr/bin/env bash
# discovery-cups-test.sh DISCOVERY_TEST: the printer search finds the two
# queues of a scheduler of the test's own, and none at a scheduler that
# takes the connection and never answers, where it gives up.
set -euo pipefail
test=$(realpath "$1")
if [ "$(id -u)" != 0 ]; then
	echo "a private cupsd needs root; skipped"
	exit 77
fi
source "$(dirname "$0")/../cups/private-cupsd.sh"
start_private_cupsd
silent_pid=
trap 'kill "$silent_pid" 2>/dev/null || true; stop_cupsd' EXIT

lpadmin -p office-lq -E -v file:///dev/null -m raw 2>/dev/null
lpadmin -p Epson_LX350 -E -v file:///dev/null -m raw 2>/dev/null
DISCOVERY_TEST_QUEUES="Epson_LX350 office-lq" "$test" --gtest_filter='PrinterDiscovery.*'

# A scheduler that never answers: a loopback listener that accepts and
# keeps quiet.
python3 -S - >"$scratch/silent_port" <<'PY' &
import socket, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(4)
print(s.getsockname()[1], flush=True)
held = []
while True:
    held.append(s.accept()[0])
PY
silent_pid=$!
for _ in $(seq 200); do [ -s "$scratch/silent_port" ] && break; sleep 0.02; done
CUPS_SERVER=127.0.0.1:$(cat "$scratch/silent_port") DISCOVERY_TEST_QUEUES= \
	"$test" --gtest_filter='PrinterDiscovery.*'
