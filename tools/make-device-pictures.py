#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the device drawings in skin/devices/pictures/.

Each device page's selection panel (408 x 280 px) paints a drawing behind its
key and LED buttons, stretched over the whole panel, so a page drawing uses
the panel's own coordinates. The buttons light themselves; the drawing stays
dark and shows the device's body and, under every LED button "light_N", its
seat "seat_light_N" (the keyboards' keys sit on the element "plate" inside
the element "case" instead). Every drawing is built from the button
rectangles of the page's .ui file and checked against them before it is
written: the headset's and the pad's LEDs sit on the lit rings drawn for
them, each seat holds its LED's centre, and the keyboard's plate and case
hold every key of all its layout pages.

Beside each page drawing a small picture (100 x 60) shows the device in the
list of devices, about 50 x 30 px on screen.

Only plain shapes, gradients and strokes are used, no text, images or
styles, so that the program's SVG renderer (SVG Tiny) draws every file alike.

Usage: tools/make-device-pictures.py [output folder]  (default: the skin's)
"""

import math
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

from skin_ui import svg_document

ROOT = Path(__file__).resolve().parent.parent
DEVICES = ROOT / "skin" / "devices"
PANEL_W, PANEL_H = 408, 280
SMALL_W, SMALL_H = 100, 60

BODY_LIGHT, BODY_DARK = "#2b3040", "#23262d"
EDGE, HIGHLIGHT, ACCENT = "#3a3f4a", "#4a505c", "#e0402f"
CHANNEL = "#0d0e11"      # the dark light guide under a row of LEDs
SEAT = "#17191e"
SHADOW = "#000000"


# --- writing -----------------------------------------------------------------

def fmt(value):
    if isinstance(value, float):
        return f"{value:.2f}".rstrip("0").rstrip(".")
    return str(value)


def el(tag, **attrs):
    """One element; attribute names take '-' for '_' (stroke_width)."""
    text = " ".join(f'{k.rstrip("_").replace("_", "-")}="{fmt(v)}"' for k, v in attrs.items())
    return f"<{tag} {text}/>"


def linear(name, stops, x2=0, y2=1):
    inner = "".join(f'<stop offset="{fmt(o)}" stop-color="{c}"/>' for o, c in stops)
    return f'<linearGradient id="{name}" x1="0" y1="0" x2="{x2}" y2="{y2}">{inner}</linearGradient>'


def radial(name, stops):
    inner = "".join(f'<stop offset="{fmt(o)}" stop-color="{c}"/>' for o, c in stops)
    return f'<radialGradient id="{name}" cx="0.5" cy="0.45" r="0.6">{inner}</radialGradient>'


def page(defs, shapes):
    return svg_document(PANEL_W, PANEL_H, defs, shapes)


def small(defs, shapes):
    return svg_document(SMALL_W, SMALL_H, defs, shapes)


def rounded(x, y, w, h, r, **attrs):
    return el("rect", x=x, y=y, width=w, height=h, rx=r, ry=r, **attrs)


def seat(name, box, radius=4):
    """The dark cup an LED button sits in, a little larger than the button."""
    x, y, w, h = box
    return rounded(x - 1.5, y - 1.5, w + 3, h + 3, radius, id=f"seat_{name}", fill=SEAT, stroke=EDGE,
                   stroke_width=1)


# --- reading the pages --------------------------------------------------------

def buttons(ui_file, panel_prefix):
    """{name: (x, y, w, h)} of the buttons of every selection panel whose name
    starts with `panel_prefix`, a list per panel."""
    panels = []
    for panel in ET.parse(ui_file).iter("widget"):
        if panel.get("class") != "SelectPanel" or not panel.get("name").startswith(panel_prefix):
            continue
        found = {}
        for child in panel.findall("widget"):
            if child.get("class") == "DeviceKeyButton":
                r = child.find("property[@name='geometry']/rect")
                found[child.get("name")] = tuple(int(r.find(k).text) for k in ("x", "y", "width", "height"))
        panels.append(found)
    assert panels, f"{ui_file.name}: no panel {panel_prefix}"
    return panels


def centre(box):
    x, y, w, h = box
    return x + w / 2, y + h / 2


def inside(point, box):
    px, py = point
    x, y, w, h = box
    return x <= px <= x + w and y <= py <= y + h


def contains(outer, inner):
    x, y, w, h = inner
    return inside((x, y), outer) and inside((x + w, y + h), outer)


def on_ellipse(point, cx, cy, rx, ry, tolerance=0.06):
    px, py = point
    return abs(((px - cx) / rx) ** 2 + ((py - cy) / ry) ** 2 - 1) <= tolerance


def led_number(name):
    return int(name.split("_")[1])


# --- keyboards ---------------------------------------------------------------

CASE = (3, 13, 402, 254)       # the case round the key grid, about 12 px wide
CASE_RADIUS = 11
PLATE_BOX = (10, 21, 388, 238)


def keyboard_key_bounds():
    pages = buttons(DEVICES / "keyboarddevice.ui", "keyboard_device_key_light_")
    assert len(pages) == 5, "five layout pages"
    boxes = [box for keys in pages for box in keys.values()]
    left = min(x for x, *_ in boxes)
    top = min(y for _, y, *_ in boxes)
    right = max(x + w for x, _, w, _ in boxes)
    bottom = max(y + h for _, y, _, h in boxes)
    return (left, top, right - left, bottom - top), boxes


def keyboard_case(wired):
    (kx, ky, kw, _), boxes = keyboard_key_bounds()
    x, y, w, h = CASE
    px, py, pw, ph = PLATE_BOX
    defs = [linear("caseFill", [(0, BODY_LIGHT), (1, BODY_DARK)]),
            linear("plateFill", [(0, "#15171c"), (1, "#111216")])]
    shapes = [rounded(x + 2, y + 5, w, h, CASE_RADIUS + 2, fill=SHADOW, fill_opacity=0.35)]
    shapes += keyboard_top_detail(wired, y)
    shapes += [
        rounded(x + 0.5, y + 0.5, w - 1, h - 1, CASE_RADIUS, id="case", fill="url(#caseFill)", stroke=EDGE,
                stroke_width=1),
        # The light catches the front edge of the top frame.
        el("path", d=f"M {x + CASE_RADIUS} {y + 1.5} H {x + w - CASE_RADIUS}", stroke=HIGHLIGHT,
           stroke_width=1, stroke_opacity=0.7, fill="none"),
        # The frame's inner chamfer, a step down to the plate.
        rounded(px - 3.5, py - 3.5, pw + 7, ph + 7, 6, fill="none", stroke="#1c1f26", stroke_width=1),
        rounded(px + 0.5, py + 0.5, pw - 1, ph - 1, 4, id="plate", fill="url(#plateFill)", stroke="#0b0c0f",
                stroke_width=1),
    ]
    # Three lock lamps in the free corner above the keypad (left of keys 16, 17).
    key16 = [b for b in boxes if b[1] == ky and b[0] > kx + kw * 0.8]
    lamp_right = min(b[0] for b in key16) - 6
    for i in range(3):
        lx = lamp_right - 24 + i * 9
        shapes.append(rounded(lx, ky + 9, 5, 2.5, 1.2, fill="#0b0c0f", stroke=EDGE, stroke_width=0.6))
    # The case's feet edge: a darker band along the front.
    shapes.append(el("path", d=f"M {x + CASE_RADIUS} {y + h - 1.5} H {x + w - CASE_RADIUS}", stroke="#15171c",
                     stroke_width=1, fill="none"))
    return page(defs, shapes)


def keyboard_top_detail(wired, top):
    """What sits on the top edge: the cable, or the power switch and the receiver's bay."""
    if wired:
        cx = 204
        return [
            el("path", d=f"M {cx} {top + 2} V 0", stroke="#0b0c0f", stroke_width=7, fill="none"),
            el("path", d=f"M {cx} {top + 2} V 0", stroke=BODY_DARK, stroke_width=5, fill="none"),
            el("path", d=f"M {cx - 1} {top} V 0", stroke=HIGHLIGHT, stroke_width=1, stroke_opacity=0.6,
               fill="none"),
            rounded(cx - 8, top - 7, 16, 9, 3, fill=BODY_LIGHT, stroke=EDGE, stroke_width=1),
            el("path", d=f"M {cx - 5} {top - 4.5} H {cx + 5}", stroke=ACCENT, stroke_width=1, fill="none"),
        ]
    switch_x, bay_x = 300, 326
    return [
        # Power switch: a slide on the top edge, thrown to "on".
        rounded(switch_x, top - 4, 20, 6, 2, fill="#0b0c0f", stroke=EDGE, stroke_width=1),
        rounded(switch_x + 10, top - 5, 9, 7, 2, fill=HIGHLIGHT, stroke=EDGE, stroke_width=0.8),
        el("path", d=f"M {switch_x + 3} {top - 1} H {switch_x + 8}", stroke=ACCENT, stroke_width=1, fill="none"),
        # The receiver's bay, a slot with the receiver's end in it.
        rounded(bay_x, top - 3, 30, 5, 1.5, fill="#0b0c0f", stroke=EDGE, stroke_width=1),
        rounded(bay_x + 3, top - 2, 12, 3, 1, fill=BODY_LIGHT),
    ]


def keyboard_small(wired):
    defs = [linear("caseFill", [(0, BODY_LIGHT), (1, BODY_DARK)])]
    shapes = []
    x, y, w, h = 5, 16, 90, 38
    if wired:
        shapes += [el("path", d="M 50 17 C 50 10, 50 8, 50 2", stroke=HIGHLIGHT, stroke_width=2.4, fill="none",
                      stroke_linecap="round"),
                   rounded(46, 12, 8, 6, 1.5, fill=HIGHLIGHT)]
    else:
        shapes += [rounded(68, 13.5, 9, 4, 1.2, fill=HIGHLIGHT), rounded(79, 14, 9, 3.5, 1, fill="#0b0c0f",
                                                                        stroke=HIGHLIGHT, stroke_width=0.6)]
    shapes += [rounded(x, y, w, h, 4, fill="url(#caseFill)", stroke=HIGHLIGHT, stroke_width=1.2),
               rounded(x + 3, y + 3, w - 6, h - 6, 2, fill="#121317")]
    # Key rows: function row, then five rows of the main block, the
    # navigation keys and the keypad; the space bar stands out.
    unit, gap, kx0, ky0 = 3.5, 0.7, x + 4.5, y + 4.5
    rows = [[1, -0.6, 1, 1, 1, 1, -0.4, 1, 1, 1, 1, -0.4, 1, 1, 1, 1],
            [1] * 13 + [2], [1.5] + [1] * 12 + [1.5], [1.75] + [1] * 11 + [2.25],
            [2.25] + [1] * 10 + [2.75], [1.25, 1.25, 1.25, 6.25, 1.25, 1.25, 1.25, 1.25]]
    row_h = [3.2, 4, 4, 4, 4, 4]
    row_y = [ky0, ky0 + 5.2, ky0 + 10, ky0 + 14.8, ky0 + 19.6, ky0 + 24.4]
    for r, widths in enumerate(rows):
        at = kx0
        for width in widths:
            if width < 0:
                at += -width * unit
                continue
            colour = "#5d6473" if (r == 5 and width > 6) else HIGHLIGHT
            shapes.append(rounded(at, row_y[r], width * unit - gap, row_h[r], 0.6, fill=colour))
            at += width * unit
    nav_x, pad_x = kx0 + 15.5 * unit, kx0 + 18.8 * unit
    for r in (0, 1, 2):
        for c in range(3):
            shapes.append(rounded(nav_x + c * unit, row_y[r], unit - gap, row_h[r], 0.6, fill=HIGHLIGHT))
    shapes.append(rounded(nav_x + unit, row_y[4], unit - gap, 4, 0.6, fill=HIGHLIGHT))
    for c in range(3):
        shapes.append(rounded(nav_x + c * unit, row_y[5], unit - gap, 4, 0.6, fill=HIGHLIGHT))
    for r in range(1, 6):
        for c in range(4 if r < 5 else 3):
            shapes.append(rounded(pad_x + c * unit, row_y[r], unit - gap, 4, 0.6, fill=HIGHLIGHT))
    return small(defs, shapes)


# --- mouse pad ---------------------------------------------------------------

PAD_BODY = (24, 48, 368, 184)  # the light guide's line; the LEDs sit on it
PAD_RADIUS = 16
PAD_RIM = 7                    # body beyond the light guide
PAD_CLOTH_INSET = 12


def mousepad_page():
    leds = buttons(DEVICES / "mousepaddevice.ui", "mousepad_device_key_light")[0]
    assert sorted(leds) == sorted(f"light_{n}" for n in range(15)), "fifteen LEDs"
    x, y, w, h = PAD_BODY
    for name, box in leds.items():
        cx, cy = centre(box)
        assert on_rounded_rect((cx, cy), PAD_BODY, PAD_RADIUS), f"pad: {name} off the lit edge"
    cable_y = centre(leds["light_0"])[1]
    bx, by, bw, bh = x - PAD_RIM, y - PAD_RIM, w + 2 * PAD_RIM, h + 2 * PAD_RIM
    i = PAD_CLOTH_INSET
    defs = [linear("padBody", [(0, BODY_LIGHT), (1, BODY_DARK)]),
            radial("cloth", [(0, "#1f222a"), (1, "#16181d")])]
    shapes = [
        rounded(bx + 3, by + 6, bw, bh, PAD_RADIUS + PAD_RIM, fill=SHADOW, fill_opacity=0.35),
        # The cable drops from the controller at the left end down out of the picture.
        el("path", d=f"M {bx + 2} {cable_y} C {bx - 4} {cable_y}, 5 {cable_y + 6}, 5 {cable_y + 24} V {PANEL_H}",
           stroke="#0b0c0f", stroke_width=6, fill="none"),
        el("path", d=f"M {bx + 2} {cable_y} C {bx - 4} {cable_y}, 5 {cable_y + 6}, 5 {cable_y + 24} V {PANEL_H}",
           stroke=BODY_LIGHT, stroke_width=4, fill="none"),
        rounded(bx + 0.5, by + 0.5, bw - 1, bh - 1, PAD_RADIUS + PAD_RIM, id="pad", fill="url(#padBody)",
                stroke=EDGE, stroke_width=1),
        el("path", d=f"M {bx + PAD_RADIUS + PAD_RIM} {by + 1.5} H {bx + bw - PAD_RADIUS - PAD_RIM}",
           stroke=HIGHLIGHT, stroke_width=1, stroke_opacity=0.6, fill="none"),
        # The light guide all round the edge, a faint diffuser line along it.
        rounded(x, y, w, h, PAD_RADIUS, fill="none", stroke=CHANNEL, stroke_width=8),
        rounded(x, y, w, h, PAD_RADIUS, fill="none", stroke="#2a2e38", stroke_width=1),
        rounded(x + i, y + i, w - 2 * i, h - 2 * i, PAD_RADIUS - 6, id="cloth", fill="url(#cloth)",
                stroke="#101115", stroke_width=1),
        # Stitching round the cloth.
        rounded(x + i + 4, y + i + 4, w - 2 * i - 8, h - 2 * i - 8, PAD_RADIUS - 9, fill="none", stroke=EDGE,
                stroke_width=0.8, stroke_dasharray="3 3", stroke_opacity=0.6),
        # The controller at the cable end, under LED 0.
        rounded(bx - 6, cable_y - 17, 22, 34, 7, fill=BODY_LIGHT, stroke=EDGE, stroke_width=1),
    ]
    shapes += [seat(name, box) for name, box in sorted(leds.items(), key=lambda kv: led_number(kv[0]))]
    return page(defs, shapes)


def on_rounded_rect(point, box, radius, tolerance=1.0):
    """The point lies on the outline of the rounded rectangle `box`."""
    px, py = point
    x, y, w, h = box
    nearest_x = min(max(px, x + radius), x + w - radius)
    nearest_y = min(max(py, y + radius), y + h - radius)
    return abs(math.hypot(px - nearest_x, py - nearest_y) - radius) <= tolerance


def mousepad_small():
    defs = [linear("padBody", [(0, BODY_LIGHT), (1, BODY_DARK)])]
    shapes = [
        el("path", d="M 11 30 C 6 30, 4 33, 4 38 V 56", stroke=HIGHLIGHT, stroke_width=2, fill="none",
           stroke_linecap="round"),
        rounded(10, 11, 85, 38, 6, fill="url(#padBody)", stroke=HIGHLIGHT, stroke_width=1.2),
        rounded(13, 14, 79, 32, 4.5, fill="none", stroke=ACCENT, stroke_width=1.4, stroke_opacity=0.85),
        rounded(16, 17, 73, 26, 3, fill="#181a20"),
        rounded(8, 25, 6, 10, 2, fill=BODY_LIGHT, stroke=HIGHLIGHT, stroke_width=0.8),
    ]
    return small(defs, shapes)


# --- headset -----------------------------------------------------------------

CUPS = [(100, 160), (308, 160)]  # centres of the left and right ear cup
SHELL = (60, 76)                 # the cup's outer shell, half width and height
RING = (44, 58)                  # the lit ring the six LEDs of a cup sit on
MIC_TIP = (212, 252)
MIC_PIVOT = (145, 211)


def headset_page():
    leds = buttons(DEVICES / "hs6533device.ui", "hs6533_device_key_light")[0]
    assert sorted(leds) == sorted(f"light_{n}" for n in range(13)), "thirteen LEDs"
    for name, box in leds.items():
        n = led_number(name)
        if n == 6:
            assert inside(MIC_TIP, box), "light_6 off the microphone's tip"
        else:
            cx, cy = CUPS[0 if n < 6 else 1]
            assert on_ellipse(centre(box), cx, cy, *RING), f"headset: {name} off its cup's ring"
    defs = [linear("shell", [(0, BODY_LIGHT), (1, BODY_DARK)]),
            linear("band", [(0, BODY_LIGHT), (1, BODY_DARK)]),
            radial("face", [(0, "#2a2e39"), (1, "#1d2027")])]
    shapes = [el("ellipse", cx=204, cy=262, rx=170, ry=10, fill=SHADOW, fill_opacity=0.3)]
    shapes += headset_band()
    for side, (cx, cy) in enumerate(CUPS):
        shapes += headset_cup(side, cx, cy)
    shapes += headset_mic()
    shapes += [seat(name, box) for name, box in sorted(leds.items(), key=lambda kv: led_number(kv[0]))]
    return page(defs, shapes)


def headset_band():
    (lx, ly), (rx, _) = CUPS
    top = ly - SHELL[1]
    arc = f"M {lx} {top - 4} C {lx} 8, {rx} 8, {rx} {top - 4}"
    cushion = f"M {lx + 14} {top - 6} C {lx + 18} 30, {rx - 18} 30, {rx - 14} {top - 6}"
    shapes = [
        el("path", d=cushion, stroke="#0b0c0f", stroke_width=12, fill="none", stroke_linecap="round"),
        el("path", d=cushion, stroke="#17191e", stroke_width=10, fill="none", stroke_linecap="round"),
        el("path", d=arc, stroke=EDGE, stroke_width=18, fill="none"),
        el("path", d=arc, stroke="url(#band)", stroke_width=16, fill="none"),
        el("path", d=f"M {lx + 4} {top - 12} C {lx + 6} 4, {rx - 6} 4, {rx - 4} {top - 12}", stroke=HIGHLIGHT,
           stroke_width=1, stroke_opacity=0.7, fill="none"),
    ]
    for cx, _ in CUPS:
        # The slider and the fork that carries the cup.
        shapes += [
            el("path", d=f"M {cx - SHELL[0] - 6} {ly} C {cx - SHELL[0] - 6} {top + 8}, {cx - 30} {top - 8}, "
               f"{cx} {top - 8} C {cx + 30} {top - 8}, {cx + SHELL[0] + 6} {top + 8}, {cx + SHELL[0] + 6} {ly}",
               stroke=EDGE, stroke_width=6, fill="none"),
            el("path", d=f"M {cx - SHELL[0] - 6} {ly} C {cx - SHELL[0] - 6} {top + 8}, {cx - 30} {top - 8}, "
               f"{cx} {top - 8} C {cx + 30} {top - 8}, {cx + SHELL[0] + 6} {top + 8}, {cx + SHELL[0] + 6} {ly}",
               stroke=BODY_DARK, stroke_width=4, fill="none"),
            rounded(cx - 7, top - 26, 14, 22, 4, fill=BODY_DARK, stroke=EDGE, stroke_width=1),
            el("circle", cx=cx - SHELL[0] - 6, cy=ly, r=5, fill=BODY_DARK, stroke=EDGE, stroke_width=1),
            el("circle", cx=cx + SHELL[0] + 6, cy=ly, r=5, fill=BODY_DARK, stroke=EDGE, stroke_width=1),
            el("path", d=f"M {cx - 4} {top - 20} H {cx + 4} M {cx - 4} {top - 16} H {cx + 4} "
               f"M {cx - 4} {top - 12} H {cx + 4}", stroke=HIGHLIGHT, stroke_width=1, fill="none"),
        ]
    return shapes


def headset_cup(side, cx, cy):
    sx, sy = SHELL
    rx, ry = RING
    inward = 1 if side == 0 else -1  # towards the middle, where the cushion shows
    return [
        el("ellipse", cx=cx + inward * 12, cy=cy + 2, rx=sx - 2, ry=sy - 2, fill="#15171c", stroke="#0b0c0f",
           stroke_width=1),
        el("ellipse", cx=cx, cy=cy, rx=sx, ry=sy, fill="url(#shell)", stroke=EDGE, stroke_width=1),
        el("ellipse", cx=cx, cy=cy, rx=sx - 3, ry=sy - 3, fill="none", stroke=HIGHLIGHT, stroke_width=1,
           stroke_opacity=0.35),
        el("ellipse", cx=cx, cy=cy, rx=rx, ry=ry, fill="none", stroke=CHANNEL, stroke_width=9),
        el("ellipse", cx=cx, cy=cy, rx=rx, ry=ry, fill="none", stroke="#2a2e38", stroke_width=1),
        el("ellipse", cx=cx, cy=cy, rx=rx - 10, ry=ry - 10, fill="url(#face)", stroke="#15171c", stroke_width=1),
        el("ellipse", cx=cx, cy=cy, rx=rx - 22, ry=ry - 24, fill="none", stroke=EDGE, stroke_width=1),
        el("path", d=f"M {cx - (rx - 16)} {cy - 12} C {cx - (rx - 18)} {cy - ry + 20}, {cx - 8} {cy - ry + 14}, "
           f"{cx + 4} {cy - ry + 14}", stroke=HIGHLIGHT, stroke_width=1.2, stroke_opacity=0.5, fill="none"),
    ]


def headset_mic():
    px, py = MIC_PIVOT
    tx, ty = MIC_TIP
    boom = f"M {px} {py} C {px + 10} {py + 26}, {tx - 40} {ty}, {tx - 8} {ty}"
    return [
        el("path", d=boom, stroke="#0b0c0f", stroke_width=7, fill="none", stroke_linecap="round"),
        el("path", d=boom, stroke=BODY_LIGHT, stroke_width=5, fill="none", stroke_linecap="round"),
        el("circle", cx=px, cy=py, r=9, fill=BODY_LIGHT, stroke=EDGE, stroke_width=1),
        el("circle", cx=px, cy=py, r=4, fill=BODY_DARK, stroke=HIGHLIGHT, stroke_width=0.8),
        rounded(tx - 14, ty - 9, 26, 18, 9, fill=BODY_LIGHT, stroke=EDGE, stroke_width=1),
    ]


def headset_small():
    defs = [linear("shell", [(0, "#3a3f4a"), (1, BODY_DARK)])]
    shapes = [
        el("path", d="M 30 30 C 30 4, 70 4, 70 30", stroke=HIGHLIGHT, stroke_width=4, fill="none",
           stroke_linecap="round"),
    ]
    for cx in (30, 70):
        shapes += [el("ellipse", cx=cx, cy=36, rx=10, ry=14, fill="url(#shell)", stroke=HIGHLIGHT,
                      stroke_width=1.2),
                   el("ellipse", cx=cx, cy=36, rx=6, ry=9.5, fill="none", stroke=ACCENT, stroke_width=1.4,
                      stroke_opacity=0.85)]
    shapes += [el("path", d="M 37 45 C 40 52, 44 54, 50 54", stroke=HIGHLIGHT, stroke_width=1.8, fill="none",
                  stroke_linecap="round"),
               el("ellipse", cx=51, cy=54, rx=3, ry=2.4, fill=HIGHLIGHT)]
    return small(defs, shapes)


# --- checking what was drawn -------------------------------------------------

def named_boxes(text):
    """{id: (x, y, w, h)} of the drawing's named rectangles."""
    boxes = {}
    for node in ET.fromstring(text.split("\n", 2)[2]).iter():
        if node.get("id") and node.tag.endswith("rect"):
            boxes[node.get("id")] = tuple(float(node.get(k)) for k in ("x", "y", "width", "height"))
    return boxes


def check_page(name, text, ui_file, panel_prefix):
    """Every LED of the page has its seat under its centre; the keys lie on the plate inside the case."""
    boxes = named_boxes(text)
    for panel in buttons(DEVICES / ui_file, panel_prefix):
        for button, box in panel.items():
            if button.startswith("light_"):
                seat_box = boxes.get(f"seat_{button}")
                assert seat_box and inside(centre(box), seat_box), f"{name}: no seat under {button}"
            else:
                assert "plate" in boxes and "case" in boxes, f"{name}: a key but no case to hold it"
                assert contains(boxes["plate"], box) and contains(boxes["case"], box), f"{name}: {button} off the case"


PAGES = {
    "keyboard-50b7.svg": ("keyboarddevice.ui", "keyboard_device_key_light_"),
    "keyboard-511d.svg": ("keyboarddevice.ui", "keyboard_device_key_light_"),
    "mousepad.svg": ("mousepaddevice.ui", "mousepad_device_key_light"),
    "headset.svg": ("hs6533device.ui", "hs6533_device_key_light"),
}


# --- main --------------------------------------------------------------------

PICTURES = {
    "keyboard-50b7.svg": lambda: keyboard_case(wired=False),
    "keyboard-511d.svg": lambda: keyboard_case(wired=True),
    "keyboard-50b7-small.svg": lambda: keyboard_small(wired=False),
    "keyboard-511d-small.svg": lambda: keyboard_small(wired=True),
    "mousepad.svg": mousepad_page,
    "mousepad-small.svg": mousepad_small,
    "headset.svg": headset_page,
    "headset-small.svg": headset_small,
}


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else DEVICES / "pictures"
    out.mkdir(parents=True, exist_ok=True)
    for name, draw in PICTURES.items():
        text = draw()
        ET.fromstring(text.split("\n", 2)[2])  # well-formed before it is written
        if name in PAGES:
            check_page(name, text, *PAGES[name])
        (out / name).write_text(text, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
