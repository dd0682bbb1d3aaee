#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes skin/devices/mousedevice.ui, the mouse's device page.

The picture is "mouse_device_seting_layout" holding the selection panel
"mouse_device_key_light": a top view of the mouse with its eleven buttons
"key_0" .. "key_10" (left, right, wheel click, forward, back, DPI up, DPI
down, DPI cycle, game mode, wheel function, rapid fire; their captions are
set at run time), the fifteen LEDs "light_0" .. "light_14" as a skirt strip
down the left flank, round the rear and up the right flank, and the logo
overlay (tooltip "logo") on the palm rest. Beside it a side view, the plain
container "mouse_device_side_view" inside the same panel, shows the same
fifteen LEDs once more as "light_0_0" .. "light_0_14" along the base. Both
sets lie inside the selection panel because the page build looks for LED
overlays only there.

The function switch keeps its panel containers; page 2 (the cursor tab) has
five DPI stage rows, the report rate and "restore defaults"; page 3 (the
system tab) has the pointer, wheel and double-click settings of the desktop.
A stage's enable check sits beside its row container "DPI_layout_" + n, not
inside it: the logic disables the row of a disabled stage, and a check
inside it could then never be ticked again.

Every geometry is checked before the file is written: each control inside
its parent, no two siblings sharing a pixel, and no two buttons or LEDs of the picture sharing a
pixel anywhere in the panel.

