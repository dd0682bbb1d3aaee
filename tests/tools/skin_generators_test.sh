#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The generated skin files are what their scripts write today: a page or a
# drawing edited by hand, or a script changed without being run again, fails.
# Usage: skin_generators_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
tools=$source_dir/tools
skin=$source_dir/skin
python3 "$tools/make-keyboard-page.py" "$out/keyboarddevice.ui"
python3 "$tools/make-mouse-page.py" "$out/mousedevice.ui" "$out/pictures"
python3 "$tools/make-mousepad-page.py" "$out/mousepaddevice.ui"
python3 "$tools/make-pallet-dialog.py" "$out/PalletDialog.ui"
python3 "$tools/make-device-pictures.py" "$out/pictures"
status=0
for file in keyboarddevice.ui mousedevice.ui mousepaddevice.ui; do
    diff -q "$skin/devices/$file" "$out/$file" >/dev/null || { echo "stale: skin/devices/$file"; status=1; }
done
diff -q "$skin/PalletDialog.ui" "$out/PalletDialog.ui" >/dev/null || { echo "stale: skin/PalletDialog.ui"; status=1; }
for drawing in "$out"/pictures/*.svg; do
    name=$(basename "$drawing")
    diff -q "$skin/devices/pictures/$name" "$drawing" >/dev/null || { echo "stale: skin/devices/pictures/$name"; status=1; }
done
# Every drawing in the skin comes from a script.
for drawing in "$skin"/devices/pictures/*.svg; do
    name=$(basename "$drawing")
    [ -f "$out/pictures/$name" ] || { echo "no script writes $name"; status=1; }
done
[ $status -eq 0 ] && echo "every generated skin file is current"
exit $status
