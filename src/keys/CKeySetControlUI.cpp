#include "keys/CKeySetControlUI.h"

#include "keys/ChoiceTables.h"
#include "ui/Control.h"
#include "ui/ControlClasses.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace velkor {
namespace {

constexpr std::array<std::string_view, 27> kNamedControls = {
    CKeySetControlUI::kLayout,
    CKeySetControlUI::kFunctionCombo,
    CKeySetControlUI::kPages,
    CKeySetControlUI::kSaveButton,
    CKeySetControlUI::kDefaultButton,
    CKeySetControlUI::kCancelButton,
    CKeySetControlUI::kWriteButton,
    "keyset_mousekey_combo",
    "keyset_mouseswing_combo",
    "keyset_mouseswing_num_edit",
    "keyset_mouseswing_delay_edit",
    "keyset_mouseswing_speed_edit",
    "keyset_mousewheel_combo",
    "keyset_mousewheel_num_edit",
    "keyset_mousewheel_delay_edit",
    "keyset_mousewheel_speed_edit",
    "keyset_mousedpi_combo",
    "keyset_mousefire_interval_edit",
    "keyset_mousefire_num_edit",
    CKeySetControlUI::kKeyTextEdit,
    "keyset_media_combo",
    "keyset_system_combo",
    "keyset_macro_combo",
    CKeySetControlUI::kPlayModeCombo,
    "keyset_macro_cycle_layout",
    "keyset_macro_cycle_edit",
    "keyset_combokey_combo",
};
constexpr std::string_view kGunKeyCombo = "keyset_gunkey_combo";
constexpr std::string_view kTextLabel = "text_test";
constexpr std::string_view kMacroCombo = "keyset_macro_combo";
constexpr std::string_view kCycleLayout = "keyset_macro_cycle_layout";
constexpr std::string_view kCycleEdit = "keyset_macro_cycle_edit";

constexpr int kMaxNibble = 0x0F;
constexpr int kMaxCount = 0x7F;
constexpr int kMaxWheelSecond = 0x80;
constexpr int kMaxByte = 0xFF;

bool IsTablePage(int page) {
    return page == kPageMouseButton || page == kPageDpi || page == kPageMedia || page == kPageSystem ||
           page == kPageShortcut;
}

std::string_view TableCombo(int page) {
    switch (page) {
    case kPageMouseButton:
        return "keyset_mousekey_combo";
    case kPageDpi:
        return "keyset_mousedpi_combo";
    case kPageMedia:
        return "keyset_media_combo";
    case kPageSystem:
        return "keyset_system_combo";
    default:
        return "keyset_combokey_combo";
    }
}

std::span<const KeyFunction> TableChoices(int page) {
    switch (page) {
    case kPageMouseButton:
        return MouseButtonChoices();
    case kPageDpi:
        return DpiChoices();
    case kPageMedia:
        return MediaChoices();
    case kPageSystem:
        return SystemChoices();
    default:
        return ShortcutChoices();
    }
}

// The function bytes alone: everything the panel builds has code 0.
KeyFunction Bare(const KeyFunction& value) {
    return KeyFunction{0, value.category, value.paramA, value.paramB};
}

} // namespace

CKeySetControlUI::CKeySetControlUI(ui::Control& panel) : m_panel(panel) {}

ui::Control* CKeySetControlUI::Find(std::string_view name) const {
    return m_panel.FindChild(name);
}

bool CKeySetControlUI::Bound() const {
    return std::all_of(kNamedControls.begin(), kNamedControls.end(),
                       [this](std::string_view name) { return Find(name) != nullptr; }) &&
           Find(kGunKeyCombo) != nullptr && Find(kTextLabel) != nullptr;
}

void CKeySetControlUI::SetDeviceKind(DeviceClass kind) {
    m_kind = kind;
    if (kind != DeviceClass::Keyboard) {
        return;
    }
    // The toolkit boundary cannot hide a combo item; a keyboard never offers
    // these pages, so their items go (the others keep their page numbers).
    for (const int page : {kPageDpi, kPageGunKey}) {
        const int item = FunctionItemOfPage(page);
        if (item >= 0) {
            ui::As<ui::ListControl>(Find(kFunctionCombo))->RemoveItem(item);
        }
    }
}

void CKeySetControlUI::FillMacroList(const std::vector<std::string>& names) {
    auto* combo = ui::As<ui::ListControl>(Find(kMacroCombo));
    if (combo == nullptr) {
        return;
    }
    combo->RemoveAllItems();
    for (const std::string& name : names) {
        combo->InsertItem(-1, name);
    }
    combo->SelectItem(-1, false);
}

void CKeySetControlUI::AppendMacro(const std::string& name) {
    if (auto* combo = ui::As<ui::ListControl>(Find(kMacroCombo))) {
        combo->InsertItem(-1, name);
    }
}

