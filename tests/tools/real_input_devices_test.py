#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""velkorctl over umockdev beds of the real input devices in tests/data/real/input-devices.

listing: every recorded device in one bed; `velkorctl input` lists exactly
    those udev marks keyboard or mouse (udev's own input_id classifies the
    evemu recordings; the umockdev records carry udev's properties), each with
    its kind and readable, and nothing else. The eleven keyboard nodes include
    four that are also mice.
presses: each keyboard and mouse recorded with presses, in a bed of its own
    replaying the frames with a key or button; `velkorctl input --watch`
    names every press and release in order (a key on a keyboard node, a
    button on a mouse node; repeats left out).
macro: `velkorctl macro record` on the Lenovo keyboard's recording (Enter
    up, Ctrl down, C down): the file holds Ctrl down, C down, C up, Ctrl up.

usage: real_input_devices_test.py listing|presses|macro VELKORCTL DATA_DIR UMOCKDEV_RUN UDEVADM
"""
import concurrent.futures
import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import realinput  # noqa: E402

MODE, CTL, DATA, UMOCKDEV_RUN, UDEVADM = sys.argv[1:6]
FAILED = []
BTN_MOUSE, BTN_JOYSTICK = 0x110, 0x120
# What velkorctl calls the keys and buttons the recordings press.
NAMES = {
    0x1C: "keyboard_key_Enter", 0x1D: "keyboard_key_LCtrl", 0x1E: "keyboard_key_A", 0x2A: "keyboard_key_LShift",
    0x2E: "keyboard_key_C", 0x110: "mouse_key_left", 0x111: "mouse_key_right", 0x112: "mouse_key_middle",
    0x113: "mouse_key_back", 0x114: "mouse_key_forward",
}
# udev's keyboard nodes that are mice too, by name.
KEYBOARD_MICE = {"Logitech K400 Plus", "Logitech Unifying Device. Wireless PID:400e",
                 "Microsoft Surface Type Cover", "Ultrathin Touch Mouse"}


def check(what, ok, detail=""):
    print(("ok: " if ok else "FAILED: ") + what + (f" ({detail})" if detail and not ok else ""))
    if not ok:
        FAILED.append(what)


def run(bed_args, ctl_args, timeout=60):
    return subprocess.run([UMOCKDEV_RUN, *bed_args, "--", CTL, *ctl_args], capture_output=True, text=True,
                          timeout=timeout, env=realinput.environment())


def kind(device):
    return "keyboard+mouse" if device.is_keyboard() and device.is_mouse() else \
        "keyboard" if device.is_keyboard() else "mouse"


def listing(devices, folder):
    realinput.classify(devices, folder, UMOCKDEV_RUN, UDEVADM)
    unclassified = [d.label() for d in devices if "ID_INPUT" not in d.udev]
    check("udev classified every device", not unclassified, ", ".join(unclassified))
    keyboards = [d for d in devices if d.is_keyboard()]
    check("eleven keyboard nodes", len(keyboards) == 11, ", ".join(d.name for d in keyboards))
    check("four of them are mice too", {d.name for d in keyboards if d.is_mouse()} == KEYBOARD_MICE,
          str(sorted(d.name for d in keyboards if d.is_mouse())))
    listed = run(realinput.write_bed(devices, folder, events="none"), ["input"])
    check("listing: exit 0", listed.returncode == 0, f"exit {listed.returncode}: {listed.stderr}")
    rows = {}
    for line in listed.stdout.splitlines():
        fields = line.split(None, 2)
        if len(fields) == 3:
            rows[fields[1]] = line
    expected = [d for d in devices if d.is_keyboard() or d.is_mouse()]
    check(f"{len(expected)} keyboards and mice listed, nothing else", len(rows) == len(expected),
          listed.stdout)
    for device in expected:
        line = rows.get(realinput.node(device), "")
        ok = line.split(None, 1)[:1] == [kind(device)] and f'"{device.name}"' in line and line.endswith("readable")
        check(f"{device.label()}: {kind(device)}, readable", ok, line or "not listed")


def expected_presses(device):
    """What `velkorctl input --watch` prints of a device's recording: kind, action, name."""
    expected = []
    for _, type_, code, value in device.events:
        button = BTN_MOUSE <= code < BTN_JOYSTICK
        # The kernel sends no code the device lacks; a node's keys or buttons are read by its class.
        if type_ != 1 or value == 2 or not device.has(1, code) or \
                not (device.is_mouse() if button else device.is_keyboard()):
            continue
        expected.append(["button" if button else "key", "down" if value else "up", NAMES.get(code, "-")])
    return expected


def presses(devices, folder):
    recorded = [d for d in devices if any(kind_ == 1 and value != 2 for _, kind_, _, value in d.events)]
    realinput.classify(recorded, folder, UMOCKDEV_RUN, UDEVADM)
    watched = [(d, expected_presses(d)) for d in recorded if expected_presses(d)]

    def watch(item):
        device, expected = item
        bed = os.path.join(folder, f"bed{device.index}")
        os.mkdir(bed)
        return run(realinput.write_bed([device], bed, events="keys"),
                   ["input", "--watch", str(len(expected)), "--seconds", "20"])

    # Two beds at a time: each replays its recording a millisecond a frame.
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        for (device, expected), result in zip(watched, pool.map(watch, watched)):
            got = [line.split(" ")[1:] for line in result.stdout.splitlines()]
            check(f"{device.label()}: {len(expected)} presses named in order",
                  result.returncode == 0 and got == expected,
                  f"exit {result.returncode}, got {got}, expected {expected}: {result.stderr}")
    check("eight recordings with presses watched", len(watched) == 8, str([d.label() for d, _ in watched]))


def macro(devices, folder):
    lenovo = [d for d in devices if d.label().endswith("Lenovo ThinkPad Compact USB Keyboard with TrackPoint"
                                                        ".keyboard.events")]
    check("the Lenovo keyboard's recording", len(lenovo) == 1)
    realinput.classify(lenovo, folder, UMOCKDEV_RUN, UDEVADM)
    path = os.path.join(folder, "lenovo.mac")
    recorded = run(realinput.write_bed(lenovo, folder, events="keys"), ["macro", "record", path, "--count", "3"])
    check("macro record: exit 0", recorded.returncode == 0, f"exit {recorded.returncode}: {recorded.stderr}")
    try:
        with open(path, encoding="utf-8") as file:
            events = json.load(file)["Events"]
    except (OSError, ValueError, KeyError) as error:
        check("macro record: a macro file", False, str(error))
        return
    rows = [(e.get("Type"), e.get("Button"), e.get("Action")) for e in events]
    # Left Ctrl is modifier bit 1 (type 9), C usage 6 (type 10); Enter would be usage 40.
    check("no leading Enter up; Ctrl and C released at the end, C first",
          rows == [(9, 1, "down"), (10, 6, "down"), (10, 6, "up"), (9, 1, "up")], json.dumps(events))
    check("the releases follow at once", [e.get("Delay") for e in events[1:]] == ["0", "0", "0"],
          json.dumps(events))


with tempfile.TemporaryDirectory(dir=realinput.scratch_root()) as scratch:
    {"listing": listing, "presses": presses, "macro": macro}[MODE](realinput.load(DATA), scratch)
sys.exit(1 if FAILED else 0)
