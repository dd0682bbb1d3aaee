#pragma once
// A control of the in-memory toolkit: every property is stored, nothing is drawn.
#include "ui/Control.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace velkor::ui {

class MemoryToolkit;
class MemoryWindow;
struct LayoutNode;

class MemoryControl final : public Control,
                            public RangeControl,
                            public ListControl,
                            public SelectableControl,
                            public PageControl,
                            public LightControl,
                            public WaveformControl,
                            public RowViewControl {
public:
    MemoryControl(MemoryToolkit& toolkit, MemoryWindow& window, MemoryControl* parent, std::string name,
                  std::string className, ControlKind kind);
    ~MemoryControl() override;
    MemoryControl(const MemoryControl&) = delete;
    MemoryControl& operator=(const MemoryControl&) = delete;

    const std::string& Name() const override { return m_name; }
    const std::string& ClassName() const override { return m_className; }
    ControlKind Kind() const override { return m_kind; }
    Window& OwnerWindow() const override;
    Control* Parent() const override { return m_parent; }
    int ChildCount() const override;
    Control* ChildAt(int index) const override;

    std::string Text() const override { return m_text; }
    void SetText(std::string_view text) override { m_text = text; }
    bool IsResourceText() const override { return m_resourceText; }
    void SetResourceText(bool on) override { m_resourceText = on; }
    std::string DisplayText() const override { return Shown(m_text); }
    std::string ToolTip() const override { return m_toolTip; }
    void SetToolTip(std::string_view text) override { m_toolTip = text; }

    bool IsVisible() const override;
    void SetVisible(bool visible) override { m_visible = visible; }
    bool IsEnabled() const override;
    void SetEnabled(bool enabled) override { m_enabled = enabled; }
    std::string UserData() const override { return m_userData; }
    void SetUserData(std::string_view data) override { m_userData = data; }

    uint32_t BackgroundColour() const override { return m_backgroundColour; }
    void SetBackgroundColour(uint32_t argb) override { m_backgroundColour = argb; }
    uint32_t TextColour() const override { return m_textColour; }
    uint32_t DisabledTextColour() const override { return m_disabledTextColour; }
    void SetTextColours(uint32_t normal, uint32_t disabled) override {
        m_textColour = normal;
        m_disabledTextColour = disabled;
    }
    std::string BackgroundImage() const override { return m_backgroundImage; }
    void SetBackgroundImage(std::string_view description) override { m_backgroundImage = description; }
    int FontId() const override { return m_fontId; }
    void SetFontId(int id) override { m_fontId = id < 0 ? -1 : id; }
    Rect Geometry() const override;
    void SetGeometry(const Rect& rect) override;
    void Invalidate() override { ++m_repaints; }
    std::string StyleClass() const override { return m_styleClass; }
    void SetStyleClass(std::string_view styleClass) override { m_styleClass = styleClass; }
    std::string LayoutProperty(std::string_view key) const override { return RawProperty(std::string(key)); }
    bool IsUnderPointer() const override { return m_underPointer; }

    // Each family answers for the kinds that have it (ControlFamilies.h).
    RangeControl* AsRange() const override;
    ListControl* AsList() const override;
    SelectableControl* AsSelectable() const override;
    PageControl* AsPage() const override;
    LightControl* AsLight() const override;
    WaveformControl* AsWaveform() const override;
    RowViewControl* AsRowView() const override;

    // --- the families' operations; called directly for a kind without the
    // family they change nothing and return false or a neutral value ---
    bool IsSelected() const override { return m_selected; }
    bool SetSelected(bool selected, bool notify = true) override;

    int CurrentPage() const override;
    bool SelectPage(int index) override;

    int ItemCount() const override { return int(m_items.size()); }
    bool InsertItem(int index, std::string_view text, std::string_view userData = {}) override;
    Control* InsertItemLayout(int index, std::string_view layout, ControlCreator* creator,
                              std::string* error = nullptr) override;
    bool RemoveItem(int index) override;
    void RemoveAllItems() override;
    std::string ItemText(int index) const override;
    bool SetItemText(int index, std::string_view text) override;
    std::string ItemUserData(int index) const override;
    bool SetItemUserData(int index, std::string_view data) override;
    Control* ItemControl(int index) const override;
    int SelectedIndex() const override { return m_selectedIndex; }
    bool SelectItem(int index, bool notify = true) override;
    bool EnsureItemVisible(int index) override;

    int Value() const override { return KindHasValueHere() ? m_value : 0; }
    bool SetValue(int value) override;
    int Minimum() const override { return KindHasValueHere() ? m_minimum : 0; }
    int Maximum() const override { return KindHasValueHere() ? m_maximum : 0; }
    bool SetRange(int minimum, int maximum) override;

    bool SetLight(uint32_t rgb, uint8_t level) override;
    uint32_t LightColour() const override { return m_lightColour; }
    uint8_t LightLevel() const override { return m_lightLevel; }
    bool SetWaveform(std::span<const int16_t> samples) override;
    std::vector<int16_t> Waveform() const override { return m_waveform; }

    int RowCount() const override { return m_rowCount; }
    bool SetRowCount(int count) override;
    int FirstVisibleRow() const override { return m_firstRow; }
    int VisibleRowCount() const override;
    int RowCapacity() const override;
    bool EnsureRowVisible(int row) override;
    Control* AddSlot(std::string_view layout, ControlCreator* creator, std::string* error = nullptr) override;
    int SlotCount() const override { return int(m_slotRows.size()); }
    Control* SlotControl(int slot) const override;
    bool SetSlotRow(int slot, int row) override;
    int SlotRow(int slot) const override;
    int FocusedSlot() const override;

    bool SetTimer(int id, int intervalMs) override;
    bool KillTimer(int id) override;

    // --- in-memory extras, for the toolkit and for tests ---

    // Raises a notification from this control to its window.
    void Raise(std::string_view type, int64_t wParam = 0, int64_t lParam = 0);
    // A property of the layout that has no operation of its own ("" when absent).
    std::string RawProperty(const std::string& key) const;
    int RepaintCount() const { return m_repaints; }
    // Where the test puts the mouse pointer: over this control or not.
    void SetUnderPointer(bool under) { m_underPointer = under; }
    // The row last scrolled into view with EnsureItemVisible (-1 before).
    int ScrolledItem() const { return m_scrolledItem; }
    // Row views scroll by whole rows: `row` becomes the first row in view (as
    // far as the rows reach). True when the view moved.
    bool ScrollToRow(int row);
    // The displayed text of a row (language text in resource-text mode).
    std::string ItemDisplayText(int index) const;
    // Title of a tab page, from the layout ("" when none).
    std::string PageTitle() const { return m_pageTitle; }
    MemoryWindow& HostWindow() const { return m_window; }
    MemoryControl* ParentControl() const { return m_parent; }

    // Takes the layout's properties (checked with CheckLayout before).
    void ApplyLayout(const LayoutNode& node);
    void AddChild(std::unique_ptr<MemoryControl> child);
    // Removes and destroys the last child (undoing a failed build).
    void RemoveLastChild();
    // The index of this control among its parent's children, -1 for the root.
    int IndexInParent() const;

private:
    struct Item {
        std::string text;
        std::string userData;
        std::unique_ptr<MemoryControl> row;
    };

    std::string Shown(const std::string& text) const;
    bool ValidItem(int index) const {
        return KindHasItemsHere() && index >= 0 && index < int(m_items.size());
    }
    bool KindHasItemsHere() const;
    bool KindHasValueHere() const;
    // Index for an insertion at `index` (-1 appends), or -1 when out of range.
    int InsertPosition(int index) const;
    // Row views: the height of a row, and how many rows the view shows whole (at least one).
    int RowHeight() const;
    int WholeRows() const;

    MemoryToolkit& m_toolkit;
    MemoryWindow& m_window;
    MemoryControl* m_parent;
    const std::string m_name;
    const std::string m_className;
    const ControlKind m_kind;
    std::vector<std::unique_ptr<MemoryControl>> m_children;

    std::string m_text;
    bool m_resourceText = false;
    std::string m_toolTip;
    bool m_visible = true;
    bool m_enabled = true;
    std::string m_userData;
    uint32_t m_backgroundColour = 0;
    uint32_t m_textColour = 0;
    uint32_t m_disabledTextColour = 0;
    std::string m_backgroundImage;
    int m_fontId = -1;
    Rect m_baseRect; // at 96 DPI
    int m_repaints = 0;
    std::string m_styleClass;
    bool m_underPointer = false;
    bool m_selected = false;
    bool m_autoExclusive = true;
    int m_currentPage = -1;
    std::vector<Item> m_items;
    int m_selectedIndex = -1;
    int m_scrolledItem = -1;
    int m_value = 0;
    int m_minimum = 0;
    int m_maximum = 99;
    uint32_t m_lightColour = 0;
    uint8_t m_lightLevel = 0;
    std::vector<int16_t> m_waveform;
    std::string m_pageTitle;
    int m_rowCount = 0;
    int m_firstRow = 0;
    int m_viewHeight = 0;        // at 96 DPI: the layout's height, or its minimum height
    std::vector<int> m_slotRows; // the row of each slot (its children), -1 out of sight
    std::map<std::string, std::string> m_rawProperties;
};

} // namespace velkor::ui
