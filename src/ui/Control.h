#pragma once
// A control of a window: a button, label, edit, option, check box, combo,
// slider, progress bar, list, tab container, plain container, or one of the
// program's own controls (key button, selection panel). Controls are built
// from layout files and owned by their window; the logic holds plain pointers
// that stay valid as long as the window lives.
//
// Every operation runs on the user-interface thread. What every control has is
// here; what only some kinds have (a value, rows, a selected state, pages, a
// light, a waveform) is a family of ControlFamilies.h, reached through AsRange()
// and the others, which answer null for a kind without the family. Both
// toolkits behave the same way here.
#include "ui/ControlFamilies.h"
#include "ui/Geometry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace velkor::ui {

class Window;

enum class ControlKind {
    Container,   // QWidget, QFrame, QGroupBox, QScrollArea, Line
    Button,      // QPushButton, QToolButton
    Label,       // QLabel
    Edit,        // QLineEdit
    Option,      // QRadioButton: selecting one deselects its siblings
    Check,       // QCheckBox
    Combo,       // QComboBox
    Slider,      // QSlider
    Progress,    // QProgressBar
    List,        // QListWidget
    Tab,         // QTabWidget, QStackedWidget: one child page shown at a time
    KeyButton,   // DeviceKeyButton: a key or LED of a device picture
    SelectPanel, // SelectPanel: a container with drag selection of its key buttons
    RowView,     // RowView: a scrolling window of reused row controls onto many rows
    Custom,      // a class the toolkit does not know, made a container for a ControlCreator
};

class Control {
public:
    virtual ~Control() = default;

    // --- identity and tree ---
    virtual const std::string& Name() const = 0;
    // The class written in the layout ("QPushButton", "DeviceKeyButton", "TolvanicKeyboardDevice").
    virtual const std::string& ClassName() const = 0;
    virtual ControlKind Kind() const = 0;
    virtual Window& OwnerWindow() const = 0;
    // Null for the window's root.
    virtual Control* Parent() const = 0;
    // Children in layout order; for a list, its layout-built rows; for a tab container, its pages.
    virtual int ChildCount() const = 0;
    virtual Control* ChildAt(int index) const = 0;

    // The first control below this one (not this one) with the name, depth first in layout order; null when
    // absent.
    Control* FindChild(std::string_view name) const;
    // The first control below this one whose class is `className`, depth first; null when absent.
    Control* FindFirstOfClass(std::string_view className) const;
    // Every control below this one whose class is `className`, depth first.
    std::vector<Control*> FindAllOfClass(std::string_view className) const;
    // True when `other` is this control or lies below it.
    bool Contains(const Control* other) const;

    // --- text ---
    // The text as set or loaded; in resource-text mode this is the language key.
    virtual std::string Text() const = 0;
    virtual void SetText(std::string_view text) = 0;
    // Resource-text mode: text, tooltip and item texts are language keys, shown
    // through the toolkit's text provider (a key without text shows the key).
    virtual bool IsResourceText() const = 0;
    virtual void SetResourceText(bool on) = 0;
    // The text as the user sees it.
    virtual std::string DisplayText() const = 0;
    virtual std::string ToolTip() const = 0;
    virtual void SetToolTip(std::string_view text) = 0;

    // --- state ---
    // True when neither this control nor any ancestor up to the window's root is
    // hidden; whether the window itself is shown does not matter.
    virtual bool IsVisible() const = 0;
    virtual void SetVisible(bool visible) = 0;
    // True when this control and every ancestor are enabled.
    virtual bool IsEnabled() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    // A free string the logic attaches (often a number).
    virtual std::string UserData() const = 0;
    virtual void SetUserData(std::string_view data) = 0;

    // --- appearance ---
    // 0xAARRGGBB; 0 means no colour of its own.
    virtual uint32_t BackgroundColour() const = 0;
    virtual void SetBackgroundColour(uint32_t argb) = 0;
    // An image description: a path relative to the resource folder, an absolute
    // path, or "file='power/power.png'" with further attributes. Empty clears it.
    // A file that does not exist is kept and shows nothing.
    // Text colours, 0xAARRGGBB (0: the style's own): shown normally, and while
    // the control is disabled. A selected check box or option keeps the first.
    virtual uint32_t TextColour() const = 0;
    virtual uint32_t DisabledTextColour() const = 0;
    virtual void SetTextColours(uint32_t normal, uint32_t disabled) = 0;
    virtual std::string BackgroundImage() const = 0;
    virtual void SetBackgroundImage(std::string_view description) = 0;
    // Font of the window's font set (Window::AddFont); -1 uses the window's default font.
    virtual int FontId() const = 0;
    virtual void SetFontId(int id) = 0;
    // Position in the parent, in the window's current pixels (they follow the window's DPI).
    virtual Rect Geometry() const = 0;
    virtual void SetGeometry(const Rect& rect) = 0;
    // The control's rectangle on the screen: its window's client area plus the
    // positions of the control and its ancestors.
    Rect ScreenGeometry() const;
    // Asks for a repaint.
    virtual void Invalidate() = 0;
    // A named look the style sheet gives (for example "macro_label_mouse_style");
    // empty: the control's own look. Kept as set, whatever the style sheet knows.
    virtual std::string StyleClass() const = 0;
    virtual void SetStyleClass(std::string_view styleClass) = 0;
    // A property the layout gave the control that no operation covers (a
    // class's own attribute, e.g. "redioimage"); empty when absent.
    virtual std::string LayoutProperty(std::string_view key) const = 0;

    // --- pointer ---
    // The mouse pointer is over the control now.
    virtual bool IsUnderPointer() const = 0;

    // --- families: null when the control's kind has not the family ---
    // Sliders, progress bars.
    virtual RangeControl* AsRange() const = 0;
    // Combos, lists.
    virtual ListControl* AsList() const = 0;
    // Options, check boxes, key buttons.
    virtual SelectableControl* AsSelectable() const = 0;
    // Tab containers.
    virtual PageControl* AsPage() const = 0;
    // Key buttons.
    virtual LightControl* AsLight() const = 0;
    // Class "AudioRecord".
    virtual WaveformControl* AsWaveform() const = 0;
    // Row views.
    virtual RowViewControl* AsRowView() const = 0;

    // --- timers ---
    // Starts (or restarts) timer `id` of this control; it raises "timer" with
    // wParam = id every `intervalMs` until killed or the control goes away.
    // False when intervalMs <= 0.
    virtual bool SetTimer(int id, int intervalMs) = 0;
    // False when the timer was not running.
    virtual bool KillTimer(int id) = 0;
};

// A family of a control that may be absent (a FindChild result): null when
// `control` is null or its kind has not the family. As<RangeControl>(slider).
template <typename Family> Family* As(const Control* control) {
    if (control == nullptr) {
        return nullptr;
    }
    if constexpr (std::is_same_v<Family, RangeControl>) {
        return control->AsRange();
    } else if constexpr (std::is_same_v<Family, ListControl>) {
        return control->AsList();
    } else if constexpr (std::is_same_v<Family, SelectableControl>) {
        return control->AsSelectable();
    } else if constexpr (std::is_same_v<Family, PageControl>) {
        return control->AsPage();
    } else if constexpr (std::is_same_v<Family, LightControl>) {
        return control->AsLight();
    } else if constexpr (std::is_same_v<Family, WaveformControl>) {
        return control->AsWaveform();
    } else {
        static_assert(std::is_same_v<Family, RowViewControl>, "not a control family");
        return control->AsRowView();
    }
}

} // namespace velkor::ui
