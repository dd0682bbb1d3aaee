#!/bin/bash
# What the running program costs when nobody touches it: velkor --simulate
# under Xvfb with fresh XDG folders (default profiles), measured from
# /proc/PID/stat over a number of seconds.
#
#   shown       the window shown, the mouse selected (its default effect
#               animates), the pointer over the window; two screenshots a
#               second apart must differ, else the preview did not animate
#   background  velkor --background: hidden in the notification area
#
# Goals: shown < 3 % of one core, background < 1 %.
# Usage: bench/idle-cpu.sh BUILD_DIR [SECONDS]   (needs xvfb-run, xdotool, xwd, compare)
set -u
build=${1:?build directory}
seconds=${2:-10}
velkor="$(cd "$build" && pwd)/src/app/velkor"

measure() {
    local mode=$1
    local home
    home=$(mktemp -d)
    XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" HOME="$home" MODE="$mode" SECONDS_TO_RUN="$seconds" \
        VELKOR="$velkor" SHOTS="$home" xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
        args=(--simulate)
        [ "$MODE" = background ] && args+=(--background)
        "$VELKOR" "${args[@]}" >/dev/null 2>&1 &
        pid=$!
        sleep 6
        if [ "$MODE" = shown ]; then
            window=$(xdotool search --onlyvisible --name "VELKOR" | head -1)
            if [ -z "$window" ]; then echo "shown: no window"; kill $pid; exit 1; fi
            xdotool mousemove --window "$window" 82 61 click 1    # the option of the mouse item
            xdotool mousemove --window "$window" 300 320          # over the picture
            sleep 2
            xwd -root -silent > "$SHOTS/a.xwd"; sleep 1; xwd -root -silent > "$SHOTS/b.xwd"
            changed=$(compare -metric AE "$SHOTS/a.xwd" "$SHOTS/b.xwd" null: 2>&1)
            echo "shown: $changed pixels changed between two screenshots a second apart"
        fi
        ticks() { awk "{print \$14 + \$15}" /proc/$pid/stat; }
        start=$(ticks); sleep "$SECONDS_TO_RUN"; end=$(ticks)
        hz=$(getconf CLK_TCK)
        awk -v d=$((end - start)) -v hz="$hz" -v s="$SECONDS_TO_RUN" -v m="$MODE" \
            "BEGIN { printf \"%s: %.2f %% of one core over %d s\n\", m, 100 * d / hz / s, s }"
        kill $pid; wait $pid 2>/dev/null
    '
    rm -rf "$home"
}

measure shown
measure background
