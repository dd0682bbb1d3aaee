#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes skin/devices/keyboarddevice.ui, the keyboard's device page.

The key picture is a tab container "keyboard_device_key_layout" of five
"SelectPanel" pages "keyboard_device_key_light_0" .. "_4", one per regional
variant of the full-size board. Each key is a "DeviceKeyButton" named
"key_" + n with the user data "light_" + n, n being the on-screen key number
(the row of the key identity table, src/keys/KeyIdentityTable.cpp):

  page 0  the 0x50B7 board: keys 0..125 except 18, 19, 20, 104 (no key behind
          them) and the international keys 79, 80, 81, 82, 83, 100, 101, 103;
          62 (non-US #) and 102 (non-US \\) are on it, ISO style
  page 1  Korean: page 0 + 81 (Han/Yeong) and 82 (Hanja) beside the space bar
  page 2  Brazilian: page 0 + 100 (the /? key left of right Shift) and 103
          (keypad comma; the keypad + is one row tall then)
  page 3  Japanese: page 0 + 79 (Henkan), 80 (Muhenkan), 83 (Katakana/
          Hiragana), 100 (Ro) and 101 (Yen, left of Backspace)
  page 4  page 0 + all eight international keys

Geometry: 16 px per key unit across (M column, main block, navigation block
and keypad with quarter-unit gaps make 23.75 units = 380 px of the 408 px
panel), 36 px per row down with a 14 px gap under the function row, and a
1 px gutter between keys. The grid is centred, so the keyboard's drawing
(skin/devices/pictures/keyboard-*.svg) shows its case about 12 px round the
keys and, above them, the room for the cable or the power switch. The rest of the page (profile bar, title, function
switch and its panel containers, the system tab) is written here too, so the
.ui file is never edited by hand: change this script and run it again.

Usage: tools/make-keyboard-page.py [output]  (default: the skin file)
"""

import sys
from pathlib import Path

from skin_ui import check_placement, options, rect, text, widget

PANEL_W, PANEL_H = 408, 280
UNIT = 16          # px per key unit across
ROW_PITCH = 36     # px per key row down
F_ROW_GAP = 14     # px between the function row and the number row
GUTTER = 1         # px left free right of and below every key
X0 = (PANEL_W - round(23.75 * UNIT)) // 2
Y0 = (PANEL_H - (6 * ROW_PITCH + F_ROW_GAP - GUTTER)) // 2

# Where each block starts, in units from X0.
M_COLUMN, MAIN, NAV, KEYPAD = 0.0, 1.25, 16.5, 19.75

PAGES = [
    ("0x50B7 board", set()),
    ("Korean", {81, 82}),
    ("Brazilian", {100, 103}),
    ("Japanese", {79, 80, 83, 100, 101}),
    ("every international key", {79, 80, 81, 82, 83, 100, 101, 103}),
]
INTERNATIONAL = {79, 80, 81, 82, 83, 100, 101, 103}
NO_KEY = {18, 19, 20, 104}


def keys(first, last):
    return [(k, 1) for k in range(first, last + 1)]


def main_rows(extra):
    """The main block's six rows as (key or None for a gap, width in units)."""
    f_row = ([(0, 1), (None, 1)] + keys(1, 4) + [(None, 0.5)] + keys(5, 8) + [(None, 0.5)] +
             keys(9, 12))
    number = [(21, 1)] + keys(22, 33) + ([(101, 1), (34, 1)] if 101 in extra else [(34, 2)])
    top = [(42, 1.5)] + keys(43, 54) + [(55, 1.5)]
    home = [(63, 1.75)] + keys(64, 74) + [(62, 1), (75, 1.25)]
    shift = [(84, 1.25), (102, 1)] + keys(85, 94) + (
        [(100, 1), (95, 1.75)] if 100 in extra else [(95, 2.75)])
    # Beside the space bar: Muhenkan and Hanja left of it; Henkan,
    # Katakana/Hiragana and Han/Yeong right of it.
    before = [(k, 1) for k in (80, 82) if k in extra]
    after = [(k, 1) for k in (79, 83, 81) if k in extra]
    crowded = len(before) + len(after) > 3
    modifier = 1 if crowded else 1.25
    left = [(105, modifier), (106, modifier), (107, modifier)]
    right = [(109, 1), (125, 1), (110, 1), (111, 1), (112, modifier)]
    taken = sum(w for _, w in left + before + after + right)
    bottom = left + before + [(108, 15 - taken)] + after + right
    return [f_row, number, top, home, shift, bottom]


def nav_rows():
    return [keys(13, 15), keys(35, 37), keys(56, 58), [], [(None, 1), (96, 1)], keys(113, 115)]


def keypad_rows(extra):
    """(key, width, rows tall) per row; 16 and 17 sit above the keypad."""
    split_plus = 103 in extra
    return [
        [(None, 2, 1), (16, 1, 1), (17, 1, 1)],
        [(38, 1, 1), (39, 1, 1), (40, 1, 1), (41, 1, 1)],
        [(59, 1, 1), (60, 1, 1), (61, 1, 1), (119, 1, 1 if split_plus else 2)],
        [(76, 1, 1), (77, 1, 1), (78, 1, 1)] + ([(103, 1, 1)] if split_plus else []),
        [(97, 1, 1), (98, 1, 1), (99, 1, 1), (118, 1, 2)],
        [(116, 2, 1), (117, 1, 1)],
    ]


def row_y(row):
    return Y0 + row * ROW_PITCH + (F_ROW_GAP if row > 0 else 0)


def place(layout, start, rows):
    """Adds (key, x, y, w, h) for each key of `rows` whose block starts at unit `start`."""
    for row, entries in enumerate(rows):
        at = start
        for entry in entries:
            key, width, tall = entry if len(entry) == 3 else (*entry, 1)
            if key is not None:
                left = X0 + round(at * UNIT)
                right = X0 + round((at + width) * UNIT)
                top = row_y(row)
                bottom = row_y(row + tall - 1) + ROW_PITCH
                layout.append((key, left, top, right - left - GUTTER, bottom - top - GUTTER))
            at += width


def page_keys(extra):
    layout = []
    place(layout, M_COLUMN, [[]] + [[(k, 1)] for k in range(120, 125)])
    place(layout, MAIN, main_rows(extra))
    place(layout, NAV, nav_rows())
    place(layout, KEYPAD, keypad_rows(extra))
    return layout


def check(layout, extra):
    numbers = sorted(k for k, *_ in layout)
    expected = sorted(set(range(126)) - NO_KEY - (INTERNATIONAL - extra))
    assert numbers == expected, f"keys {set(numbers) ^ set(expected)} differ"
    check_placement([(f"key {key}", *box) for key, *box in layout], PANEL_W, PANEL_H, "key picture")


def key_picture():
    pages = []
    for number, (title, extra) in enumerate(PAGES):
        layout = page_keys(extra)
        check(layout, extra)
        buttons = [
            widget("DeviceKeyButton", f"key_{key}", rect(x, y, w, h),
                   f'<property name="userData" stdset="0"><string>light_{key}</string></property>')
            for key, x, y, w, h in sorted(layout)
        ]
        pages.append(f"<!-- page {number}: {title} -->\n" +
                     widget("SelectPanel", f"keyboard_device_key_light_{number}", rect(0, 0, PANEL_W, PANEL_H),
                            children=buttons))
    return widget("QStackedWidget", "keyboard_device_key_layout", rect(12, 84, PANEL_W, PANEL_H),
                  '<property name="currentIndex"><number>0</number></property>', children=pages)


def system_page():
    """Page 3 of the function switch: the keyboard's own settings."""
    def heading(name, y, key):
        return widget("QLabel", name, rect(16, y, 520, 24), text(key))

    def check_box(name, y, key):
        return widget("QCheckBox", name, rect(32, y, 480, 24), text(key))

    children = [
        heading("system_keys_heading", 12, "system_keys_title"),
        check_box("winlockflag_option", 40, "system_winlock_text"),
        check_box("wflag_option", 68, "system_wflag_text"),
        check_box("6flag_option", 96, "system_6flag_text"),
        heading("system_polling_heading", 136, "system_polling_rate_title"),
        options("polling_rate_options", "polling_rate_option_", rect(32, 164, 520, 24),
                [f"system_polling_rate_{hz}" for hz in (125, 250, 500, 1000)], 120),
        heading("system_repeat_heading", 204, "system_repeat_title"),
        widget("QLabel", "repeat_rate_label", rect(32, 234, 150, 24), text("system_repeat_rate_text")),
        widget("QSlider", "repeat_rate_slider", rect(184, 234, 320, 24),
               '<property name="orientation"><enum>Qt::Horizontal</enum></property>',
               '<property name="minimum"><number>0</number></property>',
               '<property name="maximum"><number>255</number></property>'),
        widget("QLabel", "repeat_delay_time_label1", rect(32, 266, 480, 24), text("Repeat_Delay_Time")),
        options("repeat_delay_options", "repeat_delay_check_", rect(32, 294, 520, 24),
                [f"system_repeat_delay_{ms}" for ms in (250, 500, 750, 1000)], 120),
        widget("QLabel", "repeat_input_label", rect(32, 334, 480, 24), text("Repeat_input_text")),
        widget("QLineEdit", "repeat_input_richedit", rect(32, 362, 480, 28),
               '<property name="toolTip"><string>repeat_test_tip</string></property>'),
        widget("QPushButton", "reset_repeat_btn", rect(32, 400, 200, 32), text("system_reset_repeat_text")),
        widget("QPushButton", "default_btn", rect(352, 400, 184, 32), text("system_default_text")),
    ]
    return widget("QWidget", "device_function_page_3", "", children=children)


def panel(name):
    return widget("QWidget", name, rect(0, 0, 568, 440))


def page():
    switch = widget("QStackedWidget", "device_function_switch", rect(432, 76, 568, 440), children=[
        widget("QWidget", "device_function_page_0", "", children=[
            widget("QStackedWidget", "device_key_function_switch", rect(0, 0, 568, 440), children=[
                widget("QWidget", f"device_key_function_page_{i}", "", children=[panel(name)])
                for i, name in enumerate(("LightSetControlUI", "KeySetControlUI", "MagicSetControlUI"))
            ]),
        ]),
        widget("QWidget", "device_function_page_1", "", children=[panel("MacroSetControlUI")]),
        '<widget class="QWidget" name="device_function_page_2"/>',
        system_page(),
    ])
    top = widget("TolvanicKeyboardDevice", "keyboard_device_page", rect(0, 0, 1000, 516), children=[
        widget("QWidget", "DeviceProfileUI", rect(0, 0, 1000, 76)),
        key_picture(),
        widget("QLabel", "device_title_label", rect(12, 372, 408, 24),
               '<property name="text"><string>Keyboard</string></property>'),
        switch,
    ])
    return HEADER + "<ui version=\"4.0\">\n <class>TolvanicKeyboardDevice</class>\n" + top + \
        "\n <resources/>\n <connections/>\n</ui>\n"


HEADER = """<?xml version="1.0" encoding="UTF-8"?>
<!-- Keyboard page, written by tools/make-keyboard-page.py: change the script, not this file.
     The key picture "keyboard_device_key_layout" has one page per regional
     variant of the board; each key is "key_" + n with user data "light_" + n,
     n the on-screen key number:
       page 0  the 0x50B7 board: keys 0..125 without 18, 19, 20, 104 and without
               the international keys 79, 80, 81, 82, 83, 100, 101, 103
               (62 non-US # and 102 non-US backslash are on it, ISO style)
       page 1  Korean: page 0 + 81, 82
       page 2  Brazilian: page 0 + 100, 103
       page 3  Japanese: page 0 + 79, 80, 83, 100, 101
       page 4  page 0 + all eight international keys
     The function switch shows, by the option tab chosen: page 0 the key
     function switch (lighting, key assignment, headset effects), page 1 the
     macros, page 2 the cursor, page 3 the system settings (Win lock, W and
     6-key flags, report rate, key repeat and its reset, restore defaults).
     Panels whose layouts the program does not have yet stay empty. Texts
     are language keys. -->
"""


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else \
        Path(__file__).resolve().parent.parent / "skin" / "devices" / "keyboarddevice.ui"
    out.write_text(page(), encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
