#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""velkorctl input and velkorctl input --watch, end to end in umockdev test beds.

Without any input node the listing exits 3 and says udev lists none; with a
keyboard whose node is missing it exits 3 and says so; neither names group
input, which cures only a permission error. With a hand-written keyboard and
mouse (device records, ioctl records, evemu events)
both are listed readable, and --watch 10 prints the replayed presses in order
with the replay's gaps: A down and up (its repeat gone), back, Num Enter,
forward, left Alt.

usage: input_test.py VELKORCTL SOURCE_DIR UMOCKDEV_RUN
"""
import os
import subprocess
import sys
import tempfile

CTL, SOURCE, UMOCKDEV_RUN = sys.argv[1], sys.argv[2], sys.argv[3]
BED = os.path.join(SOURCE, "tests", "tools", "input")
FAILED = []
# Each node's replay starts when it is opened and writes each event after its
# gap. A busy machine may write an event late (its gap printed longer, the next
# one shorter) but never early: each report's time since the first is judged
# against the replay's schedule, never more than SLACK_MS early and at most
# LATE_MS late.
SLACK_MS = 70
LATE_MS = 1000


def check(what, ok, detail=""):
    print(("ok: " if ok else "FAILED: ") + what + (f" ({detail})" if detail and not ok else ""))
    if not ok:
        FAILED.append(what)


def run(bed_args, ctl_args, timeout=30):
    command = [UMOCKDEV_RUN, *bed_args, "--", CTL, *ctl_args]
    return subprocess.run(command, capture_output=True, text=True, timeout=timeout)


def devices():
    args = []
    for name, node in (("keyboard", "/dev/input/event20"), ("mouse", "/dev/input/event21")):
        base = os.path.join(BED, name)
        args += ["-d", base + ".umockdev", "-i", f"{node}={base}.ioctl", "-e", f"{node}={base}.events"]
    return args


empty = run([], ["input"])
check("no input node: exit 3", empty.returncode == 3, f"exit {empty.returncode}")
check("no input node: udev lists none", "udev lists no keyboard" in empty.stderr, empty.stderr)
check("no input node: no group advice", "group input" not in empty.stderr, empty.stderr)

with tempfile.TemporaryDirectory() as folder:
    # The keyboard's record without its node ("N:" left out): udev lists it, /dev has no file.
    with open(os.path.join(BED, "keyboard.umockdev"), encoding="utf-8") as file:
        record = "".join(line for line in file if not line.startswith("N: "))
    nodeless = os.path.join(folder, "nodeless.umockdev")
    with open(nodeless, "w", encoding="utf-8") as file:
        file.write(record)
    missing = run(["-d", nodeless], ["input"])
check("node missing: exit 3", missing.returncode == 3, f"exit {missing.returncode}")
check("node missing: the listing names the cause",
      "not readable: No such file or directory (udev lists the device but its node is missing" in missing.stdout,
      missing.stdout)
check("node missing: the message names the node and its cause",
      "/dev/input/event20: No such file or directory" in missing.stderr, missing.stderr)
check("node missing: no group advice", "group input" not in missing.stdout + missing.stderr, missing.stderr)

listing = run(devices(), ["input"])
check("keyboard and mouse: exit 0", listing.returncode == 0, f"exit {listing.returncode}: {listing.stderr}")
lines = listing.stdout.splitlines()
check("the keyboard is listed readable",
      any(l.startswith("keyboard") and "/dev/input/event20" in l and l.endswith("readable") for l in lines),
      listing.stdout)
check("the mouse is listed readable",
      any(l.startswith("mouse") and "/dev/input/event21" in l and l.endswith("readable") for l in lines),
      listing.stdout)

watch = run(devices(), ["input", "--watch", "10", "--seconds", "10"])
check("watch: exit 0", watch.returncode == 0, f"exit {watch.returncode}: {watch.stderr}")
expected = [
    (0, "key", "down", "keyboard_key_A"),
    (200, "key", "up", "keyboard_key_A"),
    (200, "button", "down", "mouse_key_back"),
    (100, "button", "up", "mouse_key_back"),
    (200, "key", "down", "keyboard_key_Num Enter"),
    (100, "key", "up", "keyboard_key_Num Enter"),
    (200, "button", "down", "mouse_key_forward"),
    (100, "button", "up", "mouse_key_forward"),
    (200, "key", "down", "keyboard_key_LAlt"),
    (100, "key", "up", "keyboard_key_LAlt"),
]
got = [line.split(" ", 3) for line in watch.stdout.splitlines()]
check("watch: ten reports", len(got) == len(expected), watch.stdout)
scheduled = 0
seen = 0
for index, (gap, kind, action, name) in enumerate(expected[: len(got)]):
    fields = got[index]
    scheduled += gap
    ok = len(fields) == 4 and fields[1:] == [kind, action, name] and fields[0].isdigit()
    if ok:
        seen += int(fields[0])
        ok = -SLACK_MS <= seen - scheduled <= LATE_MS
    check(f"watch report {index}: {kind} {action} {name} at {scheduled} ms", ok,
          " ".join(fields) + f" (at {seen} ms)")

sys.exit(1 if FAILED else 0)
