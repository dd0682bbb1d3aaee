#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""velkorctl --simulate --trace write-macros, by cable and through the receiver.

The 0x15 frames of the trace must rebuild, byte for byte and in the fewest
frames, the block this script encodes on its own from the macro files; a key
table without macro keys must go out before the block and the final table
after it, naming the records; the simulated firmware's playback lines must
match the macros. A block too large for the memory exits 1 with the count and
sends neither block nor key table.

usage: write_macros_test.py VELKORCTL SOURCE_DIR
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

CTL, SOURCE = sys.argv[1], sys.argv[2]
FAILED = []


def check(what, ok):
    print(("ok: " if ok else "FAILED: ") + what)
    if not ok:
        FAILED.append(what)


def encode(event):
    """The four device bytes of an event, from the file format alone."""
    delay = event["Delay"]
    digits = ""
    for c in str(delay):
        if not c.isdigit():
            break
        digits += c
    delay = min(int(digits or "0"), 65535)
    kind = event["Type"] & 0xFF
    button = event["Button"]
    button = min(max(button, 0), 255) if kind & 0x7F in (4, 5) else button & 0xFF
    down = 0x80 if event["Action"] == "down" else 0
    return bytes([delay & 0xFF, delay >> 8, kind | down, button])


def block_of(macros):
    records = len(macros)
    body = b""
    offsets = []
    at = 16 + 2 * records
    for events in macros:
        offsets.append(at)
        record = len(events).to_bytes(2, "little") + b"\0\0" + b"".join(encode(e) for e in events)
        body += record
        at += len(record)
    total = 16 + 2 * records + len(body)
    head = b"\xaa\x55" + total.to_bytes(2, "little") + records.to_bytes(2, "little") + bytes(10)
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


work = tempfile.mkdtemp(prefix="velkor_write_macros_")
library = [
    [{"Action": "down", "Type": 10, "Button": 4, "Delay": "120"},
     {"Action": "up", "Type": 10, "Button": 4, "Delay": "70000"}],
    [{"Action": "down", "Type": 4, "Button": 300, "Delay": "5ms"}],
    [{"Action": "down", "Type": 1, "Button": 1, "Delay": "0"},
     {"Action": "up", "Type": 1, "Button": 1, "Delay": "30"},
     {"Action": "down", "Type": 9, "Button": 2, "Delay": "7"}],
]
index = {"MacroInfo": []}
for m, events in enumerate(library):
    index["MacroInfo"].append({"MacroName": "m%d" % m, "Guid": "g%d" % m})
    with open(os.path.join(work, "g%d.mac" % m), "w") as f:
        json.dump({"MacroName": "m%d" % m, "Guid": "g%d" % m, "Events": events, "Version": 64}, f)
with open(os.path.join(work, "macro.config"), "w") as f:
    json.dump(index, f)

with open(os.path.join(SOURCE, "DefaultData", "keyboard.Json")) as f:
    profile = json.load(f)
keys = profile["Device"][0]["KeyList"]
# Keys 30 and 50 play library macro 2, key 40 macro 0 three times; macro 1 is on no key.
for key, (kind, m, b) in {30: (0x70, 2, 0), 40: (0x71, 0, 3), 50: (0x70, 2, 1)}.items():
    keys[key]["Assignment"] = kind << 16 | m << 8 | b
profile_path = os.path.join(work, "profile.Json")
with open(profile_path, "w") as f:
    json.dump(profile, f)
used = [2, 0]  # first-use order of keys 30, 40, 50
expected = block_of([library[m] for m in used])

for name, path, chunk in [
        ("cable", "sim:keyboard#vid_320f&pid_50b7&mi_01&col04", 56),
        ("receiver", "sim:keyboard-receiver#vid_320f&pid_50a9&mi_01&col04", 24)]:
    done = run("write-macros", path, work, profile_path)
    check(name + ": exits 0", done.returncode == 0)
    frames = frames_of(done.stderr)
    block = [f for f in frames if f[0] == 0x15]
    rebuilt = b"".join(f[3] for f in sorted(block, key=lambda f: f[2]))
    check(name + ": the 0x15 frames rebuild the block byte for byte", rebuilt == expected)
    check(name + ": in the fewest frames", len(block) == -(-len(expected) // chunk))
    order = [i for i, f in enumerate(frames) if f[0] in (0x09, 0x15)]
    tables = []
    for i in order:
        if frames[i][0] == 0x09 and frames[i][2] == 0:
            tables.append(bytearray())
        if frames[i][0] == 0x09:
            tables[-1] += frames[i][3]
    first_block = min(i for i in order if frames[i][0] == 0x15)
    first_table = min(i for i in order if frames[i][0] == 0x09)
    last_table = max(i for i in order if frames[i][0] == 0x09)
    check(name + ": a table goes out before the block and one after it",
          first_table < first_block < last_table and len(tables) == 2)
    guard, final = tables
    check(name + ": the first table has no macro key",
          all(guard[p * 3] not in (0x70, 0x71) for p in range(len(guard) // 3)))
    named = sorted((guard_p, bytes(final[guard_p * 3:guard_p * 3 + 3]))
                   for guard_p in range(len(final) // 3) if final[guard_p * 3] in (0x70, 0x71))
    check(name + ": the final table names records 0 and 1",
          sorted(v for _, v in named) == sorted([b"\x70\x00\x00", b"\x71\x01\x03", b"\x70\x00\x01"]))
    lines = [line for line in done.stdout.splitlines() if line.startswith("position ")]
    wanted = sorted("position %d plays record %d: %d events" % (p, v[1], len(library[used[v[1]]]) *
                                                                 (v[2] if v[0] == 0x71 else 1)) for p, v in named)
    check(name + ": the playback lines match the macros", sorted(lines) == wanted)

# One macro of 4000 events on the 2,560-byte keyboard.
big = [{"Action": "down", "Type": 10, "Button": 4, "Delay": "1"}] * 4000
with open(os.path.join(work, "g2.mac"), "w") as f:
    json.dump({"MacroName": "m2", "Guid": "g2", "Events": big, "Version": 64}, f)
keys[40]["Assignment"] = keys[40]["DefaultAssignment"]
with open(profile_path, "w") as f:
    json.dump(profile, f)
refused = run("write-macros", "sim:keyboard#vid_320f&pid_50b7&mi_01&col04", work, profile_path)
excess = -(-(16 + 6 + 4 * 4000 - 2560) // 4)
check("too large: exits 1 with the exact count",
      refused.returncode == 1 and ("need %d more events" % excess) in refused.stderr)
check("too large: neither block nor key table is sent",
      not any(f[0] in (0x09, 0x15) for f in frames_of(refused.stderr)))

shutil.rmtree(work, ignore_errors=True)
sys.exit(1 if FAILED else 0)
