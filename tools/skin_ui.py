"""Small writers for Qt Designer .ui text, shared by the page generators
(make-keyboard-page.py, make-mouse-page.py), and the geometry checks they run
before writing a page."""

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
