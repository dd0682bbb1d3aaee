#pragma once
// The operations only some kinds of control have, one interface per family.
// A control answers for a family through Control::AsRange(), AsList() and the
// others: the family when its kind has it, null otherwise, for as long as the
// control lives. Which kinds have which family:
//
//   RangeControl       sliders, progress bars
//   ListControl        combos, lists
//   SelectableControl  options, check boxes, key buttons
//   PageControl        tab containers
//   LightControl       key buttons
//   WaveformControl    class "AudioRecord"
//   RowViewControl     row views (class "RowView")
//
// Every operation runs on the user-interface thread, like Control's own;
// both toolkits keep the same promises.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::ui {

class Control;
class ControlCreator;

// A value inside a range (sliders, progress bars). A new control's range is
// 0..99 for a slider, 0..100 for a progress bar, unless its layout says otherwise.
class RangeControl {
public:
    virtual int Value() const = 0;
    // Clamped into the range. No notification.
    virtual bool SetValue(int value) = 0;
    virtual int Minimum() const = 0;
    virtual int Maximum() const = 0;
    // False, changing nothing, when min > max. The value is clamped into the new range.
    virtual bool SetRange(int minimum, int maximum) = 0;

protected:
    ~RangeControl() = default;
};

// Rows of a combo or a list. Out-of-range indexes change nothing and return
// false, or return a neutral value (empty, null).
class ListControl {
public:
    virtual int ItemCount() const = 0;
    // Inserts a text row before `index`; -1 or ItemCount() appends. The selected
    // row stays selected (its index moves).
    virtual bool InsertItem(int index, std::string_view text, std::string_view userData = {}) = 0;
    // Lists only: inserts a row built from a layout (its controls are found with
    // FindChild on the list or on the row). Returns the row control, or null with
    // `error` set when the layout cannot be built or the control is a combo;
    // nothing is inserted then.
    virtual Control* InsertItemLayout(int index, std::string_view layout, ControlCreator* creator,
                                      std::string* error = nullptr) = 0;
    // Removing the selected row leaves no row selected; no notification.
    virtual bool RemoveItem(int index) = 0;
    virtual void RemoveAllItems() = 0;
    // As set: a language key in resource-text mode.
    virtual std::string ItemText(int index) const = 0;
    virtual bool SetItemText(int index, std::string_view text) = 0;
    virtual std::string ItemUserData(int index) const = 0;
    virtual bool SetItemUserData(int index, std::string_view data) = 0;
    // The layout-built row at `index`, or null (text rows, combos).
    virtual Control* ItemControl(int index) const = 0;
    // -1 when no row is selected.
    virtual int SelectedIndex() const = 0;
    // Selects a row (-1 clears); with `notify` and a change, raises "itemselect"
    // (wParam the new row, lParam the previous one).
    virtual bool SelectItem(int index, bool notify = true) = 0;
    // Lists: scrolls so that the row can be seen; combos only check the index.
    virtual bool EnsureItemVisible(int index) = 0;

protected:
    ~ListControl() = default;
};

// A selected state (options, check boxes, key buttons).
class SelectableControl {
public:
    virtual bool IsSelected() const = 0;
    // Changes the state; with `notify`, every control whose state changed (a
    // deselected sibling option first) raises "selectchanged". Selecting an
    // option deselects the other options of the same parent.
    virtual bool SetSelected(bool selected, bool notify = true) = 0;

protected:
    ~SelectableControl() = default;
};

// One child page shown at a time (tab containers).
class PageControl {
public:
    // Index of the page shown, -1 without pages.
    virtual int CurrentPage() const = 0;
    // Shows page `index` (a child) and hides the others; false for an index
    // without a page. No notification.
    virtual bool SelectPage(int index) = 0;

protected:
    ~PageControl() = default;
};

// The light of a key or LED of a device picture (key buttons).
class LightControl {
public:
    // Colour 0xRRGGBB (higher bits ignored) at a brightness level 0..255 (0
    // shows the key unlit). Repaints only on a change.
    virtual bool SetLight(uint32_t rgb, uint8_t level) = 0;
    virtual uint32_t LightColour() const = 0;
    virtual uint8_t LightLevel() const = 0;

protected:
    ~LightControl() = default;
};

// A waveform of bars (class "AudioRecord").
class WaveformControl {
public:
    // Shows the samples as bars (each a height in 0..8192; at most 500 are
    // kept) and repaints once.
    virtual bool SetWaveform(std::span<const int16_t> samples) = 0;
    // The samples shown.
    virtual std::vector<int16_t> Waveform() const = 0;

protected:
    ~WaveformControl() = default;
};

// A scrolling view of many rows of one height whose content the logic keeps
// (RowWindow.h): the view holds only the few row controls ("slots") the logic
// adds from a row layout and places each at the row it is given, while its
// scroll bar spans every row. A row is as high as the first slot's layout
// says (30 before there is one). The view raises "scroll" (wParam the first
// row in view) when the user scrolls it or its size changes, and "itemclick"
// (wParam the row, lParam kRowClickShift / kRowClickControl) when the user
// presses a row outside a control that takes the press.
inline constexpr int64_t kRowClickShift = 1;
inline constexpr int64_t kRowClickControl = 2;

class RowViewControl {
public:
    virtual int RowCount() const = 0;
    // The scroll bar spans `count` rows; the view keeps its place where it can.
    // False for a negative count. No notification.
    virtual bool SetRowCount(int count) = 0;
    // The rows at least partly in view: FirstVisibleRow() and the
    // VisibleRowCount() - 1 rows after it (none in an empty view).
    virtual int FirstVisibleRow() const = 0;
    virtual int VisibleRowCount() const = 0;
    // How many rows the view can show at once, partly seen ones included.
    virtual int RowCapacity() const = 0;
    // Scrolls as little as needed for the row to be seen whole; false for a
    // row outside RowCount(). No notification.
    virtual bool EnsureRowVisible(int row) = 0;
    // Builds a slot from a row layout; null with `error` set when it cannot be built.
    virtual Control* AddSlot(std::string_view layout, ControlCreator* creator,
                             std::string* error = nullptr) = 0;
    virtual int SlotCount() const = 0;
    virtual Control* SlotControl(int slot) const = 0;
    // Places the slot at `row` (wherever that is, in view or not); -1 puts it
    // out of sight. A slot keeps the keyboard focus it holds either way.
    virtual bool SetSlotRow(int slot, int row) = 0;
    virtual int SlotRow(int slot) const = 0;
    // The slot holding the keyboard focus, -1 when none does.
    virtual int FocusedSlot() const = 0;

protected:
    ~RowViewControl() = default;
};

} // namespace velkor::ui
