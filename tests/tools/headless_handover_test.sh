#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The headless instance and the window on one session bus, in both orders: a
# window started while the headless instance has the devices takes them and
# the bus name over, and the headless instance takes them back once the window
# has ended; a headless start while a window runs stands by until the window
# ends. Waits are bounded guards against a hang, never measurements.
set -u
velkor="$1"
ctl="$2"
. "$(dirname "$0")/session-test-lib.sh"

owner() { # the process that owns bus name $1, or nothing
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID "string:$1" 2>/dev/null | awk '/uint32/ {print $2}'
}
await_owner() { # name, process: true once it owns the name
    for _ in $(seq 200); do [ "$(owner "$1")" = "$2" ] && return 0; sleep 0.05; done
    return 1
}
serving() { # the five simulated units are listed through the device API
    for _ in $(seq 200); do [ "$("$ctl" devices 2>/dev/null | wc -l)" -eq 5 ] && return 0; sleep 0.05; done
    return 1
}
# What the program tells systemd (a unit of Type=notify) arrives on this socket.
python3 -c '
import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind(sys.argv[1])
with open(sys.argv[2], "a") as out:
    while True:
        out.write(s.recv(4096).decode() + "\n")
        out.flush()
' "$home/notify" "$home/notified" &
pids+=($!)
for _ in $(seq 100); do [ -S "$home/notify" ] && break; sleep 0.05; done
notified() { # line: true once systemd would have been told it
    for _ in $(seq 100); do grep -qx "$1" "$home/notified" && return 0; sleep 0.05; done
    return 1
}
headless() {
    NOTIFY_SOCKET="$home/notify" "$velkor" --headless --simulate --trace 2>>"$home/headless.err" &
    pids+=($!)
    last=$!
}
window() {
    QT_QPA_PLATFORM=offscreen "$velkor" --simulate 2>>"$home/window.err" &
    pids+=($!)
    last=$!
}
ended() { # process: true once it has ended with 0
    for _ in $(seq 200); do kill -0 "$1" 2>/dev/null || break; sleep 0.05; done
    wait "$1"
}

# Headless first, then the window.
headless
h=$last
await_owner org.velkor.VELKOR01 "$h" && await_owner org.velkor.VELKOR01.Headless "$h" && serving
check "the headless instance owns both names and serves the devices" $?
notified 'READY=1'
check "it has told systemd that it is ready" $?
window
w=$last
await_owner org.velkor.VELKOR01 "$w" && serving
check "a window started meanwhile takes the devices and the name over" $?
kill -0 "$h" 2>/dev/null && [ -z "$(owner org.velkor.VELKOR01.Headless)" ]
check "the headless instance stands by without its names" $?
grep -q 'a window asks for the devices' "$home/headless.err" &&
    notified 'STATUS=A window has the devices: standing by until it ends'
check "the headless instance says why it gave the devices up, also to systemd" $?
kill -TERM "$w"
ended "$w"
check "the window ends with 0" $?
await_owner org.velkor.VELKOR01 "$h" && await_owner org.velkor.VELKOR01.Headless "$h" && serving
check "once the window has ended, the headless instance takes the devices back" $?
"$velkor" --headless --simulate 2>"$home/second.err"
[ $? -eq 0 ] && grep -q 'a headless instance already runs' "$home/second.err"
check "a second headless start ends with 0 and says why" $?
kill -TERM "$h"
ended "$h"
check "SIGTERM ends the headless instance with 0" $?

# The window first, then the headless instance.
window
w=$last
await_owner org.velkor.VELKOR01 "$w"
check "the window owns the name" $?
headless
h=$last
for _ in $(seq 200); do grep -q 'standing by until it ends' "$home/headless.err" && break; sleep 0.05; done
kill -0 "$h" 2>/dev/null && [ "$(owner org.velkor.VELKOR01)" = "$w" ] &&
    [ -z "$(owner org.velkor.VELKOR01.Headless)" ] && serving
check "a headless start while the window runs stands by and leaves it the devices" $?
kill -TERM "$w"
ended "$w"
await_owner org.velkor.VELKOR01 "$h" && serving
check "once the window has ended, the headless instance serves the devices" $?
kill -TERM "$h"
ended "$h"
check "SIGTERM ends it with 0" $?
[ -z "$(owner org.velkor.VELKOR01)" ]
check "the name is free again" $?
[ "$fail" -eq 0 ] || cat "$home/headless.err" "$home/window.err"
exit $fail
