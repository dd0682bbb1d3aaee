#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# velkorctl against the simulated family: what a user sees.
set -u
ctl="$1"
fail=0
check() { # description, condition result
    if [ "$2" -eq 0 ]; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi
}

out=$("$ctl" --simulate list)
echo "$out" | grep -q 'sim:mouse#vid_320f&pid_7070&mi_01&col04 .* ff1c   0092  mouse  *commands'
check "list shows the mouse's command interface" $?
echo "$out" | grep -q 'sim:headset#vid_0c76&pid_1630&mi_03 .*headset'
check "list shows the headset without a collection token" $?

receiver='sim:mouse-receiver#vid_320f&pid_221d&mi_01&col04'
trace=$("$ctl" --simulate --trace info "$receiver" 2>&1 >/dev/null)
[ "$(echo "$trace" | grep -c '^命令$')" -eq 2 ]
check "info through the receiver takes two frames" $?
echo "$trace" | grep -q '^04 .. .. 03   18 00 00 00' && echo "$trace" | grep -q '^04 .. .. 03   0a 18 00 00'
check "the frames carry 24 bytes at 0 and 10 at 24" $?

cable='sim:mouse#vid_320f&pid_7070&mi_01&col04'
trace=$("$ctl" --simulate --trace info "$cable" 2>&1 >/dev/null)
[ "$(echo "$trace" | grep -c '^命令$')" -eq 1 ] && echo "$trace" | grep -q '^04 .. .. 03   22 00 00 00'
check "info on the cable takes one frame of 34" $?
"$ctl" --simulate info "$cable" | grep -q '^sensor: *0x3325$'
check "info decodes the mouse sensor" $?

"$ctl" --simulate info 'sim:nothing#vid_320f&pid_7070&mi_01&col04' >/dev/null 2>&1
[ $? -eq 3 ]
check "a missing path exits 3" $?
"$ctl" --simulate info 'sim:mouse#vid_320f&pid_7070&mi_01&col03' >/dev/null 2>&1
[ $? -eq 3 ]
check "an event interface is refused for commands" $?
"$ctl" --simulate params "$cable" 70000 >/dev/null 2>&1
[ $? -eq 2 ]
check "an impossible length is a usage error" $?
"$ctl" --simulate frobnicate >/dev/null 2>&1
[ $? -eq 2 ]
check "an unknown command is a usage error" $?
"$ctl" --simulate=/nonexistent/scenario.json list >/dev/null 2>&1
[ $? -eq 1 ]
check "a missing scenario file fails clearly" $?

# The desktop's pointer settings, on GSettings' in-memory store (never the user's own).
gnome() { GSETTINGS_BACKEND=memory XDG_CURRENT_DESKTOP=ubuntu:GNOME "$ctl" "$@"; }
out=$(gnome pointer)
[ $? -eq 0 ] && echo "$out" | grep -qx 'back end: GNOME (GSettings)' && echo "$out" | grep -qx 'speed: 10' &&
    echo "$out" | grep -qx 'double-click: 400' && echo "$out" | grep -q '^wheel-lines: not offered by this desktop (.'
check "pointer shows GNOME's values and what it does not offer" $?
[ "$(gnome pointer set speed 15)" = "speed: 15" ] && [ "$(gnome pointer set precision 0)" = "precision: 0" ]
check "pointer set applies and reads back" $?
gnome pointer set page-scroll 1 >/dev/null 2>&1
[ $? -eq 4 ]
check "a setting GNOME does not offer exits 4" $?
err=$(gnome pointer set double-click 901 2>&1 >/dev/null)
[ $? -eq 2 ] && echo "$err" | grep -q 'double-click takes a whole number from 200 to 900'
check "a value out of range is a usage error" $?
gnome pointer set acceleration 3 >/dev/null 2>&1
[ $? -eq 2 ]
check "an unknown setting is a usage error" $?
out=$(XDG_CURRENT_DESKTOP=XFCE "$ctl" pointer)
echo "$out" | grep -qx 'back end: none: XFCE' &&
    [ "$(echo "$out" | grep -c ': not offered by this desktop (.*XFCE)$')" -eq 5 ]
check "another desktop offers none of them" $?

exit $fail