void CKeySetControlUI::RemoveMacro(int index) {
    if (auto* combo = ui::As<ui::ListControl>(Find(kMacroCombo))) {
        combo->RemoveItem(index);
    }
}

void CKeySetControlUI::RenameMacro(int index, const std::string& name) {
    if (auto* combo = ui::As<ui::ListControl>(Find(kMacroCombo))) {
        combo->SetItemText(index, name);
    }
}

void CKeySetControlUI::EditKey(const KeyFunction& current, const KeyFunction& standard) {
    m_current = current;
    m_default = standard;
    ShowValue(m_current);
}

void CKeySetControlUI::EnableSaving(bool enabled) {
    for (std::string_view name : {kSaveButton, kCancelButton, kWriteButton}) {
        if (ui::Control* button = Find(name)) {
            button->SetEnabled(enabled);
        }
    }
}

// ---- Showing a function ---------------------------------------------------------

void CKeySetControlUI::ShowValue(const KeyFunction& value) {
    const KeyCategory category = value.SameFunction(m_default) ? KeyCategory::Default : value.category;
    int page = -1;
    switch (category) {
    case KeyCategory::Default:
        page = kPageDefault;
        break;
    case KeyCategory::MouseButton:
    case KeyCategory::DpiStep:
    case KeyCategory::Media:
    case KeyCategory::System:
        page = category == KeyCategory::MouseButton ? kPageMouseButton
               : category == KeyCategory::DpiStep   ? kPageDpi
               : category == KeyCategory::Media     ? kPageMedia
                                                    : kPageSystem;
        SelectIn(TableCombo(page), FindChoice(TableChoices(page), value));
        break;
    case KeyCategory::MouseMove:
        page = kPageSwing;
        ShowMotion("keyset_mouseswing_", value);
        break;
    case KeyCategory::Wheel:
        page = kPageWheel;
        ShowMotion("keyset_mousewheel_", value);
        break;
    case KeyCategory::RapidFire:
        page = kPageRapidFire;
        WriteNumber("keyset_mousefire_interval_edit", value.paramA);
        WriteNumber("keyset_mousefire_num_edit", value.paramB);
        break;
    case KeyCategory::KeyboardKey:
        page = ShowKeyboardValue(value);
        break;
    case KeyCategory::Macro:
    case KeyCategory::MacroRepeat:
        page = kPageMacro;
        ShowMacroValue(value);
        break;
    case KeyCategory::GunKey:
        page = kPageGunKey;
        SelectIn(kGunKeyCombo, value.paramA);
        break;
    case KeyCategory::ShortcutNone:
        page = kPageShortcut;
        break;
    default:
        break;
    }
    const int item = FunctionItemOfPage(page);
    ui::Control* layout = Find(kLayout);
    if (item < 0) {
        if (layout != nullptr) {
            layout->SetVisible(false);
        }
        return;
    }
    if (layout != nullptr) {
        layout->SetVisible(true);
    }
    SelectIn(kFunctionCombo, item);
    if (auto* pages = ui::As<ui::PageControl>(Find(kPages))) {
        pages->SelectPage(page);
    }
}

void CKeySetControlUI::ShowMotion(std::string_view prefix, const KeyFunction& value) {
    const std::string base(prefix);
    const bool second = (value.paramB & 0x80) != 0;
    int count = value.paramB & 0x7F;
    if (second && value.category == KeyCategory::Wheel) {
        count = 0x80 - count;
    }
    WriteNumber(base + "delay_edit", value.paramA >> 4);
    WriteNumber(base + "speed_edit", value.paramA & 0x0F);
    WriteNumber(base + "num_edit", count);
    SelectIn(base + "combo", second ? 1 : 0);
}

int CKeySetControlUI::ShowKeyboardValue(const KeyFunction& value) {
    if (value.paramA == 0) {
        const KeyTableRow* row = KeyRowAt(FindKeyByUsage(value.paramB));
        if (row != nullptr) {
            SetModifierOption(0);
            SetKeyText(row->nameKey);
        } else {
            SetModifierOption(-1);
            SetKeyText("");
            m_current = KeyFunction{m_current.code, KeyCategory::KeyboardKey, 0, 0};
        }
        return kPageKeyboard;
    }
    if (value.paramA == kShortcutMarker) {
        SelectIn("keyset_combokey_combo", FindChoice(ShortcutChoices(), value));
        return kPageShortcut;
    }
    if (value.paramA <= kModRightWin) {
        const int row = FindKeyByModifier(value.paramA);
        SetModifierOption(row >= 0 ? ModifierOptionOfRow(row) : 0);
        if (const KeyTableRow* key = KeyRowAt(FindKeyByUsage(value.paramB))) {
            SetKeyText(key->nameKey);
        }
    }
    return kPageKeyboard;
}

