#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# velkorctl audio through the simulated plugin (--simulate, described by
# VELKOR_SIM_AUDIO), without a plugin or a headset card, and the Linux
# plugin finding the headset's card by libudev in a umockdev test bed.
# usage: audio_test.sh VELKORCTL SOURCE_DIR UMOCKDEV_RUN
set -u
ctl="$1"
bed="$2/tests/tools/audio"
umockdev_run="$3"
fail=0
check() { # description, condition result
    if [ "$2" -eq 0 ]; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cat >"$scratch/headset.json" <<'EOF'
{"output": [[0, 1, 0, 0], [0, 12, 0, 1]],
 "values": {"output": {"Enable_EQ_GFX": 0, "EQ_Slider3": "-4"}},
 "failing": {"input": {"GetAAMaxVol": 2, "AAMuteControl": 2}}}
EOF
sim() { VELKOR_SIM_AUDIO="$scratch/headset.json" "$ctl" --simulate audio "$@"; }

out=$(sim list)
[ $? -eq 0 ] && echo "$out" | grep -q '^plugin: .*/libosconf-sim\.so$' &&
    echo "$out" | grep -qx 'output endpoint: type 12, state 1 (words 0 12 0 1), features 0x0' &&
    echo "$out" | grep -qx 'input endpoint: type 2, state 1 (words 1 2 0 1), features 0x20000'
check "list shows the endpoints chosen (type 1 at state 0 skipped) and their feature words" $?
echo "$out" | grep -qx 'microphone: yes' && echo "$out" | grep -qx 'monitoring: no, status 2 (no such control)' &&
    echo "$out" | grep -qx 'equaliser: yes' && echo "$out" | grep -qx 'voice changer: yes'
check "list says which groups work and why not" $?

[ "$(sim get EQ_Slider3)" = "EQ_Slider3: -4" ] && [ "$(sim get VolumeScalarControl)" = "VolumeScalarControl: 0.75" ]
check "get prints the plugin's answer" $?
[ "$(sim set VolumeScalarControl 0.5)" = "VolumeScalarControl: 0.5" ] && [ "$(sim set EQ_Slider10 -7)" = "EQ_Slider10: -7" ]
check "set writes the value and prints what the plugin now answers" $?

err=$(sim set AAMuteControl 1 2>&1 >/dev/null)
[ $? -eq 1 ] && echo "$err" | grep -q 'AAMuteControl: status 2 (no such control)'
check "a set the plugin refuses exits 1 with its status" $?
err=$(sim set MuteControl yes 2>&1 >/dev/null)
[ $? -eq 2 ] && echo "$err" | grep -q 'MuteControl takes an integer, not "yes"'
check "a value that is no number is a usage error" $?
err=$(sim get EQ_Slider11 2>&1 >/dev/null)
[ $? -eq 2 ] && echo "$err" | grep -q 'unknown audio property "EQ_Slider11"'
check "an unknown property is a usage error" $?

echo '{"values": {"input": {"GetSupportFeature": "0,0,0,0,0,0,0"}}, "failing": {"input": {"Enable_MAGICVOICE": 4}}}' \
    >"$scratch/noshifter.json"
VELKOR_SIM_AUDIO="$scratch/noshifter.json" "$ctl" --simulate audio list |
    grep -qx 'voice changer: no, no voice changer in the plugin: status 4 (pitch shifter missing)'
check "without the feature bit list still says why the voice changer is missing" $?

echo '{"output": []}' >"$scratch/nocard.json"
err=$(VELKOR_SIM_AUDIO="$scratch/nocard.json" "$ctl" --simulate audio list 2>&1 >/dev/null)
[ $? -eq 1 ] && echo "$err" | grep -q 'finds no headset sound card'
check "without a headset card it exits 1 and says so" $?

# A copy of the tool whose SDK folder holds no loadable plugin.
arch=$(uname -m)
mkdir -p "$scratch/bin/SDK/$arch"
cp "$ctl" "$scratch/bin/velkorctl"
echo 'not a library' >"$scratch/bin/SDK/$arch/libosconf-sim.so"
err=$("$scratch/bin/velkorctl" --simulate audio list 2>&1 >/dev/null)
[ $? -eq 1 ] && echo "$err" | grep -q '^velkorctl: no audio plugin: .*libosconf-sim\.so'
check "without a plugin it exits 1 and says so" $?

# The Linux plugin: a sound card whose USB parent is the headset (card 29,
# which no ALSA control device answers), and none.
linux() { env -u VELKOR_HEADSET_ALSA "$umockdev_run" "$@" -- "$ctl" audio list 2>/dev/null; }
out=$(linux -d "$bed/headset-card.umockdev")
[ $? -eq 0 ] && echo "$out" | grep -q '^plugin: .*/libosconf\.so$' &&
    echo "$out" | grep -qx 'output endpoint: type 1, state 1 (words 0 1 0 1), features 0x0' &&
    echo "$out" | grep -qx 'microphone: no, status 5 (card gone)'
check "the Linux plugin finds the headset's card by its USB parent" $?
linux >/dev/null
[ $? -eq 1 ]
check "the Linux plugin without the headset's card: exit 1" $?

exit $fail