The drawing under the panel's buttons, skin/devices/pictures/mouse.svg, is
written here too (with the list item's small picture, mouse-small.svg), from
the same geometry: the body and its skirt track, the
button seams, the wheel channel, the side grip, the logo's window, the side
view, and a seat "seat_" + name under every LED.

Usage: tools/make-mouse-page.py [page [drawing folder]]  (default: the skin's)
"""

import math
import sys
from pathlib import Path

from skin_ui import RESOURCE, Node, check_placement, check_tree, number, string, svg_document, text, tooltip

PANEL_W, PANEL_H = 408, 280
PAGE_W, PAGE_H = 568, 440

# Top view: the body, centred at x = 148, with rounder front corners.
BODY = (64, 12, 168, 246)
BODY_FRONT_RADIUS, BODY_REAR_RADIUS = 66, 58
LED = 12           # side of an LED overlay of the top view
LED_OFFSET = 12    # LED centres this far outside the body's outline
LED_COUNT = 15

# key number: (x, y, w, h) in the panel
KEYS = {
    0: (78, 42, 56, 86),    # left
    2: (137, 34, 22, 42),   # wheel click
    1: (162, 42, 56, 86),   # right
    9: (137, 80, 22, 18),   # wheel function, behind the wheel
    5: (137, 102, 22, 18),  # DPI up
    6: (137, 124, 22, 18),  # DPI down
    7: (128, 148, 40, 20),  # DPI cycle
    10: (90, 134, 34, 20),  # rapid fire, behind the left button
    8: (172, 134, 34, 20),  # game mode, behind the right button
    3: (68, 140, 18, 30),   # forward, on the left flank
    4: (68, 174, 18, 30),   # back
}
LOGO = (124, 190, 48, 40)

# Side view: a container in the panel; the LEDs run along the base.
SIDE_VIEW = (268, 76, 136, 130)
SIDE_BODY = (2, 30, 132, 82)
SIDE_LED, SIDE_LED_PITCH, SIDE_LED_X, SIDE_LED_Y = 8, 9, 1, 116

# Layout maxima until the mouse reports its own: the family's sensor has 73
# DPI steps.
DPI_STEPS = 73
STAGE_COLOURS = ["#FFFF0000", "#FF00FF00", "#FF0000FF", "#FFFFFF00", "#FFFF00FF"]
REPORT_RATES = [125, 250, 500, 1000, 2000]


def rounded_style(name, colour, front, rear):
    return string("styleSheet", f"#{name} {{ background-color: {colour}; border: 1px solid #3a3f4a; "
                  f"border-top-left-radius: {front[0]}px; border-top-right-radius: {front[1]}px; "
                  f"border-bottom-left-radius: {rear[0]}px; border-bottom-right-radius: {rear[1]}px; }}")


def skirt_points():
    """LED centres spread evenly along the body's outline, LED_OFFSET outside it,
    from the left flank's front end round the rear to the right flank's front end."""
    x, y, w, h = BODY
    left, right = x - LED_OFFSET, x + w + LED_OFFSET
    top = y + BODY_FRONT_RADIUS
    corner_y = y + h - BODY_REAR_RADIUS
    radius = BODY_REAR_RADIUS + LED_OFFSET
    corner_left, corner_right = x + BODY_REAR_RADIUS, x + w - BODY_REAR_RADIUS
    arc = math.pi / 2 * radius
    pieces = [  # (length, point at distance d along the piece)
        (corner_y - top, lambda d: (left, top + d)),
        (arc, lambda d: (corner_left - radius * math.cos(d / radius), corner_y + radius * math.sin(d / radius))),
        (corner_right - corner_left, lambda d: (corner_left + d, corner_y + radius)),
        (arc, lambda d: (corner_right + radius * math.sin(d / radius), corner_y + radius * math.cos(d / radius))),
        (corner_y - top, lambda d: (right, corner_y - d)),
    ]
    total = sum(length for length, _ in pieces)
    points = []
    for n in range(LED_COUNT):
        d = total * n / (LED_COUNT - 1)
        for length, at in pieces:
            if d <= length + 1e-9:
                points.append(at(min(d, length)))
                break
            d -= length
    return points


def skirt_path(offset):
    """The body's outline grown by `offset`: the track the skirt LEDs sit on when offset is LED_OFFSET."""
    x, y, w, h = BODY
    left, right, bottom = x - offset, x + w + offset, y + h + offset
    top = y + BODY_FRONT_RADIUS
    corner_y = y + h - BODY_REAR_RADIUS
    radius = BODY_REAR_RADIUS + offset
    return (f"M {left},{top} L {left},{corner_y} A {radius},{radius} 0 0 0 {x + BODY_REAR_RADIUS},{bottom} "
            f"L {x + w - BODY_REAR_RADIUS},{bottom} A {radius},{radius} 0 0 0 {right},{corner_y} L {right},{top}")


def body_path():
    x, y, w, h = BODY
    f, r = BODY_FRONT_RADIUS, BODY_REAR_RADIUS
    return (f"M {x},{y + f} A {f},{f} 0 0 1 {x + f},{y} L {x + w - f},{y} A {f},{f} 0 0 1 {x + w},{y + f} "
            f"L {x + w},{y + h - r} A {r},{r} 0 0 1 {x + w - r},{y + h} L {x + r},{y + h} "
            f"A {r},{r} 0 0 1 {x},{y + h - r} Z")


def drawing(lights, side_lights):
    """The mouse from above and from its left side, drawn under the buttons and
    LEDs of the panel in the panel's own coordinates. Every LED has a seat
    "seat_" + its name under its centre."""
    x, y, w, h = BODY
    mid = x + w // 2
    seam = 131  # where the main buttons end and the palm rest begins
    split_l, split_r = KEYS[0][0] + KEYS[0][2], KEYS[1][0]
    f = BODY_FRONT_RADIUS
    defs = [
        '<linearGradient id="shell" x1="0" y1="0" x2="0" y2="1">'
        '<stop offset="0" stop-color="#343a48"/><stop offset="1" stop-color="#23262d"/></linearGradient>',
        '<linearGradient id="side" x1="0" y1="0" x2="0" y2="1">'
        '<stop offset="0" stop-color="#323744"/><stop offset="1" stop-color="#1e2127"/></linearGradient>',
        '<radialGradient id="palm" cx="0.5" cy="0.5" r="0.5">'
        '<stop offset="0" stop-color="#3a4050" stop-opacity="0.6"/>'
        '<stop offset="1" stop-color="#3a4050" stop-opacity="0"/></radialGradient>',
    ]
    parts = [
        # The light track round the skirt: a recessed channel.
        f'<path id="skirt" d="{skirt_path(LED_OFFSET)}" fill="none" stroke="#2a2e37" stroke-width="14" '
        'stroke-linecap="round"/>',
        f'<path d="{skirt_path(LED_OFFSET)}" fill="none" stroke="#15171c" stroke-width="9" stroke-linecap="round"/>',
        f'<path id="body" d="{body_path()}" fill="url(#shell)" stroke="#3a3f4a" stroke-width="1.5"/>',
        # The main buttons, a shade lighter than the palm rest, split by the wheel channel.
        f'<path d="M {x + 1},{seam} L {x + 1},{y + f} A {f - 1},{f - 1} 0 0 1 {x + f},{y + 1} '
        f'L {split_l},{y + 1} L {split_l},{seam} Z" fill="#3a4150" fill-opacity="0.35"/>',
        f'<path d="M {x + w - 1},{seam} L {x + w - 1},{y + f} A {f - 1},{f - 1} 0 0 0 {x + w - f},{y + 1} '
        f'L {split_r},{y + 1} L {split_r},{seam} Z" fill="#3a4150" fill-opacity="0.35"/>',
        f'<path d="M {x + 2},{seam} Q {mid},{seam - 6} {x + w - 2},{seam}" fill="none" stroke="#15171c" '
        'stroke-width="1.5"/>',
        f'<rect x="{split_l}" y="{y + 14}" width="{split_r - split_l}" height="{160 - y - 14}" rx="8" '
        'fill="#16181d" stroke="#2a2e37"/>',
        f'<line x1="{mid}" y1="{y}" x2="{mid}" y2="{y + 14}" stroke="#15171c" stroke-width="1.5"/>',
        # The side grip under the thumb buttons and the palm rest with the logo's window.
        '<rect x="65" y="136" width="24" height="72" rx="7" fill="#1a1c22" stroke="#2a2e37"/>',
        f'<ellipse cx="{mid}" cy="205" rx="62" ry="44" fill="url(#palm)"/>',
        f'<rect x="{LOGO[0] - 4}" y="{LOGO[1] - 4}" width="{LOGO[2] + 8}" height="{LOGO[3] + 8}" rx="12" '
        'fill="#16181d" stroke="#3a3f4a"/>',
    ]
    for button in lights:
        bx, by, bw, bh = button.box
        parts.append(f'<circle id="seat_{button.name}" cx="{bx + bw / 2}" cy="{by + bh / 2}" r="{bw / 2 + 2}" '
                     'fill="#0e0f12" stroke="#3a3f4a"/>')
    # The side view, in the panel's coordinates: the rear on the left, the nose on the right.
    sx, sy = SIDE_VIEW[:2]
    base = sy + SIDE_BODY[1] + SIDE_BODY[3] - 2
    parts += [
        f'<rect x="{sx - 2}" y="{sy + SIDE_LED_Y - 3}" width="{SIDE_VIEW[2] + 4}" height="{SIDE_LED + 6}" rx="7" '
        'fill="#15171c" stroke="#2a2e37"/>',
        f'<path id="side_body" d="M {sx + 12},{base} L {sx + 124},{base} C {sx + 132},{base} {sx + 136},{base - 6} '
        f'{sx + 134},{base - 14} C {sx + 132},{base - 26} {sx + 126},{base - 34} {sx + 112},{base - 40} '
        f'C {sx + 88},{base - 52} {sx + 72},{base - 74} {sx + 48},{base - 78} '
        f'C {sx + 24},{base - 82} {sx + 8},{base - 70} {sx + 4},{base - 46} '
        f'C {sx},{base - 26} {sx},{base - 6} {sx + 12},{base} Z" fill="url(#side)" stroke="#3a3f4a" '
        'stroke-width="1.5"/>',
        f'<path d="M {sx + 114},{base - 39} C {sx + 92},{base - 50} {sx + 77},{base - 68} {sx + 60},{base - 75}" '
        'fill="none" stroke="#4a505c"/>',
        f'<rect x="{sx + 62}" y="{base - 44}" width="20" height="9" rx="4" fill="#1a1c22" stroke="#3a3f4a"/>',
        f'<rect x="{sx + 38}" y="{base - 46}" width="20" height="9" rx="4" fill="#1a1c22" stroke="#3a3f4a"/>',
        f'<rect x="{sx + 6}" y="{base - 3}" width="{SIDE_BODY[2] - 10}" height="3" rx="1.5" fill="#15171c"/>',
    ]
    for button in side_lights:
        bx, by, bw, bh = button.box
        parts.append(f'<circle id="seat_{button.name}" cx="{sx + bx + bw / 2}" cy="{sy + by + bh / 2}" '
                     f'r="{bw / 2 + 1}" fill="#0e0f12"/>')
    return svg_document(PANEL_W, PANEL_H, defs, parts)


# The list item's small picture: the mouse from above with its lit skirt.
SMALL_DRAWING = svg_document(50, 30, [
    '<linearGradient id="shell" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#4a5160"/>'
    '<stop offset="1" stop-color="#2b3040"/></linearGradient>',
], [
    '<path d="M 15.5,16 L 15.5,23 A 9.5,6.5 0 0 0 34.5,23 L 34.5,16" fill="none" stroke="#e0402f" '
    'stroke-width="1.6" stroke-linecap="round" stroke-opacity="0.85"/>',
    '<path d="M 17.5,9.5 A 7.5,7.5 0 0 1 32.5,9.5 L 32.5,22 A 7.5,6 0 0 1 17.5,22 Z" fill="url(#shell)" '
    'stroke="#6a7180" stroke-width="0.8"/>',
    '<path d="M 25,2 L 25,12.5 M 17.6,13.5 Q 25,12 32.4,13.5" fill="none" stroke="#1b1d22" stroke-width="0.9"/>',
    '<rect x="23.6" y="4.5" width="2.8" height="5.5" rx="1.4" fill="#121317" stroke="#8a909c" stroke-width="0.5"/>',
])


def key_button(name, box, *props):
    return Node("DeviceKeyButton", name, box, *props)


def picture():
    """The selection panel with its buttons and LEDs, and the drawing that goes under them."""
    keys = [key_button(f"key_{k}", box) for k, box in KEYS.items()]
    lights = [key_button(f"light_{n}", (round(cx) - LED // 2, round(cy) - LED // 2, LED, LED))
              for n, (cx, cy) in enumerate(skirt_points())]
    logo = key_button("logo", LOGO, tooltip("logo"), RESOURCE)
    side_lights = [key_button(f"light_0_{n}", (SIDE_LED_X + n * SIDE_LED_PITCH, SIDE_LED_Y, SIDE_LED, SIDE_LED))
                   for n in range(LED_COUNT)]
    side = Node("QWidget", "mouse_device_side_view", SIDE_VIEW, children=side_lights)
    panel = Node("SelectPanel", "mouse_device_key_light", (0, 0, PANEL_W, PANEL_H),
                 children=keys + lights + [logo, side])
    # Buttons and LEDs of both views apart from each other in panel terms.
    sx, sy = SIDE_VIEW[:2]
    every = [(b.name, *b.box) for b in keys + lights + [logo]] + \
        [(b.name, b.box[0] + sx, b.box[1] + sy, *b.box[2:]) for b in side_lights]
    check_placement(every, PANEL_W, PANEL_H, "mouse picture")
    layout = Node("QWidget", "mouse_device_seting_layout", (12, 84, PANEL_W, PANEL_H), children=[panel])
    return layout, drawing(lights, side_lights)


def horizontal_slider(name, box, minimum, maximum, value, single=1, page=1, *props):
    return Node("QSlider", name, box, '<property name="orientation"><enum>Qt::Horizontal</enum></property>',
                number("minimum", minimum), number("maximum", maximum), number("value", value),
                number("singleStep", single), number("pageStep", page), *props)


def label(name, box, key, *props):
    return Node("QLabel", name, box, text(key), *props)


def option_group(container, family, box, captions, width):
    """Option buttons `family` + i alone in `container`: choosing one deselects only its siblings."""
    return Node("QWidget", container, box, children=[
        Node("QRadioButton", f"{family}{i}", (i * width, 0, width - 8, 24), text(caption))
        for i, caption in enumerate(captions)])


def cursor_page():
    """Page 2 of the function switch: DPI stages, report rate, restore defaults."""
    children = [label("mouse_dpi_heading", (16, 12, 536, 24), "mouse_dpi_title")]
    for n in range(5):
        y = 44 + 38 * n
        children.append(Node("QCheckBox", f"DPI_enable_check_{n}", (16, y, 100, 28), text(f"mouse_dpi_stage_{n}")))
        children.append(Node("QWidget", f"DPI_layout_{n}", (120, y, 432, 28), children=[
            Node("QRadioButton", f"DPI_select_check_{n}", (0, 2, 24, 24), tooltip("mouse_dpi_select_tip"), RESOURCE),
            horizontal_slider(f"DPI_slider_{n}", (30, 2, 270, 24), 0, DPI_STEPS, 0, 1, 1, tooltip("dpi_stage_tip")),
            Node("QLineEdit", f"DPI_edit_{n}", (308, 0, 72, 28), number("maxLength", 5),
                 '<property name="toolTip"><string>dpi_stage_tip</string></property>'),
            Node("QPushButton", f"DPI_color_option_{n}", (388, 2, 40, 24), string("text", ""),
                 string("bkColor", STAGE_COLOURS[n], dynamic=True), tooltip("mouse_dpi_colour_tip"), RESOURCE),
        ]))
    children += [
        label("mouse_polling_heading", (16, 244, 536, 24), "system_polling_rate_title"),
        option_group("polling_rate_options", "polling_rate_option_", (32, 274, 520, 24),
                     [f"system_polling_rate_{hz}" for hz in REPORT_RATES], 104),
        Node("QPushButton", "default_btn", (368, 396, 184, 32), text("system_default_text")),
    ]
    return Node("QWidget", "device_function_page_2", None, children=children)


def system_page():
    """Page 3 of the function switch: the desktop's pointer, wheel and double-click settings."""
    wrap = '<property name="wordWrap"><bool>true</bool></property>'
    hidden = '<property name="visible"><bool>false</bool></property>'
    options_layout = Node("QWidget", "mouse_option_layout", (0, 0, PAGE_W, PAGE_H), children=[
        label("mouse_pointer_heading", (16, 12, 536, 24), "mouse_pointer_title"),
        label("pointer_speed_label", (32, 44, 180, 24), "mouse_pointer_speed_text"),
        horizontal_slider("pointer_speed_slider", (216, 44, 320, 24), 1, 20, 10),
        Node("QCheckBox", "pointer_precision_check", (32, 76, 504, 24), text("mouse_pointer_precision_text")),
        label("mouse_wheel_heading", (16, 116, 536, 24), "mouse_wheel_title"),
        label("scroll_speed_label", (32, 148, 180, 24), "mouse_scroll_lines_text"),
        horizontal_slider("scroll_speed_slider", (216, 148, 320, 24), 1, 20, 3),
        Node("QCheckBox", "scrolls_page_check", (32, 180, 504, 24), text("mouse_scroll_page_text")),
        label("mouse_double_click_heading", (16, 220, 536, 24), "mouse_double_click_title"),
        label("double_click_label", (32, 252, 180, 24), "mouse_double_click_speed_text"),
        horizontal_slider("double_click_slider", (216, 252, 320, 24), 200, 900, 500, 10, 100),
        Node("QPushButton", "ornicms_dkey_test_0", (32, 288, 240, 56), text("mouse_double_click_test_text")),
        # Shown by the logic with the reason when the desktop cannot take a setting.
        label("pointer_tip_label", (32, 360, 504, 48), "pointer_not_offered_tip", wrap, hidden),
    ])
    return Node("QWidget", "device_function_page_3", None, children=[options_layout])


def panel(name):
    return Node("QWidget", name, (0, 0, PAGE_W, PAGE_H))


def macro_page():
    """Page 1 of the function switch: the macros and, chosen above them, the recoil patterns."""
    tab_h = 32
    return Node("QWidget", "device_function_page_1", None, children=[
        Node("QWidget", "mouse_macro_page_layout", (8, 4, 400, 24), children=[
            Node("QRadioButton", f"mouse_macro_page_option_{i}", (i * 200, 0, 192, 24), text(caption),
                 '<property name="checked"><bool>true</bool></property>' if i == 0 else "")
            for i, caption in enumerate(("mouse_macro_page_macro_text", "mouse_macro_page_recoil_text"))]),
        Node("QStackedWidget", "mouse_macro_page_switch", (0, tab_h, PAGE_W, PAGE_H - tab_h), children=[
            Node("QWidget", "mouse_macro_page_0", None, children=[
                Node("QWidget", "MacroSetControlUI", (0, 0, PAGE_W, PAGE_H - tab_h))]),
            Node("QWidget", "mouse_macro_page_1", None, children=[
                Node("QWidget", "ShootKeySetControlUI", (0, 0, PAGE_W, PAGE_H - tab_h))]),
        ]),
    ])


def page():
    switch = Node("QStackedWidget", "device_function_switch", (432, 76, PAGE_W, PAGE_H), children=[
        Node("QWidget", "device_function_page_0", None, children=[
            Node("QStackedWidget", "device_key_function_switch", (0, 0, PAGE_W, PAGE_H), children=[
                Node("QWidget", f"device_key_function_page_{i}", None, children=[panel(name)])
                for i, name in enumerate(("LightSetControlUI", "KeySetControlUI", "MagicSetControlUI"))
            ]),
        ]),
        macro_page(),
        cursor_page(),
        system_page(),
    ])
    layout, _ = picture()
    top = Node("TolvanicMouseDevice", "mouse_device_page", (0, 0, 1000, 516), children=[
        Node("QWidget", "DeviceProfileUI", (0, 0, 1000, 76)),
        layout,
        Node("QLabel", "device_title_label", (12, 372, 408, 24), string("text", "Mouse")),
        label("device_tishi_info", (12, 400, 408, 44), "mouse_key_tip_text",
              '<property name="wordWrap"><bool>true</bool></property>'),
        switch,
    ])
    check_tree(top, top.box[2:])
    return HEADER + "<ui version=\"4.0\">\n <class>TolvanicMouseDevice</class>\n" + top.xml() + \
        "\n <resources/>\n <connections/>\n</ui>\n"


HEADER = """<?xml version="1.0" encoding="UTF-8"?>
<!-- Mouse page, written by tools/make-mouse-page.py: change the script, not this file.
     The picture "mouse_device_seting_layout" holds the selection panel
     "mouse_device_key_light": the top view with the buttons "key_0" .. "key_10",
     the LED strip "light_0" .. "light_14" and the logo overlay (tooltip "logo"),
     and the side view "mouse_device_side_view" with the same LEDs as
     "light_0_0" .. "light_0_14". The function switch shows, by the option tab
     chosen: page 0 the key function switch (lighting, key assignment, headset
     effects), page 1 the macros, page 2 the cursor (DPI stages, report rate,
     restore defaults), page 3 the system settings (pointer, wheel,
     double-click). Panels whose layouts the program does not have yet stay
     empty. Texts are language keys. -->
"""


def main():
    skin = Path(__file__).resolve().parent.parent / "skin" / "devices"
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else skin / "mousedevice.ui"
    out.write_text(page(), encoding="utf-8")
    drawings = Path(sys.argv[2]) if len(sys.argv) > 2 else skin / "pictures"
    drawings.mkdir(parents=True, exist_ok=True)
    (drawings / "mouse.svg").write_text(picture()[1], encoding="utf-8")
    (drawings / "mouse-small.svg").write_text(SMALL_DRAWING, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
