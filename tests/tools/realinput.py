# SPDX-License-Identifier: GPL-3.0-or-later
"""Test beds of the real input devices in tests/data/real/input-devices.

Two kinds of recording are read as they are:
- evemu files (evemu-devices/): a file describes one device (N:, I:, P:, B:,
  A: lines) and may carry its events (E: lines); a file of events only
  belongs to the description in its folder whose name starts its own. They
  carry no udev properties: udev's own input_id (`udevadm test-builtin
  input_id`) classifies each from its capabilities in a umockdev bed;
- umockdev records (umockdev/devices/input/): sysfs and udev as recorded,
  udev's ID_INPUT_* properties included, and an evtest read script.

What umockdev needs differently is written into a scratch folder:
- the type bits (B: 00) of many evemu files lack types whose codes they list;
  a type is taken as present when its codes are, as the kernel sets them;
- umockdev answers an ioctl only at the size it was recorded with, so every
  answer is written at the size libevdev asks with;
- umockdev reads a microsecond field with a leading zero as octal, so the
  times are written again without one, the frames a millisecond apart (the
  order stays, and the tests need no long waits);
- a bed's node is a pseudo-terminal, not evdev: a reader that falls 4 KB
  behind reads part of an event, which libevdev refuses (the kernel never
  hands one out). The tests that need only the presses replay only the frames
  with a key or button, which stay far below that.
"""
import os
import re
import struct
import subprocess

EV_SYN, EV_KEY, EV_REL, EV_ABS, EV_MSC, EV_SW, EV_LED, EV_SND, EV_REP, EV_FF = (
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x11, 0x12, 0x14, 0x15)
ABS_MT_SLOT = 0x2F
# The bytes libevdev asks each type's code bits with (its arrays on 64-bit Linux).
BIT_BYTES = {EV_SYN: 8, EV_KEY: 96, EV_REL: 8, EV_ABS: 8, EV_MSC: 8, EV_SW: 8, EV_LED: 8, EV_SND: 8,
             EV_FF: 16}
SYSFS_NAMES = {EV_SYN: "ev", EV_KEY: "key", EV_REL: "rel", EV_ABS: "abs", EV_MSC: "msc", EV_SW: "sw",
               EV_LED: "led", EV_SND: "snd", EV_FF: "ff"}
# The udev property of each type's bits in a umockdev record.
UDEV_BIT_NAMES = {EV_SYN: "EV", EV_KEY: "KEY", EV_REL: "REL", EV_ABS: "ABS", EV_MSC: "MSC", EV_SW: "SW",
                  EV_LED: "LED", EV_SND: "SND", EV_FF: "FF"}
# The first node number of evemu devices in a bed (below it: the umockdev records' own).
FIRST_EVEMU_NODE = 20


