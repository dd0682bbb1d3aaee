#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sound to light, end to end (bench/sound_to_light.cpp): tone bursts played
# into a null sink of a private PulseAudio reach the simulated keyboard's live
# frames in effects 29 and 30 of `velkor --headless --simulate`, with the
# velkor-audio it starts. Prints latency_median_ms, latency_p90_ms,
# latency_max_ms and tool_cpu_percent per effect. Run it alone: the machine's
# load shows in every figure.
# Goals: median <= 30 ms, worst <= 50 ms, velkor-audio below 2 % of one core.
# Usage: bench/sound-to-light.sh BUILD_DIR [RUNS]
set -eu
build=${1:?build directory}
runs=${2:-1}
ninja -C "$build" bench_sound_to_light >/dev/null
"$build/bench/bench_sound_to_light" --benchmark_repetitions="$runs" --benchmark_counters_tabular=true
