#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""velkorctl macro record, end to end in the umockdev test bed of the input
tests (a hand-written keyboard and mouse replaying A with a repeat, back,
Num Enter, forward, left Alt).

With measured delays the file holds each press and release once, in order,
with the replay's gaps as delays and "0" last; --delay none gives every row
"0", --delay 50 every row "50". The file is a macro file as the panel saves
it: named after the file, a time-stamp Guid, "Version" 64, "Delay" strings.

usage: macro_record_test.py VELKORCTL SOURCE_DIR UMOCKDEV_RUN
"""
import json
import os
import re
import subprocess
import sys
import tempfile

CTL, SOURCE, UMOCKDEV_RUN = sys.argv[1], sys.argv[2], sys.argv[3]
BED = os.path.join(SOURCE, "tests", "tools", "input")
FAILED = []
# The two nodes replay independently: their gaps hold within this many milliseconds.
SLACK_MS = 70
# Type, Button, Action, the gap to the next event in the replay.
EXPECTED = [
    (10, 4, "down", 200), (10, 4, "up", 200),
    (1, 8, "down", 100), (1, 8, "up", 200),
    (10, 88, "down", 100), (10, 88, "up", 200),
    (1, 16, "down", 100), (1, 16, "up", 200),
    (9, 4, "down", 100), (9, 4, "up", 0),
]


def check(what, ok, detail=""):
    print(("ok: " if ok else "FAILED: ") + what + (f" ({detail})" if detail and not ok else ""))
    if not ok:
        FAILED.append(what)


def devices():
    args = []
    for name, node in (("keyboard", "/dev/input/event20"), ("mouse", "/dev/input/event21")):
        base = os.path.join(BED, name)
        args += ["-d", base + ".umockdev", "-i", f"{node}={base}.ioctl", "-e", f"{node}={base}.events"]
    return args


def record(folder, name, extra):
    path = os.path.join(folder, name)
    command = [UMOCKDEV_RUN, *devices(), "--", CTL, "macro", "record", path, "--count", "10", *extra]
    run = subprocess.run(command, capture_output=True, text=True, timeout=30)
    check(f"{name}: exit 0", run.returncode == 0, f"exit {run.returncode}: {run.stderr}")
    try:
        with open(path, encoding="utf-8") as file:
            return json.load(file)
    except (OSError, ValueError) as error:
        check(f"{name}: a JSON file", False, str(error))
        return {"Events": []}


with tempfile.TemporaryDirectory() as folder:
    measured = record(folder, "measured.mac", [])
    check("named after the file", measured.get("MacroName") == "measured", str(measured.get("MacroName")))
    check("a time-stamp Guid", re.fullmatch(r"\d{4}(_\d{2}){5}_\d{3}", str(measured.get("Guid"))) is not None)
    check("version 64", measured.get("Version") == 64)
    events = measured["Events"]
    check("ten events, the repeat left out", len(events) == len(EXPECTED), json.dumps(events))
    for index, (kind, button, action, gap) in enumerate(EXPECTED[: len(events)]):
        event = events[index]
        delay = event.get("Delay")
        ok = (event.get("Type"), event.get("Button"), event.get("Action")) == (kind, button, action) and \
            isinstance(delay, str) and abs(int(delay) - gap) <= SLACK_MS and (gap != 0 or delay == "0")
        check(f"event {index}: type {kind} button {button} {action}, delay {gap}", ok, json.dumps(event))
    for option, delay in (("none", "0"), ("50", "50")):
        fixed = record(folder, f"{option}.mac", ["--delay", option])
        delays = [event.get("Delay") for event in fixed["Events"]]
        check(f"--delay {option}: every delay {delay}", delays == [delay] * len(EXPECTED), str(delays))

sys.exit(1 if FAILED else 0)