void CKeySetControlUI::ShowMacroValue(const KeyFunction& value) {
    // An index equal to the count names no macro yet.
    auto* combo = ui::As<ui::ListControl>(Find(kMacroCombo));
    const bool known = combo != nullptr && value.paramA < combo->ItemCount();
    ui::Control* cycle = Find(kCycleLayout);
    if (value.category == KeyCategory::Macro) {
        SelectIn(kMacroCombo, known ? value.paramA : -1);
        SelectIn(kPlayModeCombo, known ? value.paramB : -1);
        if (cycle != nullptr) {
            cycle->SetVisible(false);
        }
        return;
    }
    SelectIn(kMacroCombo, known ? value.paramA : -1);
    SelectIn(kPlayModeCombo, kRepeatPlayMode);
    if (cycle != nullptr) {
        cycle->SetVisible(known);
    }
    WriteNumber(kCycleEdit, value.paramB);
}

int CKeySetControlUI::FunctionItemOfPage(int page) const {
    auto* combo = ui::As<ui::ListControl>(Find(kFunctionCombo));
    if (combo == nullptr || page < 0) {
        return -1;
    }
    const std::string wanted = std::to_string(page);
    for (int i = 0; i < combo->ItemCount(); ++i) {
        if (combo->ItemUserData(i) == wanted) {
            return i;
        }
    }
    return -1;
}

// ---- Building a function --------------------------------------------------------

int CKeySetControlUI::SelectedPage() const {
    auto* combo = ui::As<ui::ListControl>(Find(kFunctionCombo));
    const int item = combo != nullptr ? combo->SelectedIndex() : -1;
    if (item < 0) {
        return -1;
    }
    const std::string data = combo->ItemUserData(item);
    int page = -1;
    const auto [end, error] = std::from_chars(data.data(), data.data() + data.size(), page);
    return error == std::errc() ? page : -1;
}

KeyListEntry CKeySetControlUI::Build() {
    m_current = BuildValue(SelectedPage());
    return KeyListEntry{m_current, m_default};
}

KeyFunction CKeySetControlUI::BuildValue(int page) {
    const KeyFunction kept = Bare(m_current);
    if (IsTablePage(page)) {
        const int selected = SelectedIn(TableCombo(page));
        const auto choices = TableChoices(page);
        // Nothing selected names no entry: the key keeps what it has.
        return selected >= 0 && size_t(selected) < choices.size() ? choices[size_t(selected)] : kept;
    }
    switch (page) {
    case kPageSwing:
        return BuildMotion("keyset_mouseswing_", false);
    case kPageWheel:
        return BuildMotion("keyset_mousewheel_", true);
    case kPageRapidFire: {
        const int interval = ReadNumber("keyset_mousefire_interval_edit", 0, kMaxByte);
        const int count = ReadNumber("keyset_mousefire_num_edit", 0, kMaxByte);
        return MakeRapidFire(interval, count).value_or(kept);
    }
    case kPageKeyboard: {
        ui::Control* edit = Find(kKeyTextEdit);
        const bool empty = edit == nullptr || edit->Text().empty();
        return MakeKeyboardKey(ModifierByte(), empty ? 0 : m_current.paramB);
    }
    case kPageMacro:
        return BuildMacro();
    case kPageGunKey: {
        const int selected = SelectedIn(kGunKeyCombo);
        return selected >= 0 ? MakeGunKey(selected).value_or(kept) : kept;
    }
    default:
        return Bare(m_default);
    }
}

KeyFunction CKeySetControlUI::BuildMotion(std::string_view prefix, bool wheel) {
    const std::string base(prefix);
    MotionParams params;
    params.secondDirection = SelectedIn(base + "combo") == 1;
    params.delay = ReadNumber(base + "delay_edit", 0, kMaxNibble);
    params.speed = ReadNumber(base + "speed_edit", 0, kMaxNibble);
    params.count =
        ReadNumber(base + "num_edit", 0, wheel && params.secondDirection ? kMaxWheelSecond : kMaxCount);
    const auto built = wheel ? MakeWheel(params) : MakeMouseMove(params);
    return built.value_or(Bare(m_current));
}

KeyFunction CKeySetControlUI::BuildMacro() {
    auto* combo = ui::As<ui::ListControl>(Find(kMacroCombo));
    const int count = combo != nullptr ? combo->ItemCount() : 0;
    int macro = SelectedIn(kMacroCombo);
    if (macro >= count) {
        macro = -1;
    }
    if (macro < 0 || count == 0) {
        return Bare(m_current);
    }
    const int mode = SelectedIn(kPlayModeCombo);
    if (mode == kRepeatPlayMode) {
        return MakeMacroRepeat(macro, ReadNumber(kCycleEdit, 0, kMaxByte)).value_or(Bare(m_current));
    }
    return MakeMacro(macro, std::max(mode, 0)).value_or(Bare(m_current));
}

