# SPDX-License-Identifier: GPL-3.0-or-later
"""Small writers for Qt Designer .ui text and SVG drawings, shared by the page
and drawing generators (make-keyboard-page.py, make-mouse-page.py,
make-mousepad-page.py, make-device-pictures.py), and the geometry checks they
run before writing a page."""

from xml.sax.saxutils import escape


def rect(x, y, w, h):
    return (f'<property name="geometry"><rect><x>{x}</x><y>{y}</y><width>{w}</width>'
            f'<height>{h}</height></rect></property>')


RESOURCE = '<property name="resourceText" stdset="0"><bool>true</bool></property>'


def text(key):
    """A caption given as a language key."""
    return f'<property name="text"><string>{escape(key)}</string></property>{RESOURCE}'


def tooltip(key):
    """A tooltip given as a language key; the control must be in resource-text mode."""
    return f'<property name="toolTip"><string>{escape(key)}</string></property>'


def number(name, value):
    return f'<property name="{name}"><number>{value}</number></property>'


def string(name, value, dynamic=False):
    stdset = ' stdset="0"' if dynamic else ""
    return f'<property name="{name}"{stdset}><string>{escape(value)}</string></property>'


def widget(cls, name, geometry, *props, children=()):
    inner = "".join(props)
    if not children:
        return f'<widget class="{cls}" name="{name}">{geometry}{inner}</widget>'
    return f'<widget class="{cls}" name="{name}">{geometry}{inner}\n' + "\n".join(children) + "\n</widget>"


def options(container, name, geometry, captions, width):
    """A group of option buttons `name` + i alone in `container`, so that
    choosing one deselects only its own siblings."""
    buttons = [widget("QRadioButton", f"{name}{i}", rect(i * width, 0, width - 8, 24), text(caption))
               for i, caption in enumerate(captions)]
    return widget("QWidget", container, geometry, children=buttons)


def check_placement(boxes, width, height, what):
    """Every (name, x, y, w, h) lies inside a width x height area, and no two share a pixel."""
    for i, (name, x, y, w, h) in enumerate(boxes):
        assert w > 0 and h > 0, f"{what}: {name} is empty"
        assert 0 <= x and x + w <= width and 0 <= y and y + h <= height, f"{what}: {name} leaves its parent"
        for other, ox, oy, ow, oh in boxes[i + 1:]:
            assert x + w <= ox or ox + ow <= x or y + h <= oy or oy + oh <= y, \
                f"{what}: {name} and {other} overlap"


class Node:
    """A control: class, name, (x, y, w, h) or None for a stack page, properties, children."""

    def __init__(self, cls, name, box, *props, children=()):
        self.cls, self.name, self.box, self.props = cls, name, box, props
        self.children = list(children)

    def xml(self):
        geometry = rect(*self.box) if self.box else ""
        return widget(self.cls, self.name, geometry, *self.props,
                      children=[c if isinstance(c, str) else c.xml() for c in self.children])


def check_tree(node, size):
    """Each child inside `node` (of `size`), solid siblings apart, recursively."""
    nodes = [c for c in node.children if isinstance(c, Node)]
    for child in nodes:
        if child.box:
            check_placement([(child.name, *child.box)], *size, node.name)
    check_placement([(c.name, *c.box) for c in nodes if c.box], *size, node.name)
    for child in nodes:
        check_tree(child, child.box[2:] if child.box else size)


def svg_document(width, height, defs, shapes):
    """A drawing of width x height in its own coordinates: gradients `defs`, then `shapes`."""
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            "<!-- SPDX-License-Identifier: GPL-3.0-or-later -->\n"
            f'<svg xmlns="http://www.w3.org/2000/svg" version="1.2" baseProfile="tiny" '
            f'width="{width}" height="{height}" viewBox="0 0 {width} {height}">\n'
            "<defs>\n" + "\n".join(defs) + "\n</defs>\n" + "\n".join(shapes) + "\n</svg>\n")
