#include "ui/ControlClasses.h"

#include "ui/Toolkit.h"

#include <array>
#include <charconv>
#include <utility>

namespace velkor::ui {

namespace {

constexpr std::array<std::pair<std::string_view, ControlKind>, 24> kBuiltIn = {{
    {"QWidget", ControlKind::Container},
    {"QFrame", ControlKind::Container},
    {"QGroupBox", ControlKind::Container},
    {"QScrollArea", ControlKind::Container},
    {"Line", ControlKind::Container},
    {"QPushButton", ControlKind::Button},
    {"QToolButton", ControlKind::Button},
    {kRedioMacroButtonClass, ControlKind::Button},
    {"QLabel", ControlKind::Label},
    {"QLineEdit", ControlKind::Edit},
    {"QRadioButton", ControlKind::Option},
    {"QCheckBox", ControlKind::Check},
    {"QComboBox", ControlKind::Combo},
    {"QSlider", ControlKind::Slider},
    {"QProgressBar", ControlKind::Progress},
    {"QListWidget", ControlKind::List},
    {"QTabWidget", ControlKind::Tab},
    {"QStackedWidget", ControlKind::Tab},
    {kDeviceKeyButtonClass, ControlKind::KeyButton},
    {kSelectPanelClass, ControlKind::SelectPanel},
    {kRowViewClass, ControlKind::RowView},
    {kColorPaletteClass, ControlKind::Container},
    {kAudioRecordClass, ControlKind::Container},
    {"QDialog", ControlKind::Container},
}};

std::optional<uint32_t> ParseHex(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (ec != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

// Position of `control` relative to `panel`, or nullopt when it is not below it.
std::optional<Rect> RectInPanel(const Control& panel, const Control& control) {
    Rect rect = control.Geometry();
    for (const Control* parent = control.Parent(); parent != &panel; parent = parent->Parent()) {
        if (parent == nullptr) {
            return std::nullopt;
        }
        const Rect offset = parent->Geometry();
        rect = rect.Translated(offset.x, offset.y);
    }
    return rect;
}

} // namespace

std::optional<ControlKind> BuiltInKind(std::string_view className) {
    for (const auto& [name, kind] : kBuiltIn) {
        if (name == className) {
            return kind;
        }
    }
    return std::nullopt;
}

bool KindHasSelection(ControlKind kind) {
    return kind == ControlKind::Option || kind == ControlKind::Check || kind == ControlKind::KeyButton;
}

bool KindHasItems(ControlKind kind) {
    return kind == ControlKind::Combo || kind == ControlKind::List;
}

bool KindHasValue(ControlKind kind) {
    return kind == ControlKind::Slider || kind == ControlKind::Progress;
}

bool KindHoldsLayouts(ControlKind kind) {
    return kind == ControlKind::Container || kind == ControlKind::SelectPanel ||
           kind == ControlKind::Custom || kind == ControlKind::Tab;
}

bool SplitFamilyName(std::string_view name, std::string& prefix, int& number) {
    const size_t underscore = name.rfind('_');
    if (underscore == std::string_view::npos || underscore + 1 >= name.size()) {
        return false;
    }
    const std::string_view digits = name.substr(underscore + 1);
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size()) {
        return false;
    }
    prefix.assign(name.substr(0, underscore + 1));
    number = value;
    return true;
}

std::string FamilyName(std::string_view prefix, int number) {
    std::string name(prefix);
    name += std::to_string(number);
    return name;
}

std::optional<uint32_t> ParseColour(std::string_view text) {
    if (text.starts_with('#')) {
        text.remove_prefix(1);
        if (text.size() == 6) {
            const auto rgb = ParseHex(text);
            return rgb ? std::optional<uint32_t>(0xFF000000u | *rgb) : std::nullopt;
        }
        return text.size() == 8 ? ParseHex(text) : std::nullopt;
    }
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        return ParseHex(text);
    }
    return std::nullopt;
}

std::string ImageFileOf(std::string_view description) {
    std::string file;
    const size_t key = description.find("file='");
    if (key == std::string_view::npos) {
        file.assign(description);
    } else {
        const size_t start = key + 6;
        const size_t end = description.find('\'', start);
        file.assign(
            description.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    }
    for (char& c : file) {
        if (c == '\\') {
            c = '/';
        }
    }
    return file;
}

int ApplyDragSelection(Control& panel, const Rect& dragged) {
    int selected = 0;
    for (Control* key : panel.FindAllOfClass(kDeviceKeyButtonClass)) {
        const std::optional<Rect> rect = RectInPanel(panel, *key);
        const bool hit = rect && key->IsVisible() && rect->Intersects(dragged);
        if (SelectableControl* selectable = key->AsSelectable()) {
            selectable->SetSelected(hit, false);
        }
        selected += hit ? 1 : 0;
    }
    return selected;
}

void OfferCustomControls(ControlCreator* creator, Control& top) {
    if (creator == nullptr) {
        return;
    }
    std::vector<Control*> custom;
    std::vector<Control*> pending{&top};
    while (!pending.empty()) {
        Control* control = pending.back();
        pending.pop_back();
        if (control->Kind() == ControlKind::Custom) {
            custom.push_back(control);
        }
        for (int i = control->ChildCount() - 1; i >= 0; --i) {
            if (Control* child = control->ChildAt(i)) {
                pending.push_back(child);
            }
        }
    }
    for (Control* control : custom) {
        creator->ControlCreated(control->ClassName(), *control);
    }
}

} // namespace velkor::ui
