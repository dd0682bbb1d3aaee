#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# velkor --headless --simulate on a session bus of its own and without a
# display, driven by velkorctl as a script would: the devices, settings that
# round-trip through get, the change monitor, refusals, and an orderly end on
# SIGTERM. Waits are bounded guards against a hang, never measurements.
set -u
velkor="$1"
ctl="$2"
. "$(dirname "$0")/session-test-lib.sh"

err=$("$ctl" devices 2>&1 >/dev/null)
[ $? -eq 1 ] && echo "$err" | grep -q 'velkor is not running'
check "without the program velkorctl says it is not running" $?

"$velkor" --headless --simulate 2>"$home/velkor.err" &
velkor_pid=$!
pids+=("$velkor_pid")
# Up once the five units are listed and the mouse has told its DPI stages.
for _ in $(seq 200); do
    [ "$("$ctl" devices 2>/dev/null | wc -l)" -eq 5 ] &&
        ! "$ctl" get mouse-7070 dpi-stages 2>/dev/null | grep -q '^0,' && break
    kill -0 "$velkor_pid" 2>/dev/null || break
    sleep 0.1
done

out=$("$ctl" devices)
ids=$(echo "$out" | awk '{print $1}' | sort | tr '\n' ' ')
[ "$ids" = "headset-1630 keyboard-50b7 keyboard-511d mouse-7070 mousepad-1004 " ]
check "devices lists the five units ($ids)" $?
echo "$out" | grep -q '^mouse-7070 *mouse *cable '
check "devices gives kind and channel" $?

"$ctl" set keyboard-50b7 effect=Breathing colour=#ff8000
check "set of an effect by its shown name and a colour" $?
[ "$("$ctl" get keyboard-50b7 effect-name)" = "Breathing" ] && [ "$("$ctl" get keyboard-50b7 colour)" = "#ff8000" ]
check "effect and colour round-trip through get" $?
"$ctl" set keyboard-50b7 colour=16,32,48 && [ "$("$ctl" get keyboard-50b7 colour)" = "#102030" ]
check "a colour as r,g,b" $?

"$ctl" set mouse-7070 dpi2=1600 active-stage=2 report-rate=500
check "set of a DPI stage, the active stage and the report rate" $?
[ "$("$ctl" get mouse-7070 dpi-stages | cut -d, -f2)" = "1600" ] &&
    [ "$("$ctl" get mouse-7070 active-stage)" = "2" ] && [ "$("$ctl" get mouse-7070 report-rate)" = "500" ]
check "the DPI stage, active stage and report rate round-trip through get" $?

"$ctl" monitor 20 >"$home/monitor.out" 2>&1 &
monitor_pid=$!
pids+=("$monitor_pid")
for _ in $(seq 100); do grep -q '^watching' "$home/monitor.out" && break; sleep 0.1; done
"$ctl" set mousepad-1004 brightness=1 && "$ctl" set mousepad-1004 brightness=3
for _ in $(seq 100); do grep -q '^SettingsChanged mousepad-1004 .*brightness=3' "$home/monitor.out" && break; sleep 0.1; done
[ "$(grep -c '^SettingsChanged mousepad-1004 .*brightness=' "$home/monitor.out")" -eq 2 ]
check "monitor prints each change once" $?
kill "$monitor_pid" 2>/dev/null

err=$("$ctl" set keyboard-50b7 brightness=9 2>&1)
[ $? -eq 2 ] && echo "$err" | grep -q 'brightness must lie in 0..4' && [ "$("$ctl" get keyboard-50b7 colour)" = "#102030" ]
check "a value out of range exits 2 and says why" $?
"$ctl" get keyboard-ffff >/dev/null 2>&1
[ $? -eq 3 ]
check "an unknown device exits 3" $?
"$ctl" set mouse report-rate=1000 && [ "$("$ctl" get mouse report-rate)" = "1000" ] &&
    [ "$("$ctl" get mouse-7070 report-rate)" = "1000" ]
check "a kind names the one device of that kind (mouse)" $?
err=$("$ctl" get keyboard effect 2>&1)
[ $? -eq 2 ] && echo "$err" | grep -q 'keyboard-50b7' && echo "$err" | grep -q 'keyboard-511d'
check "a kind with two devices (keyboard) lists both IDs and exits 2" $?
"$ctl" set mouse-7070 dpi2 >/dev/null 2>&1
[ $? -eq 2 ]
check "a setting without a value is a usage error" $?

kill -TERM "$velkor_pid"
for _ in $(seq 100); do kill -0 "$velkor_pid" 2>/dev/null || break; sleep 0.1; done
wait "$velkor_pid"
rc=$?
[ $rc -eq 0 ]
check "SIGTERM ends the program with 0 (got $rc)" $?
err=$("$ctl" devices 2>&1 >/dev/null)
[ $? -eq 1 ] && echo "$err" | grep -q 'velkor is not running'
check "the bus name is free again" $?
[ "$fail" -eq 0 ] || cat "$home/velkor.err"
exit $fail
