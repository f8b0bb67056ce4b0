# Sourced by the CUPS tests: start_private_cupsd [FILTER] starts a cupsd of
# the test's own in the foreground, on a free loopback port, with its
# configuration, state, spool and logs in $scratch, and exports CUPS_SERVER;
# the EXIT trap stops it by its process id and removes $scratch. FILTER, when
# given, joins CUPS's own filters.
start_private_cupsd() {
	local filter=${1:-}
	scratch=$(mktemp -d)
	chmod 755 "$scratch"
	cupsd_pid=
	stop_cupsd() {
		if [ -n "$cupsd_pid" ]; then
			kill "$cupsd_pid" 2>/dev/null || true
			wait "$cupsd_pid" 2>/dev/null || true
		fi
		rm -rf "$scratch"
	}
	trap stop_cupsd EXIT

	port=$(python3 -S -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
	mkdir -p "$scratch"/{root/ppd,state,cache,spool,tmp,log,out,in}
	chmod 777 "$scratch/out"
	# CUPS runs only filters that root owns and nobody else may write, in folders
	# alike: its own, with ours added.
	cp -a /usr/lib/cups "$scratch/serverbin"
	[ -z "$filter" ] || install -o root -g root -m 755 "$filter" "$scratch/serverbin/filter/texttoquillon"
	cat >"$scratch/cupsd.conf" <<-CONF
	Listen 127.0.0.1:$port
	LogLevel debug
	Browsing No
	WebInterface No
	DefaultAuthType None
	<Location />
	  Order allow,deny
	  Allow all
	</Location>
	<Policy default>
	  <Limit All>
	    Order deny,allow
	  </Limit>
	</Policy>
	CONF
	cat >"$scratch/cups-files.conf" <<-CONF
	ServerRoot $scratch/root
	StateDir $scratch/state
	CacheDir $scratch/cache
	RequestRoot $scratch/spool
	TempDir $scratch/tmp
	ServerBin $scratch/serverbin
	ErrorLog $scratch/log/error_log
	AccessLog $scratch/log/access_log
	PageLog $scratch/log/page_log
	FileDevice Yes
	User lp
	Group lp
	SystemGroup root
	CONF
	cupsd -f -c "$scratch/cupsd.conf" -s "$scratch/cups-files.conf" &
	cupsd_pid=$!
	export CUPS_SERVER=127.0.0.1:$port
	for _ in $(seq 200); do
		lpstat -r >/dev/null 2>&1 && break
		sleep 0.02
	done
	lpstat -r >/dev/null
}
