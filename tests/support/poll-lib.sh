# shellcheck shell=bash
# Waiting by polling, shared by the scripts that drive real programs and servers: each waits
# for what it needs, up to a deadline, rather than sleeping for a guess. Source it.

fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs the command until it succeeds, every tenth of a second (poll_interval, in seconds), for
# at most <seconds>; fails (status 1) at the deadline. Usage: wait_until <seconds> command...
wait_until() {
    local deadline=$(($(now_ms) + $1 * 1000))
    shift
    while true; do
        "$@" && return 0
        (($(now_ms) < deadline)) || return 1
        sleep "${poll_interval:-0.1}"
    done
}

now_ms() {
    local micro=${EPOCHREALTIME/[.,]/}
    echo $((10#$micro / 1000))
}

# Waits up to <seconds> for the process to end.
wait_for_exit() {
    wait_until "$2" process_ended "$1"
}

process_ended() { ! kill -0 "$1" 2>/dev/null; }