std::uint8_t CKeySetControlUI::ModifierByte() const {
    const int option = ModifierOption();
    return option <= 0 ? 0 : static_cast<std::uint8_t>(1u << (option - 1));
}

// ---- Modifier options, key text and capture -----------------------------------------

void CKeySetControlUI::SetModifierOption(int option) {
    for (int i = 0; i < kModifierOptions; ++i) {
        if (auto* check = ui::As<ui::SelectableControl>(Find(ui::FamilyName(kModifierPrefix, i)))) {
            check->SetSelected(false, false);
        }
    }
    if (auto* check = ui::As<ui::SelectableControl>(
            option >= 0 ? Find(ui::FamilyName(kModifierPrefix, option)) : nullptr)) {
        check->SetSelected(true, false);
    }
}

int CKeySetControlUI::ModifierOption() const {
    for (int i = 0; i < kModifierOptions; ++i) {
        auto* check = ui::As<ui::SelectableControl>(Find(ui::FamilyName(kModifierPrefix, i)));
        if (check != nullptr && check->IsSelected()) {
            return i;
        }
    }
    return -1;
}

void CKeySetControlUI::SetKeyText(std::string_view nameKey) {
    ui::Control* label = Find(kTextLabel);
    ui::Control* edit = Find(kKeyTextEdit);
    if (edit == nullptr) {
        return;
    }
    if (nameKey.empty() || label == nullptr) {
        edit->SetText(nameKey);
        return;
    }
    // The label resolves the name key through the language in use.
    label->SetResourceText(true);
    label->SetText(nameKey);
    edit->SetText(label->DisplayText());
}

std::string CKeySetControlUI::KeyText() const {
    ui::Control* edit = Find(kKeyTextEdit);
    return edit != nullptr ? edit->Text() : std::string();
}

bool CKeySetControlUI::CaptureKey(ScanCode scan) {
    const int rowIndex = FindKeyByScanCode(scan);
    const KeyTableRow* row = KeyRowAt(rowIndex);
    if (row == nullptr || row->function.category != KeyCategory::KeyboardKey) {
        return false;
    }
    if (rowIndex >= int(kFirstPlainKeyRow)) {
        std::uint8_t modifiers = 0;
        if (ModifierOption() == -1) {
            SetModifierOption(0);
        } else {
            modifiers = ModifierByte();
        }
        SetKeyText(row->nameKey);
        m_current = MakeKeyboardKey(modifiers, row->function.paramB);
        return true;
    }
    SetModifierOption(ModifierOptionOfRow(rowIndex));
    SetKeyText("");
    m_current = MakeKeyboardKey(row->function.paramA, 0);
    return true;
}

void CKeySetControlUI::ShowChosenPage() {
    const int page = SelectedPage();
    if (auto* pages = ui::As<ui::PageControl>(Find(kPages))) {
        pages->SelectPage(page);
    }
    if (page == kPageKeyboard) {
        SetKeyText("");
        SetModifierOption(-1);
    }
}

void CKeySetControlUI::ShowPlayModeRow() {
    if (ui::Control* cycle = Find(kCycleLayout)) {
        cycle->SetVisible(SelectedIn(kPlayModeCombo) == kRepeatPlayMode);
    }
}

// ---- Controls -------------------------------------------------------------------

int CKeySetControlUI::ReadNumber(std::string_view name, int low, int high) {
    ui::Control* edit = Find(name);
    if (edit == nullptr) {
        return low;
    }
    const std::string text = edit->Text();
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = std::min<long long>(value * 10 + (c - '0'), high); // no overflow on long input
    }
    const int clamped = int(std::clamp<long long>(value, low, high));
    if (text != std::to_string(clamped)) {
        WriteNumber(name, clamped);
    }
    return clamped;
}

void CKeySetControlUI::WriteNumber(std::string_view name, int value) {
    if (ui::Control* edit = Find(name)) {
        edit->SetText(std::to_string(value));
    }
}

void CKeySetControlUI::SelectIn(std::string_view name, int index) {
    auto* combo = ui::As<ui::ListControl>(Find(name));
    if (combo == nullptr) {
        return;
    }
    combo->SelectItem(index >= 0 && index < combo->ItemCount() ? index : -1, false);
}

int CKeySetControlUI::SelectedIn(std::string_view name) const {
    auto* combo = ui::As<ui::ListControl>(Find(name));
    return combo != nullptr ? combo->SelectedIndex() : -1;
}

} // namespace velkor
