#pragma once
// Acts on the in-memory toolkit as a user would, raising the notifications the
// Qt toolkit raises for the same action, in the same order. Pressing the mouse
// on a control that takes the focus (buttons, options, check boxes, combos,
// lists, sliders, edits; not labels or key buttons) moves the focus to it first
// ("killfocus" from the old one, "setfocus" from it). An action fails
// (returns false, raises nothing) when a user could not do it: the control is
// hidden or disabled, its window is hidden or blocked by a modal window, or the
// control is of the wrong kind.
#include "ui/Toolkit.h"

#include <initializer_list>
#include <vector>

namespace velkor::ui {

class MemoryMenu;
class MemoryTrayIcon;
class MemoryWindow;

class MemoryUser {
public:
    // Buttons and key buttons: "click". Options: select it ("selectchanged" for the
    // sibling that lost the selection, then for it, when it was not selected yet),
    // then "click". Check boxes: toggle, "selectchanged", "click".
    bool Click(Control& control);
    // By name in a window; false when the control is absent.
    bool Click(Window& window, std::string_view name);
    // Combos: picks row `index` ("itemselect" when it changes). Lists: clicks the
    // row ("itemselect" when it changes, then "itemclick").
    bool ChooseItem(Control& control, int index);
    // Lists: double-clicks row `index`: it is chosen as above, then "itemactivate".
    bool ActivateItem(Control& list, int index);
    // Row views: turns the wheel by `rows` rows (negative: up); "scroll" when
    // the view moved.
    bool ScrollRows(Control& view, int rows);
    // Row views: presses row `row` (in view) with kRowClickShift /
    // kRowClickControl held: the view takes the focus, then "itemclick".
    bool ClickRow(Control& view, int row, int64_t modifiers = 0);
    // Drags the slider's handle through `positions` ("movevaluechanged" for each
    // one that changes the value) and lets go ("valuechanged").
    bool DragSlider(Control& slider, std::initializer_list<int> positions);
    // Moves the slider with the keyboard: "valuechanged" when the value changes.
    bool StepSlider(Control& slider, int value);
    // Focuses the edit and replaces its text: "textchanged" when the text changes.
    bool Type(Control& edit, std::string_view text);
    // A key (evdev KEY_* code) pressed or released in the window at `timeMs`:
    // with an input tap set, only the tap gets it; otherwise a letter or digit
    // pressed is added to the focused edit ("textchanged"). False when the
    // window is not this toolkit's.
    bool PressKey(Window& window, uint16_t code, bool down, int64_t timeMs = 0);
    // A mouse button (evdev BTN_* code) in the window: the tap gets it, if any.
    bool PressButton(Window& window, uint16_t code, bool down, int64_t timeMs = 0);
    // Moves the keyboard focus: "killfocus" from the control that had it, then
    // "setfocus" from the new one.
    bool Focus(Control& control);
    // Press at `from`, drag and release at `to` (panel coordinates) on a selection
    // panel: selects the key buttons met and raises "click_select_end".
    bool DragSelect(Control& panel, Point from, Point to);
    // A colour control reports the colour the user picked: "colorchanged".
    bool PickColour(Control& control, uint32_t argb);
    // The frame's close button: asks the handler; closes with 0 when it agrees.
    bool RequestClose(Window& window);
    // Resizes the window by its frame ("windowsize").
    bool Resize(Window& window, int width, int height);
    void Activate(Window& window, bool active);
    void Hover(Window& window, bool inside);
    // The desktop reports a display change, or a new scale for the window's screen.
    void ChangeDisplay(Window& window);
    void ChangeDpi(Window& window, int suggestedDpi);
    bool ChooseMenuItem(Menu& menu, std::string_view item);
    bool ClickTrayIcon(TrayIcon& icon, MouseButton button);

private:
    // The control can be reached by a user.
    static bool Reachable(const Control& control);
    // Moves the focus to a control that takes it from the mouse.
    void FocusByMouse(Control& control);
};

} // namespace velkor::ui
