#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes skin/devices/mousepaddevice.ui, the mouse pad's device page.

The picture is the selection panel "mousepad_device_key_light": it paints
the drawing skin/devices/pictures/mousepad.svg (a top view of the wide pad
with its lit edge, made by tools/make-device-pictures.py) behind the fifteen
LEDs "light_0" .. "light_14", placed on the drawn edge in the order the light
runs round it. LED 0 sits in the middle of the left
(cable) end; LEDs 1 .. 7 run along the far edge from left to right and LEDs
8 .. 14 come back along the near edge from right to left, so the members of
each pair (1, 14), (2, 13) .. (7, 8) face each other across the pad, as the
pad's paired-ring effect lights them.

The pad has lighting only: the function switch keeps its pages so that every
option tab still selects a page, but only the lighting panel's container is
on them (the profile bar shows the pad no other tab).

Every geometry is checked before the file is written: each control inside
its parent, no two siblings sharing a pixel, pairs straight across from each other and the ring's neighbours
next to each other.

Usage: tools/make-mousepad-page.py [output]  (default: the skin file)
"""

import sys
from pathlib import Path

from skin_ui import Node, check_placement, check_tree, string

PANEL_W, PANEL_H = 408, 280
PAGE_W, PAGE_H = 568, 440

BODY = (24, 48, 368, 184)  # the drawn pad's lit edge, wider than deep
LED = 14                   # side of an LED overlay
LED_COUNT = 15
PAIRS = [(k, LED_COUNT - k) for k in range(1, 8)]
EDGE_MARGIN = 40           # first and last LED of an edge this far in from the ends


def ring_centres():
    """LED centres on the pad's edge in ring order: 0 at the left end, 1..7
    along the far edge, 8..14 back along the near edge."""
    x, y, w, h = BODY
    first, last = x + EDGE_MARGIN, x + w - EDGE_MARGIN
    along = [first + (last - first) * i / 6 for i in range(7)]
    centres = [(x, y + h / 2)]
    centres += [(cx, y) for cx in along]
    centres += [(cx, y + h) for cx in reversed(along)]
    return centres


def check_ring(centres):
    assert len(centres) == LED_COUNT
    for a, b in PAIRS:
        assert centres[a][0] == centres[b][0] and centres[a][1] < centres[b][1], f"pair ({a}, {b}) not across"
    # Neighbours in ring order are nearer each other than any LED two places on.
    step = [abs(complex(*centres[n]) - complex(*centres[(n + 1) % LED_COUNT])) for n in range(LED_COUNT)]
    for n in range(LED_COUNT):
        skip = abs(complex(*centres[n]) - complex(*centres[(n + 2) % LED_COUNT]))
        assert step[n] < skip, f"LED {n}: ring order broken"


def picture():
    centres = ring_centres()
    check_ring(centres)
    lights = [Node("DeviceKeyButton", f"light_{n}", (round(cx) - LED // 2, round(cy) - LED // 2, LED, LED))
              for n, (cx, cy) in enumerate(centres)]
    check_placement([(b.name, *b.box) for b in lights], PANEL_W, PANEL_H, "mouse pad picture")
    return Node("SelectPanel", "mousepad_device_key_light", (12, 84, PANEL_W, PANEL_H),
                children=lights)


def panel(name):
    return Node("QWidget", name, (0, 0, PAGE_W, PAGE_H))


def page():
    # Key function pages 1 and 2 and function pages 1..3 stay empty: the pad
    # has no keys, macros, cursor or system settings.
    switch = Node("QStackedWidget", "device_function_switch", (432, 76, PAGE_W, PAGE_H), children=[
        Node("QWidget", "device_function_page_0", None, children=[
            Node("QStackedWidget", "device_key_function_switch", (0, 0, PAGE_W, PAGE_H), children=[
                Node("QWidget", "device_key_function_page_0", None, children=[panel("LightSetControlUI")]),
                Node("QWidget", "device_key_function_page_1", None),
                Node("QWidget", "device_key_function_page_2", None),
            ]),
        ]),
    ] + [Node("QWidget", f"device_function_page_{n}", None) for n in (1, 2, 3)])
    top = Node("TolvanicMousePadDevice", "mousepad_device_page", (0, 0, 1000, 516), children=[
        Node("QWidget", "DeviceProfileUI", (0, 0, 1000, 76)),
        picture(),
        Node("QLabel", "device_title_label", (12, 372, 408, 24), string("text", "Mouse pad")),
        switch,
    ])
    check_tree(top, top.box[2:])
    return HEADER + "<ui version=\"4.0\">\n <class>TolvanicMousePadDevice</class>\n" + top.xml() + \
        "\n <resources/>\n <connections/>\n</ui>\n"


HEADER = """<?xml version="1.0" encoding="UTF-8"?>
<!-- Mouse pad page, written by tools/make-mousepad-page.py: change the script, not this file.
     The selection panel "mousepad_device_key_light" paints the drawn pad
     (pictures/mousepad.svg) behind its LEDs on the pad's lit edge: "light_0" at the cable end, "light_1" .. "light_7" along the far
     edge and "light_8" .. "light_14" back along the near edge, so that the
     pairs (1, 14) .. (7, 8) face each other. The function switch keeps its
     pages for every option tab; only the lighting panel's container is on
     them. -->
"""


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else \
        Path(__file__).resolve().parent.parent / "skin" / "devices" / "mousepaddevice.ui"
    out.write_text(page(), encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
