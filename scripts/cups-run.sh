#!/usr/bin/env bash
# Runs a command against a private print server: a CUPS daemon with its own configuration and
# spool in a temporary folder, listening only on a unix socket there, with no queues. Clients
# find it through CUPS_SERVER. Two PDF devices are prepared for queues the command may add:
# cups-pdf:/${LUMORA_CUPS_PREFIX}a and ...b write their PDF files into $LUMORA_CUPS_DIR/a and
# /b. The daemon is stopped and everything removed afterwards.
# Exits 77 (skipped) when no print server can run here. Usage: cups-run.sh command [args...]
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../tests/support/poll-lib.sh"
cupsd=/usr/sbin/cupsd
backend=/usr/lib/cups/backend/cups-pdf
if [[ $(id -u) -ne 0 || ! -x $cupsd || ! -x $backend ]]; then
    echo "cups-run: needs root, cupsd and the cups-pdf backend" >&2
    exit 77
fi

dir=$(mktemp -d /tmp/lumora-cups.XXXXXX)
chmod 755 "$dir"
prefix="lumora$$x"
mkdir -p "$dir"/{spool/tmp,cache,state,log,home,pdfspool,out/a,out/b}
chmod 1777 "$dir/spool/tmp"
pid=""
cleanup() {
    if [[ -n $pid ]]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -f "/etc/cups/cups-pdf-${prefix}a.conf" "/etc/cups/cups-pdf-${prefix}b.conf"
    rm -rf "$dir"
}
trap cleanup EXIT

cat >"$dir/cups-files.conf" <<CONF
ServerRoot $dir
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
User lp
Group lp
SystemGroup root lpadmin
CONF
cat >"$dir/cupsd.conf" <<CONF
Listen $dir/cups.sock
Browsing No
LogLevel info
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
# cups-pdf reads a configuration of its own for each device; it only looks in /etc/cups.
for q in a b; do
    cat >"/etc/cups/cups-pdf-${prefix}$q.conf" <<CONF
Out $dir/out/$q
Spool $dir/pdfspool
AnonDirName $dir/out/$q
Grp root
CONF
done

"$cupsd" -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 &
pid=$!
if ! wait_until 10 test -S "$dir/cups.sock"; then
    echo "cups-run: the print server did not start" >&2
    cat "$dir/log/cupsd.out" "$dir/log/error_log" >&2 2>/dev/null || true
    exit 1
fi

export CUPS_SERVER="$dir/cups.sock"
export LUMORA_CUPS_DIR="$dir/out"
export LUMORA_CUPS_PREFIX="$prefix"
export HOME="$dir/home" # no lpoptions of the user's choose a default queue
unset LPDEST PRINTER
status=0
"$@" || status=$?
if [[ $status -ne 0 ]]; then
    tail -n 30 "$dir/log/error_log" >&2 2>/dev/null || true
fi
exit $status