def _set_bit(mask, bit):
    while len(mask) <= bit // 8:
        mask.append(0)
    mask[bit // 8] |= 1 << (bit % 8)


def _bit(mask, bit):
    return bit // 8 < len(mask) and mask[bit // 8] & (1 << (bit % 8)) != 0


def _from_sysfs_bits(text):
    """A bit mask as the kernel shows it (longs, most significant first) as bytes."""
    mask = bytearray()
    for value in reversed(text.split()):
        mask.extend(int(value, 16).to_bytes(8, "little"))
    return mask


def _sysfs_bits(mask):
    longs = [int.from_bytes(bytes(mask[i:i + 8]).ljust(8, b"\0"), "little") for i in range(0, len(mask), 8)]
    while len(longs) > 1 and longs[-1] == 0:
        longs.pop()
    return " ".join("%x" % value for value in reversed(longs or [0]))


class Device:
    """One input node: its description, its events and udev's ID_INPUT_* properties."""

    def __init__(self, path):
        self.path = path
        self.name = ""
        self.ids = [0, 0, 0, 0]
        self.props = bytearray()
        self.bits = {}
        self.absinfo = {}  # code: [value, min, max, fuzz, flat, resolution]
        self.events = []  # (microseconds, type, code, value)
        self.udev = {}
        self.record = None  # a umockdev record's own text, used as it is
        self.index = None  # its node number, event<index>

    def label(self):
        return os.path.relpath(self.path, os.path.dirname(os.path.dirname(self.path)))

    def has(self, kind, code):
        return _bit(self.bits.get(kind, b""), code)

    def is_keyboard(self):
        return self.udev.get("ID_INPUT_KEYBOARD") == "1"

    def is_mouse(self):
        return self.udev.get("ID_INPUT_MOUSE") == "1"

    def finish(self):
        types = self.bits.setdefault(EV_SYN, bytearray())
        _set_bit(types, EV_SYN)
        for kind, mask in self.bits.items():
            if kind != EV_SYN and any(mask):
                _set_bit(types, kind)


def _read_evemu(device, path, description):
    with open(path, encoding="utf-8", errors="replace") as file:
        for line in file:
            tag, _, rest = line.partition(": ")
            if tag == "E":
                when, kind, code, value = rest.split("#", 1)[0].split()
                seconds, _, micro = when.partition(".")
                us = int(seconds, 10) * 1_000_000 + int(micro or "0", 10)
                device.events.append((us, int(kind, 16), int(code, 16), int(value, 10)))
            elif not description:
                continue
            elif tag == "N":
                device.name = rest.rstrip("\n")
            elif tag == "I":
                device.ids = [int(field, 16) for field in rest.split()]
            elif tag == "P":
                device.props.extend(int(field, 16) for field in rest.split())
            elif tag == "B":
                fields = [int(field, 16) for field in rest.split()]
                device.bits.setdefault(fields[0], bytearray()).extend(fields[1:])
            elif tag == "A":
                fields = rest.split()
                # code min max fuzz flat [resolution]; the value is the kernel's to report
                numbers = [int(field) for field in fields[1:]] + [0]
                device.absinfo[int(fields[0], 16)] = [0] + numbers[:5]


def _blocks(record):
    return [block for block in record.split("\n\n") if block.startswith("P: ")]


def _read_umockdev(path):
    """The event node of a umockdev record, with its parent input device's capabilities."""
    with open(path, encoding="utf-8") as file:
        record = file.read()
    device = Device(path)
    device.record = record
    blocks = _blocks(record)
    node = next(b for b in blocks if re.search(r"^N: input/event\d+$", b, re.M))
    parent_path = node.split("\n", 1)[0][3:].rsplit("/", 1)[0]
    parent = next(b for b in blocks if b.split("\n", 1)[0][3:] == parent_path)
    device.index = int(re.search(r"^N: input/event(\d+)$", node, re.M).group(1))
    device.udev = dict(re.findall(r"^E: (ID_INPUT[A-Z_]*)=(\S+)$", node, re.M))
    properties = dict(re.findall(r"^E: ([A-Z_]+)=(.*)$", parent, re.M))
    device.name = properties.get("NAME", "").strip('"')
    bus, vendor, product, version = (properties.get("PRODUCT", "0/0/0/0").split("/") + ["0"] * 4)[:4]
    device.ids = [int(bus, 16), int(vendor, 16), int(product, 16), int(version, 16)]
    device.props = _from_sysfs_bits(properties.get("PROP", "0"))
    for kind, name in UDEV_BIT_NAMES.items():
        if name in properties:
            device.bits[kind] = _from_sysfs_bits(properties[name])
    script = os.path.join(os.path.dirname(path), os.path.basename(path).split(".")[0] + ".evtest.script.64")
    if os.path.exists(script):
        device.events = _read_script(script)
    device.finish()
    return device


def _read_script(path):
    """The input events of a umockdev read script (64-bit struct input_event, ^-escaped)."""
    events = []
    with open(path, "rb") as file:
        for line in file.read().split(b"\n"):
            if not line.startswith(b"r "):
                continue
            payload = line.split(b" ", 2)[2]
            data, i = bytearray(), 0
            while i < len(payload):
                if payload[i] == ord("^"):
                    data.append(ord("^") if payload[i + 1] == ord("`") else payload[i + 1] - 64)
                    i += 2
                else:
                    data.append(payload[i])
                    i += 1
            for offset in range(0, len(data) - 23, 24):
                sec, usec, kind, code, value = struct.unpack("<qqHHi", data[offset:offset + 24])
                events.append((sec * 1_000_000 + usec, kind, code, value))
    return events


def load(folder):
    """Every device described under `folder` (tests/data/real/input-devices), evemu ones first."""
    devices, loose = [], []
    evemu = os.path.join(folder, "evemu-devices")
    for root, _, files in sorted(os.walk(evemu)):
        for name in sorted(files):
            if name.endswith((".desc", ".events", ".evemu", ".device")):
                path = os.path.join(root, name)
                with open(path, encoding="utf-8", errors="replace") as file:
                    described = any(line.startswith("N: ") for line in file)
                (devices if described else loose).append(path)
    devices = [Device(path) for path in devices]
    for device in devices:
        _read_evemu(device, device.path, description=True)
    for path in loose:
        name = os.path.basename(path)
        owners = [d for d in devices if os.path.dirname(d.path) == os.path.dirname(path)
                  and name.startswith(os.path.splitext(os.path.basename(d.path))[0])]
        if owners:
            _read_evemu(max(owners, key=lambda d: len(d.path)), path, description=False)
    for device in devices:
        device.finish()
    umockdev = os.path.join(folder, "umockdev", "devices", "input")
    devices += [_read_umockdev(os.path.join(umockdev, name)) for name in sorted(os.listdir(umockdev))
                if name.endswith(".umockdev")]
    number = FIRST_EVEMU_NODE
    for device in devices:
        if device.index is None:
            device.index, number = number, number + 1
    return devices


def node(device):
    return f"/dev/input/event{device.index}"


def device_record(device):
    """The umockdev record of a device: its own, or its node and input device with udev's properties."""
    if device.record is not None:
        return device.record.rstrip("\n") + "\n\n"
    index = device.index
    parent = f"/devices/virtual/input/input{index}"
    minor = 64 + index
    props = [f"E: {key}={value}" for key, value in sorted(device.udev.items())]
    name = device.name.replace("\n", " ")
    lines = [f"P: {parent}/event{index}", f"N: input/event{index}", f"E: DEVNAME=/dev/input/event{index}",
             "E: SUBSYSTEM=input", "E: MAJOR=13", f"E: MINOR={minor}", *props, f"A: dev=13:{minor}", "",
             f"P: {parent}", "E: SUBSYSTEM=input", f'E: NAME="{name}"', *props, f"A: name={name}"]
    for kind, sysfs in SYSFS_NAMES.items():
        lines.append(f"A: capabilities/{sysfs}={_sysfs_bits(device.bits.get(kind, b''))}")
    lines.append(f"A: properties={_sysfs_bits(device.props)}")
    for field, value in zip(("bustype", "vendor", "product", "version"), device.ids):
        lines.append(f"A: id/{field}={value:04x}")
    return "\n".join(lines) + "\n\n"


def _hex(data):
    return bytes(data).hex().upper()


def ioctl_record(device):
    """The evdev requests libevdev makes when it opens the node, answered at its sizes."""
    name = device.name.encode()[:254]
    lines = [f"@DEV {node(device)}", "EVIOCGVERSION 0 01000100",
             "EVIOCGID 0 " + _hex(b"".join(v.to_bytes(2, "little") for v in device.ids)),
             f"EVIOCGNAME(0) {len(name) + 1} " + _hex(name.ljust(255, b"\0")),
             "EVIOCGPROP(0) 8 " + _hex(bytes(device.props[:8]).ljust(8, b"\0"))]
    for kind, size in BIT_BYTES.items():
        mask = bytes(device.bits.get(kind, b""))[:size].ljust(size, b"\0")
        lines.append(f"EVIOCGBIT({kind}) {size} {_hex(mask)}")
    lines += ["EVIOCGKEY(0) 96 " + "00" * 96, "EVIOCGLED(0) 8 " + "00" * 8, "EVIOCGSW(0) 8 " + "00" * 8]
    if _bit(device.bits[EV_SYN], EV_REP):
        lines.append("EVIOCGREP 0 FA00000021000000")  # 250 ms delay, 33 ms period
    for code in range(64):
        if device.has(EV_ABS, code):
            info = device.absinfo.get(code, [0] * 6)
            data = b"".join(int(v).to_bytes(4, "little", signed=True) for v in info)
            lines.append(("EVIOCGABS" if code == 0 else f"EVIOCGABS({code})") + " 0 " + _hex(data))
    if device.has(EV_ABS, ABS_MT_SLOT):
        slots = device.absinfo.get(ABS_MT_SLOT, [0, 0, 0])[2] + 1
        for code in range(ABS_MT_SLOT + 1, 64):
            if device.has(EV_ABS, code):
                lines.append("EVIOCGMTSLOTS(0) 0 " + _hex(code.to_bytes(4, "little") + bytes(4 * slots)))
    return "\n".join(lines) + "\n"


def _frames(events):
    """The events in frames, each ended by its SYN_REPORT."""
    frames, frame = [], []
    for event in events:
        frame.append(event)
        if event[1] == EV_SYN and event[2] == 0:
            frames.append(frame)
            frame = []
    return frames + ([frame] if frame else [])


def events_record(device, gap_us, keys_only):
    """The events as umockdev replays them: from 0, no leading zeros, frames `gap_us` apart
    (umockdev writes the events of one millisecond together); with `keys_only`, only
    the frames with a key or button."""
    frames = _frames(device.events)
    if keys_only:
        frames = [frame for frame in frames if any(event[1] == EV_KEY for event in frame)]
    lines = ["# EVEMU 1.3"]
    for number, frame in enumerate(frames):
        now = number * gap_us
        lines += [f"E: {now // 1_000_000}.{now % 1_000_000} {kind:04x} {code:04x} {value}"
                  for _, kind, code, value in frame]
    return "\n".join(lines) + "\n"


def scratch_root():
    """A memory file system for the beds when there is one: umockdev builds a bed
    file by file, which on a busy disk takes seconds."""
    return "/dev/shm" if os.path.isdir("/dev/shm") and os.access("/dev/shm", os.W_OK) else None


def environment():
    env = dict(os.environ)
    if scratch_root():
        env["TMPDIR"] = scratch_root()
    return env


def classify(devices, folder, umockdev_run, udevadm):
    """udev's input_id on every device without udev properties, in one bed, two at a time."""
    todo = [device for device in devices if device.record is None]
    if not todo:
        return
    record = os.path.join(folder, "classify.umockdev")
    with open(record, "w", encoding="utf-8") as file:
        file.writelines(device_record(device) for device in todo)
    # Two at a time; each answer line is marked with its node, as the halves' lines mix.
    halves = [todo[0::2], todo[1::2]]
    script = " & ".join(
        "(" + "; ".join(f"{udevadm} test-builtin input_id /sys/devices/virtual/input/input{d.index}/event{d.index} "
                        f"2>/dev/null | sed 's/^/{d.index} /'" for d in half) + ")"
        for half in halves if half) + "; wait"
    run = subprocess.run([umockdev_run, "-d", record, "--", "sh", "-c", script], capture_output=True, text=True,
                         timeout=240, env=environment())
    if run.returncode != 0:
        raise RuntimeError(f"udevadm under umockdev-run failed: {run.stderr}")
    by_index = {device.index: device for device in todo}
    for line in run.stdout.splitlines():
        match = re.fullmatch(r"(\d+) (ID_INPUT[A-Z_]*)=(\S+)", line)
        if match and int(match.group(1)) in by_index:
            by_index[int(match.group(1))].udev[match.group(2)] = match.group(3)


def write_bed(devices, folder, events="all", gap_us=1000):
    """Writes the files of a bed with `devices` and returns its umockdev-run
    arguments. `events`: "all" of each device's events, replayed from its
    node's opening, "keys" only the frames with a key or button, or "none"."""
    args = []
    for device in devices:
        base = os.path.join(folder, f"event{device.index}")
        with open(base + ".umockdev", "w", encoding="utf-8") as file:
            file.write(device_record(device))
        with open(base + ".ioctl", "w", encoding="utf-8") as file:
            file.write(ioctl_record(device))
        args += ["-d", base + ".umockdev", "-i", f"{node(device)}={base}.ioctl"]
        if events != "none" and device.events:
            with open(base + ".events", "w", encoding="utf-8") as file:
                file.write(events_record(device, gap_us, events == "keys"))
            args += ["-e", f"{node(device)}={base}.events"]
    return args
