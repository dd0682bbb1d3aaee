#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes skin/PalletDialog.ui, the colour palette dialog (800 x 572).

Left the colour field "Pallet"; right the swatch "color_show_btn", the
decimal edits "color_edit_r", "color_edit_g", "color_edit_b", the multicolour
option "7color" in "7color_layout", the twenty presets "color_option_0" ..
"color_option_19" (in "color_option_layout", so that choosing one deselects
only the presets) and the twenty collected slots "collect_color_option_0" ..
"collect_color_option_19" (in their own container); at the bottom "okbtn" and
"laterbtn"; in the title bar "menubtn", "minbtn", "maxbtn", "restorebtn" and
"closebtn".

The presets carry the colours of DefaultData/color_option_info.config, read
from that file so that the two cannot drift apart. Every geometry is checked
before the file is written.

Usage: tools/make-pallet-dialog.py [output]  (default: the skin file)
"""

import json
import sys
from pathlib import Path

from skin_ui import Node, check_tree, number, string, text

ROOT = Path(__file__).resolve().parent.parent
WIDTH, HEIGHT = 800, 572
SWATCH = 26   # side of a preset or slot
GAP = 6
PER_ROW = 10
HIDDEN = '<property name="visible"><bool>false</bool></property>'


def preset_colours():
    info = json.loads((ROOT / "DefaultData" / "color_option_info.config").read_text(encoding="utf-8"))
    colours = [int(entry["color"]) & 0xFFFFFFFF for entry in info["coloroptioninfo"]["palletDialogcoloroption"]]
    assert len(colours) == 20, "the shipped file must hold twenty presets"
    return colours


def swatches(container, family, colours, box):
    children = [Node("QRadioButton", f"{family}{i}",
                     ((i % PER_ROW) * (SWATCH + GAP), (i // PER_ROW) * (SWATCH + GAP), SWATCH, SWATCH),
                     string("text", ""), string("bkColor", f"#{colour:08X}", dynamic=True),
                     string("toolTip", f"{colour & 0xFFFFFF:06X}"))
                for i, colour in enumerate(colours)]
    return Node("QWidget", container, box, children=children)


def label(name, box, key):
    return Node("QLabel", name, box, text(key))


def title_bar():
    buttons = [("menubtn", "≡", False), ("minbtn", "_", False), ("maxbtn", "□", True),
               ("restorebtn", "❐", True), ("closebtn", "×", False)]
    children = [label("pallet_title", (16, 8, 400, 24), "pallet_title_text")]
    for i, (name, glyph, hidden) in enumerate(buttons):
        props = [string("text", glyph)] + ([HIDDEN] if hidden else [])
        children.append(Node("QPushButton", name, (WIDTH - 40 * (len(buttons) - i), 6, 32, 28), *props))
    return Node("QWidget", "pallet_title_layout", (0, 0, WIDTH, 40), children=children)


def channel_edits():
    children = []
    for i, (channel, key) in enumerate((("r", "light_red_text"), ("g", "light_green_text"),
                                        ("b", "light_blue_text"))):
        x = i * 100
        children.append(label(f"color_edit_{channel}_label", (x, 4, 20, 24), key))
        children.append(Node("QLineEdit", f"color_edit_{channel}", (x + 24, 2, 64, 28), number("maxLength", 3),
                             string("text", "0")))
    return Node("QWidget", "color_edit_layout", (0, 84, 300, 32), children=children)


def right_column():
    grid_w = PER_ROW * SWATCH + (PER_ROW - 1) * GAP
    grid_h = 2 * SWATCH + GAP
    children = [
        Node("QPushButton", "color_show_btn", (0, 0, 120, 64), string("text", ""),
             string("bkColor", "#FFFF0000", dynamic=True)),
        Node("QWidget", "7color_layout", (136, 20, 200, 28), children=[
            Node("QCheckBox", "7color", (0, 2, 200, 24), text("pallet_7color_text")),
        ]),
        channel_edits(),
        label("color_option_label", (0, 132, 320, 24), "pallet_preset_text"),
        swatches("color_option_layout", "color_option_", preset_colours(), (0, 160, grid_w, grid_h)),
        label("collect_color_option_label", (0, 248, 320, 24), "pallet_collect_text"),
        # Empty slots are white, as the shipped file describes them.
        swatches("collect_color_option_layout", "collect_color_option_", [0xFFFFFFFF] * 20,
                 (0, 276, grid_w, grid_h)),
    ]
    return Node("QWidget", "pallet_right_layout", (448, 56, 352 - 16, 360), children=children)


def dialog():
    style = ("#root { background-color: #1b1d23; border: 1px solid #3a3f4a; } "
             "#color_option_layout QRadioButton, #collect_color_option_layout QRadioButton "
             "{ border: 1px solid #3a3f4a; border-radius: 3px; } "
             "#color_option_layout QRadioButton:checked, #collect_color_option_layout QRadioButton:checked "
             "{ border: 2px solid #ffffff; } "
             "#color_option_layout QRadioButton::indicator, #collect_color_option_layout QRadioButton::indicator "
             "{ width: 0px; height: 0px; } "
             "#color_show_btn { border: 1px solid #3a3f4a; }")
    top = Node("QWidget", "root", (0, 0, WIDTH, HEIGHT), string("windowTitle", "PalletDialog"),
               string("styleSheet", style), children=[
                   title_bar(),
                   Node("ColorPalette", "Pallet", (24, 56, 400, 360), string("bkColor", "#FFFF0000", dynamic=True)),
                   Node("QWidget", "pallet_button_layout", (0, HEIGHT - 64, WIDTH, 48), children=[
                       Node("QPushButton", "laterbtn", (WIDTH - 280, 8, 120, 32), text("pallet_later_text")),
                       Node("QPushButton", "okbtn", (WIDTH - 144, 8, 120, 32), text("pallet_ok_text")),
                   ]),
                   right_column(),
               ])
    check_tree(top, top.box[2:])
    return HEADER + "<ui version=\"4.0\">\n <class>ColorSelectWnd</class>\n" + top.xml() + \
        "\n <resources/>\n <connections/>\n</ui>\n"


HEADER = """<?xml version="1.0" encoding="UTF-8"?>
<!-- Colour palette dialog, written by tools/make-pallet-dialog.py: change the script, not this file.
     "Pallet" is the colour field (its background colour is the colour marked);
     "color_show_btn" the swatch; "color_option_0" .. "color_option_19" the
     presets (the colours of DefaultData/color_option_info.config);
     "collect_color_option_0" .. "collect_color_option_19" the slots the user
     fills. Texts are language keys. -->
"""


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / "skin" / "PalletDialog.ui"
    out.write_text(dialog(), encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
