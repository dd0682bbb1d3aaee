#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""velkorctl --simulate --trace write-recoil, by cable and through the receiver.

The 0x17 frames must rebuild, byte for byte and in 56-byte chunks on both
channels, the block this script encodes on its own from the shipped default
patterns, and the simulated firmware must decode four guns of 180 events. A
file of 181 events exits 1 naming the gun and sends no 0x17 frame; a keyboard
is refused.

usage: write_recoil_test.py VELKORCTL SOURCE_DIR
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

CTL, SOURCE = sys.argv[1], sys.argv[2]
FAILED = []
MOUSE = "sim:mouse#vid_320f&pid_7070&mi_01&col04"
RECEIVER = "sim:mouse-receiver#vid_320f&pid_221d&mi_01&col04"


def check(what, ok):
    print(("ok: " if ok else "FAILED: ") + what)
    if not ok:
        FAILED.append(what)


def encode(event):
    delay = min(max(event["Delay"], 0), 65535)
    kind = event["Type"] & 0xFF
    button = min(max(event["Button"], 0), 255)
    down = 0x80 if event["Action"] == "down" else 0
    return bytes([delay & 0xFF, delay >> 8, kind | down, button])


def block_of(guns):
    body, offsets, at = b"", [], 16 + 2 * len(guns)
    for events in guns:
        offsets.append(at)
        record = len(events).to_bytes(2, "little") + b"\0\0" + b"".join(encode(e) for e in events)
        body += record
        at += len(record)
    total = 16 + 2 * len(guns) + len(body)
    head = b"\xaa\x55" + total.to_bytes(2, "little") + len(guns).to_bytes(2, "little") + bytes(10)
    return head + b"".join(o.to_bytes(2, "little") for o in offsets) + body


def frames_of(trace):
    """(command, length, offset, data) of every request frame in a --trace log."""
    lines = trace.splitlines()
    frames = []
    for i, line in enumerate(lines):
        if line == "命令" and i + 2 < len(lines):
            raw = bytes(int(x, 16) for x in (lines[i + 1] + " " + lines[i + 2]).split())
            frames.append((raw[3], raw[4], raw[5] | raw[6] << 8, raw[8:8 + raw[4]]))
    return frames


def run(*args):
    return subprocess.run([CTL, "--simulate", "--trace", *args], capture_output=True, text=True)


defaults = os.path.join(SOURCE, "DefaultData")
guns = []
for g in range(4):
    with open(os.path.join(defaults, "ShootData_%d.Shoot" % g)) as f:
        guns.append(json.load(f)["Events"])
expected = block_of(guns)
check("the default block is 2,920 bytes", len(expected) == 2920)

for name, path in [("cable", MOUSE), ("receiver", RECEIVER)]:
    done = run("write-recoil", path, defaults)
    check(name + ": exits 0", done.returncode == 0)
    block = [f for f in frames_of(done.stderr) if f[0] == 0x17]
    rebuilt = b"".join(f[3] for f in sorted(block, key=lambda f: f[2]))
    check(name + ": the 0x17 frames rebuild the block byte for byte", rebuilt == expected)
    check(name + ": in 53 frames of 56 bytes", len(block) == 53 and all(f[1] == 56 for f in block[:-1]))
    lines = [line for line in done.stdout.splitlines() if line.startswith("gun ")]
    check(name + ": the firmware decodes four guns", lines == ["gun %d: 180 events" % g for g in range(4)])

work = tempfile.mkdtemp(prefix="velkor_write_recoil_")
try:
    for g in range(4):
        shutil.copy(os.path.join(defaults, "ShootData_%d.Shoot" % g), work)
    with open(os.path.join(work, "ShootData_2.Shoot"), "w") as f:
        json.dump({"Events": guns[2] + [guns[2][0]]}, f)
    refused = run("write-recoil", MOUSE, work)
    check("181 events: exits 1", refused.returncode == 1)
    check("181 events: the reason names gun 2", "gun 2" in refused.stderr)
    check("181 events: no 0x17 frame", not [f for f in frames_of(refused.stderr) if f[0] == 0x17])
    keyboard = run("write-recoil", "sim:keyboard#vid_320f&pid_50b7&mi_01&col04", work)
    check("a keyboard is refused", keyboard.returncode == 1 and "not the command interface of a mouse" in keyboard.stderr)
finally:
    shutil.rmtree(work)

sys.exit(1 if FAILED else 0)
