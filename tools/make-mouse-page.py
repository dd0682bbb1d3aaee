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
its parent, no two siblings sharing a pixel (the drawn mouse bodies behind
the buttons excepted), and no two buttons or LEDs of the picture sharing a
pixel anywhere in the panel.

Usage: tools/make-mouse-page.py [output]  (default: the skin file)
"""

import math
import sys
from pathlib import Path

from skin_ui import RESOURCE, Node, check_placement, check_tree, number, string, text, tooltip

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


def key_button(name, box, *props):
    return Node("DeviceKeyButton", name, box, *props)


def picture():
    x, y, w, h = BODY
    body = Node("QFrame", "mouse_top_body", BODY,
                rounded_style("mouse_top_body", "#23262d", (BODY_FRONT_RADIUS,) * 2, (BODY_REAR_RADIUS,) * 2),
                decoration=True)
    keys = [key_button(f"key_{k}", box) for k, box in KEYS.items()]
    lights = [key_button(f"light_{n}", (round(cx) - LED // 2, round(cy) - LED // 2, LED, LED))
              for n, (cx, cy) in enumerate(skirt_points())]
    logo = key_button("logo", LOGO, tooltip("logo"), RESOURCE)
    side_body = Node("QFrame", "mouse_side_body", SIDE_BODY,
                     rounded_style("mouse_side_body", "#23262d", (34, 56), (6, 6)), decoration=True)
    side_lights = [key_button(f"light_0_{n}", (SIDE_LED_X + n * SIDE_LED_PITCH, SIDE_LED_Y, SIDE_LED, SIDE_LED))
                   for n in range(LED_COUNT)]
    side = Node("QWidget", "mouse_device_side_view", SIDE_VIEW, children=[side_body] + side_lights)
    panel = Node("SelectPanel", "mouse_device_key_light", (0, 0, PANEL_W, PANEL_H),
                 children=[body] + keys + lights + [logo, side])
    # Buttons and LEDs of both views apart from each other in panel terms.
    sx, sy = SIDE_VIEW[:2]
    every = [(b.name, *b.box) for b in keys + lights + [logo]] + \
        [(b.name, b.box[0] + sx, b.box[1] + sy, *b.box[2:]) for b in side_lights]
    check_placement(every, PANEL_W, PANEL_H, "mouse picture")
    return Node("QWidget", "mouse_device_seting_layout", (12, 84, PANEL_W, PANEL_H), children=[panel])


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
    top = Node("TolvanicMouseDevice", "mouse_device_page", (0, 0, 1000, 516), children=[
        Node("QWidget", "DeviceProfileUI", (0, 0, 1000, 76)),
        picture(),
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
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else \
        Path(__file__).resolve().parent.parent / "skin" / "devices" / "mousedevice.ui"
    out.write_text(page(), encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
