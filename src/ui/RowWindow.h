#pragma once
// RowWindow: a long list shown through a few reused row controls. The rows,
// their content and their count, belong to a RowSource; the window keeps
// which rows are selected and which one is current, and binds the slots of a
// row view (RowViewControl) to the rows in view as the user scrolls, so that
// a list of thousands of rows costs as many controls as the view can show.
//
// What it promises:
// - a slot shows a row only after RowSource::ShowRow, and before it shows
//   another row (or its row goes) the source gets LeaveRow for the old one,
//   to take back what the user typed into it; TakeEdits does that for every
//   slot, and must run before the source changes its rows;
// - selection and the current row belong to the rows, not to the slots: a
//   selected row scrolled out and back in is shown selected again;
// - the slot that holds the keyboard focus keeps its row while that row is
//   scrolled out of view, so typing never lands in another row.
//
// It listens to its view's "scroll" and "itemclick" through the view's
// window, which must outlive it. User-interface thread only.
#include "ui/Notification.h"

#include <string>
#include <string_view>
#include <vector>

namespace velkor::ui {

class Control;
class ControlCreator;
class RowViewControl;

class RowSource {
public:
    virtual int RowCount() const = 0;
    // Shows `row` in `slot`, a control built from the row layout.
    virtual void ShowRow(Control& slot, int row) = 0;
    // `slot` stops showing `row`: what the user changed in it becomes the row's.
    virtual void LeaveRow(const Control& slot, int row) = 0;

protected:
    ~RowSource() = default;
};

class RowWindow final : public NotifyReceiver {
public:
    // The style class of a slot that shows a selected row ("" otherwise).
    static constexpr std::string_view kSelectedStyle = "row_selected";

    // `view` must be a row view (else the window shows nothing); `creator`
    // (may be null) builds the row layout's own classes and must outlive it.
    RowWindow(Control& view, std::string rowLayout, RowSource& source, ControlCreator* creator = nullptr);
    ~RowWindow() override;
    RowWindow(const RowWindow&) = delete;
    RowWindow& operator=(const RowWindow&) = delete;

    // --- the source's rows changed (call after the change) ---
    // Every row is new: no selection, the view at the top.
    void Reset();
    void Inserted(int at, int count);
    // `rows` (ascending) went; their selection goes with them.
    void Removed(const std::vector<int>& rows);
    // One row moved from `from` to `to`, the rows between closing up.
    void Moved(int from, int to);
    // The content of `row` changed: shown again when a slot shows it.
    void Changed(int row);
    // LeaveRow for every slot's row.
    void TakeEdits();

    // --- selection ---
    // -1 when there is none.
    int CurrentRow() const { return m_current; }
    bool IsSelected(int row) const;
    std::vector<int> SelectedRows() const;
    // Only `row` selected and current (-1: none).
    void Select(int row);
    // A press on a row: alone, it selects only that row; with Control it
    // toggles the row; with Shift it selects from the last row pressed
    // without Shift (with Control too: added to the selection).
    void Press(int row, int64_t modifiers);
    // The row's menu was asked for: a row outside the selection becomes the
    // selection, one inside it only becomes current.
    void PressForMenu(int row);
    // Scrolls as little as needed for the row to be seen.
    void EnsureVisible(int row);

    // --- slots ---
    int SlotCount() const;
    // The control showing `row`, null when none does (out of view).
    Control* ControlOf(int row) const;
    // The row shown by the slot that is or holds `control`; -1 for none.
    int RowOf(const Control* control) const;

    void Notify(const Notification& notification) override;

private:
    int RowCountNow() const;
    // Binds free slots to the rows in view that no slot shows, building slots
    // the view needs first.
    void Update();
    bool AddSlots(int wanted);
    void ShowSelection(int slot);
    void ShowSelectionEverywhere();
    // Every slot's row, the current row and the anchor become map(row) (-1: gone).
    template <typename Map> void Renumber(Map map);

    Control& m_view;
    RowViewControl* m_rows;
    const std::string m_layout;
    RowSource& m_source;
    ControlCreator* m_creator;
    std::vector<char> m_selected; // one flag per row
    int m_current = -1;
    int m_anchor = -1;
    bool m_busy = false;   // inside Update: a notification it causes must not re-enter
    bool m_broken = false; // the row layout cannot be built
};

} // namespace velkor::ui
