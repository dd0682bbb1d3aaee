#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What the running program costs when nobody touches it: velkor --simulate
# under Xvfb with fresh XDG folders (default profiles), measured from
# /proc/PID/stat over a number of seconds.
#
#   shown       the window shown, the mouse selected (its default effect
#               animates), the pointer over the window; two screenshots a
#               second apart must differ, else the preview did not animate
#   background  velkor --background on a desktop with a notification area
#               (bench/tray-owner): hidden from the start, the keyboard
#               selected (the default). Without one the program shows its
#               window, which is why the area is needed here
#   unmapped    the window shown with the keyboard selected, then unmapped
#               by the desktop without being closed (xdotool windowunmap, as
#               a window manager does for another workspace)
#   keyboard    the window shown, the keyboard selected with its wave
#               animating (the simulated keyboard's effect); figure only,
#               the screenshots must differ as for "shown"
#
# Goals: shown < 3 % of one core; background and unmapped < 1 %.
# Usage: bench/idle-cpu.sh BUILD_DIR [SECONDS] [CASE...]
#        (needs xvfb-run, xdotool, xwd, xwininfo, compare)
set -u
build=${1:?build directory}
seconds=${2:-10}
shift $(($# < 2 ? $# : 2))
cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=(shown background unmapped keyboard)
build=$(cd "$build" && pwd)
velkor="$build/src/app/velkor"
tray="$build/bench/tray-owner"

measure() {
    local mode=$1
    local home
    if [ "$mode" = background ] && [ ! -x "$tray" ]; then
        echo "background: $tray is missing (built with the benchmarks when Xlib is found)"
        return 1
    fi
    home=$(mktemp -d)
    XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" HOME="$home" MODE="$mode" SECONDS_TO_RUN="$seconds" \
        VELKOR="$velkor" TRAY="$tray" SHOTS="$home" xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
        args=(--simulate)
        if [ "$MODE" = background ]; then
            "$TRAY" & tray=$!
            sleep 0.5
            args+=(--background)
        fi
        "$VELKOR" "${args[@]}" >/dev/null 2>&1 &
        pid=$!
        sleep 6
        window=$(xdotool search --onlyvisible --name "VELKOR" | head -1)
        if [ "$MODE" = background ]; then
            if [ -n "$window" ]; then echo "background: the window is shown"; kill $pid; exit 1; fi
        elif [ -z "$window" ]; then
            echo "$MODE: no window"; kill $pid; exit 1
        fi
        if [ "$MODE" = shown ]; then
            xdotool mousemove --window "$window" 82 61 click 1    # the option of the mouse item
            xdotool mousemove --window "$window" 300 320          # over the picture
        fi
        if [ "$MODE" = shown ] || [ "$MODE" = keyboard ]; then
            sleep 2
            xwd -root -silent > "$SHOTS/a.xwd"; sleep 1; xwd -root -silent > "$SHOTS/b.xwd"
            changed=$(compare -metric AE "$SHOTS/a.xwd" "$SHOTS/b.xwd" null: 2>&1)
            echo "$MODE: $changed pixels changed between two screenshots a second apart"
        fi
        if [ "$MODE" = unmapped ]; then
            xdotool windowunmap "$window"
            sleep 2
            xwininfo -id "$window" | grep -q IsUnMapped || { echo "unmapped: still mapped"; kill $pid; exit 1; }
        fi
        ticks() { awk "{print \$14 + \$15}" /proc/$pid/stat; }
        start=$(ticks); sleep "$SECONDS_TO_RUN"; end=$(ticks)
        hz=$(getconf CLK_TCK)
        awk -v d=$((end - start)) -v hz="$hz" -v s="$SECONDS_TO_RUN" -v m="$MODE" \
            "BEGIN { printf \"%s: %.2f %% of one core over %d s\n\", m, 100 * d / hz / s, s }"
        kill $pid; wait $pid 2>/dev/null
        [ -n "${tray:-}" ] && kill $tray
    '
    rm -rf "$home"
}

for mode in "${cases[@]}"; do
    measure "$mode"
done
