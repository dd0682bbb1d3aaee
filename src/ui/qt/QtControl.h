#pragma once
// A control of the Qt toolkit: a wrapper around one widget of a loaded layout.
// It turns the widget's signals into notifications and keeps what the widget
// cannot hold itself (language keys, user data, the layout's sizes at 96 DPI).
// It implements every control family and hands out only those of its kind
// (their operations: QtControlFamilies.cpp).
#include "ui/Control.h"

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <map>
#include <string>
#include <vector>

namespace velkor::ui {

class QtToolkit;
class QtWindow;
class BackgroundPicture;
struct LayoutNode;

class QtControl final : public Control,
                        public RangeControl,
                        public ListControl,
                        public SelectableControl,
                        public PageControl,
                        public LightControl,
                        public WaveformControl,
                        public RowViewControl {
public:
    QtControl(QtToolkit& toolkit, QtWindow& window, QWidget* widget, QtControl* parent,
              const LayoutNode& node, ControlKind kind);
    ~QtControl() override;
    QtControl(const QtControl&) = delete;
    QtControl& operator=(const QtControl&) = delete;

    const std::string& Name() const override { return m_name; }
    const std::string& ClassName() const override { return m_className; }
    ControlKind Kind() const override { return m_kind; }
    Window& OwnerWindow() const override;
    Control* Parent() const override { return m_parent; }
    int ChildCount() const override;
    Control* ChildAt(int index) const override;

    std::string Text() const override;
    void SetText(std::string_view text) override;
    bool IsResourceText() const override { return m_resourceText; }
    void SetResourceText(bool on) override;
    std::string DisplayText() const override;
    std::string ToolTip() const override { return m_toolTip; }
    void SetToolTip(std::string_view text) override;

    bool IsVisible() const override;
    void SetVisible(bool visible) override;
    bool IsEnabled() const override;
    void SetEnabled(bool enabled) override;
    std::string UserData() const override { return m_userData; }
    void SetUserData(std::string_view data) override { m_userData = data; }

    uint32_t BackgroundColour() const override { return m_backgroundColour; }
    void SetBackgroundColour(uint32_t argb) override;
    uint32_t TextColour() const override { return m_textColour; }
    uint32_t DisabledTextColour() const override { return m_disabledTextColour; }
    void SetTextColours(uint32_t normal, uint32_t disabled) override;
    std::string BackgroundImage() const override { return m_backgroundImage; }
    void SetBackgroundImage(std::string_view description) override;
    int FontId() const override { return m_fontId; }
    void SetFontId(int id) override;
    Rect Geometry() const override;
    void SetGeometry(const Rect& rect) override;
    void Invalidate() override;
    std::string StyleClass() const override { return m_styleClass; }
    void SetStyleClass(std::string_view styleClass) override;
    std::string LayoutProperty(std::string_view key) const override;
    bool IsUnderPointer() const override;

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
    bool IsSelected() const override;
    bool SetSelected(bool selected, bool notify = true) override;

    int CurrentPage() const override;
    bool SelectPage(int index) override;

    int ItemCount() const override;
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
    int SelectedIndex() const override;
    bool SelectItem(int index, bool notify = true) override;
    bool EnsureItemVisible(int index) override;

    int Value() const override;
    bool SetValue(int value) override;
    int Minimum() const override;
    int Maximum() const override;
    bool SetRange(int minimum, int maximum) override;

    bool SetLight(uint32_t rgb, uint8_t level) override;
    uint32_t LightColour() const override;
    uint8_t LightLevel() const override;
    bool SetWaveform(std::span<const int16_t> samples) override;
    std::vector<int16_t> Waveform() const override;

    int RowCount() const override;
    bool SetRowCount(int count) override;
    int FirstVisibleRow() const override;
    int VisibleRowCount() const override;
    int RowCapacity() const override;
    bool EnsureRowVisible(int row) override;
    Control* AddSlot(std::string_view layout, ControlCreator* creator, std::string* error = nullptr) override;
    int SlotCount() const override;
    Control* SlotControl(int slot) const override;
    bool SetSlotRow(int slot, int row) override;
    int SlotRow(int slot) const override;
    int FocusedSlot() const override;

    bool SetTimer(int id, int intervalMs) override;
    bool KillTimer(int id) override;

    // --- for the window and the toolkit ---

    QWidget* Widget() const { return m_widget; }
    QtControl* ParentControl() const { return m_parent; }
    void AddChild(QtControl* child) { m_children.push_back(child); }
    void RemoveChild(const QtControl* child);
    void Raise(std::string_view type, int64_t wParam = 0, int64_t lParam = 0);
    // Connects the widget's signals to notifications (once, after the tree is
    // built; QtControlSignals.cpp).
    void Connect();
    // A combo's or list's current row became `index`: remembered, and raised
    // as kNotifyItemSelect (index, previous row) when it changed and the
    // program did not make the change itself.
    void IndexChanged(int index);
    // Shows the texts again (after a language change or a mode change).
    void RefreshTexts();
    // The accessible name of a button whose text does not say what it is.
    void NameForAccessibility();
    QString ToolTipShown() const;
    // Sizes, positions and fonts for the window's current scale.
    void ApplyScale();

private:
    struct Row {
        std::string text; // as set: a language key in resource-text mode
        std::string userData;
        QtControl* control = nullptr; // a row built from a layout, or null
    };

    QString Shown(const std::string& text) const;
    void ApplyStyle();
    // Containers paint a background picture themselves (decoded once, scaled
    // once per size); other controls take it through the style sheet.
    bool PaintsOwnPicture() const;
    void ApplyPicture();
    bool ValidItem(int index) const;
    int InsertPosition(int index) const;
    // Removes the row's controls at once (their widget goes with them).
    void DropRowControl(int index);
    void RememberIndex();

    QtToolkit& m_toolkit;
    QtWindow& m_window;
    QPointer<QWidget> m_widget;
    QtControl* m_parent;
    const std::string m_name;
    const std::string m_className;
    const ControlKind m_kind;
    std::vector<QtControl*> m_children; // owned by the window

    std::string m_text;
    bool m_resourceText = false;
    std::string m_toolTip;
    std::string m_userData;
    uint32_t m_backgroundColour = 0;
    uint32_t m_textColour = 0;
    uint32_t m_disabledTextColour = 0;
    std::string m_backgroundImage;
    QPointer<BackgroundPicture> m_picture; // owned by the widget
    QString m_ownStyleSheet;               // the layout's own style sheet of the widget
    int m_fontId = -1;
    std::string m_styleClass;
    QRect m_baseRect; // at 96 DPI, relative to the parent control
    QSize m_baseMinimum;
    QSize m_baseMaximum;
    bool m_placedByLayout = false;
    bool m_hiddenRoot = false; // SetVisible(false) on the root keeps the window alone
    std::vector<Row> m_rows;   // combos and lists, in step with the widget's rows
    int m_lastIndex = -1;
    std::map<int, QPointer<QTimer>> m_timers;
};

} // namespace velkor::ui
