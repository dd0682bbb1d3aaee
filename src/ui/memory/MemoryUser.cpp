#include "ui/memory/MemoryUser.h"

#include "ui/ControlClasses.h"
#include "ui/memory/MemoryShell.h"
#include "ui/memory/MemoryToolkit.h"

#include <string_view>

namespace velkor::ui {

namespace {

MemoryControl* AsMemory(Control& control) {
    return dynamic_cast<MemoryControl*>(&control);
}

bool TakesFocus(ControlKind kind) {
    switch (kind) {
    case ControlKind::Button:
    case ControlKind::Option:
    case ControlKind::Check:
    case ControlKind::Combo:
    case ControlKind::List:
    case ControlKind::RowView:
    case ControlKind::Slider:
    case ControlKind::Edit:
        return true;
    default:
        return false;
    }
}

// The character a letter or digit key types (US layout), or 0.
char CharacterOf(uint16_t code) {
    static constexpr std::string_view kRows[] = {"1234567890", "qwertyuiop", "asdfghjkl", "zxcvbnm"};
    static constexpr uint16_t kFirst[] = {2, 16, 30, 44}; // KEY_1, KEY_Q, KEY_A, KEY_Z
    for (size_t row = 0; row < 4; ++row) {
        if (code >= kFirst[row] && code < kFirst[row] + kRows[row].size()) {
            return kRows[row][code - kFirst[row]];
        }
    }
    return 0;
}

} // namespace

bool MemoryUser::PressKey(Window& window, uint16_t code, bool down, int64_t timeMs) {
    auto* memory = dynamic_cast<MemoryWindow*>(&window);
    if (memory == nullptr) {
        return false;
    }
    if (InputTap* tap = memory->GetInputTap()) {
        tap->InputTapped({InputPress::Kind::Key, code, down, timeMs});
        return true;
    }
    auto* edit = dynamic_cast<MemoryControl*>(memory->FocusedControl());
    const char typed = CharacterOf(code);
    if (down && typed != 0 && edit != nullptr && edit->Kind() == ControlKind::Edit && Reachable(*edit)) {
        edit->SetText(edit->Text() + typed);
        edit->Raise(kNotifyTextChanged);
    }
    return true;
}

bool MemoryUser::PressButton(Window& window, uint16_t code, bool down, int64_t timeMs) {
    auto* memory = dynamic_cast<MemoryWindow*>(&window);
    if (memory == nullptr) {
        return false;
    }
    if (InputTap* tap = memory->GetInputTap()) {
        tap->InputTapped({InputPress::Kind::Button, code, down, timeMs});
    }
    return true;
}

bool MemoryUser::Reachable(const Control& control) {
    const auto* memory = dynamic_cast<const MemoryControl*>(&control);
    if (memory == nullptr) {
        return false;
    }
    const MemoryWindow& window = memory->HostWindow();
    return window.IsVisible() && !window.IsMinimized() && !window.IsBlocked() && control.IsVisible() &&
           control.IsEnabled();
}

void MemoryUser::FocusByMouse(Control& control) {
    if (TakesFocus(control.Kind())) {
        Focus(control);
    }
}

bool MemoryUser::Click(Control& control) {
    MemoryControl* target = AsMemory(control);
    if (target == nullptr || !Reachable(control)) {
        return false;
    }
    const ControlKind kind = target->Kind();
    if (kind != ControlKind::Button && kind != ControlKind::KeyButton && kind != ControlKind::Option &&
        kind != ControlKind::Check) {
        return false;
    }
    // Every handler may close and destroy the window: each step checks it is still there.
    const std::weak_ptr<int> alive = target->HostWindow().AliveToken();
    FocusByMouse(control);
    if (!alive.expired() && kind == ControlKind::Option) {
        target->SetSelected(true, true); // nothing is raised when it was selected already
    } else if (!alive.expired() && kind == ControlKind::Check) {
        target->SetSelected(!target->IsSelected(), true);
    }
    if (!alive.expired()) {
        target->Raise(kNotifyClick);
    }
    return true;
}

bool MemoryUser::Click(Window& window, std::string_view name) {
    Control* control = window.FindControl(name);
    return control != nullptr && Click(*control);
}

bool MemoryUser::ChooseItem(Control& control, int index) {
    MemoryControl* target = AsMemory(control);
    if (target == nullptr || !Reachable(control) || !KindHasItems(target->Kind()) || index < 0 ||
        index >= target->ItemCount()) {
        return false;
    }
    const std::weak_ptr<int> alive = target->HostWindow().AliveToken();
    FocusByMouse(control);
    if (!alive.expired()) {
        target->SelectItem(index, true);
    }
    if (!alive.expired() && target->Kind() == ControlKind::List) {
        target->Raise(kNotifyItemClick, index);
    }
    return true;
}

bool MemoryUser::ActivateItem(Control& list, int index) {
    MemoryControl* target = AsMemory(list);
    if (target == nullptr || target->Kind() != ControlKind::List || !ChooseItem(list, index)) {
        return false;
    }
    target->Raise(kNotifyItemActivate, index);
    return true;
}

bool MemoryUser::ScrollRows(Control& view, int rows) {
    MemoryControl* target = AsMemory(view);
    if (target == nullptr || !Reachable(view) || target->Kind() != ControlKind::RowView) {
        return false;
    }
    if (target->ScrollToRow(target->FirstVisibleRow() + rows)) {
        target->Raise(kNotifyScroll, target->FirstVisibleRow());
    }
    return true;
}

bool MemoryUser::ClickRow(Control& view, int row, int64_t modifiers) {
    MemoryControl* target = AsMemory(view);
    if (target == nullptr || !Reachable(view) || target->Kind() != ControlKind::RowView ||
        row < target->FirstVisibleRow() || row >= target->FirstVisibleRow() + target->VisibleRowCount()) {
        return false;
    }
    const std::weak_ptr<int> alive = target->HostWindow().AliveToken();
    FocusByMouse(view);
    if (!alive.expired()) {
        target->Raise(kNotifyItemClick, row, modifiers);
    }
    return true;
}

bool MemoryUser::DragSlider(Control& slider, std::initializer_list<int> positions) {
    MemoryControl* target = AsMemory(slider);
    if (target == nullptr || !Reachable(slider) || target->Kind() != ControlKind::Slider) {
        return false;
    }
    const std::weak_ptr<int> alive = target->HostWindow().AliveToken();
    FocusByMouse(slider);
    for (int position : positions) {
        if (alive.expired()) {
            return true;
        }
        const int before = target->Value();
        target->SetValue(position);
        if (target->Value() != before) {
            target->Raise(kNotifyMoveValueChanged, target->Value());
        }
    }
    if (!alive.expired()) {
        target->Raise(kNotifyValueChanged, target->Value());
    }
    return true;
}

bool MemoryUser::StepSlider(Control& slider, int value) {
    MemoryControl* target = AsMemory(slider);
    if (target == nullptr || !Reachable(slider) || target->Kind() != ControlKind::Slider) {
        return false;
    }
    const std::weak_ptr<int> alive = target->HostWindow().AliveToken();
    FocusByMouse(slider); // keys reach only the control with the focus
    if (alive.expired()) {
        return true;
    }
    const int before = target->Value();
    target->SetValue(value);
    if (target->Value() != before) {
        target->Raise(kNotifyValueChanged, target->Value());
    }
    return true;
}

bool MemoryUser::Focus(Control& control) {
    MemoryControl* target = AsMemory(control);
    if (target == nullptr || !Reachable(control)) {
        return false;
    }
    MemoryWindow& window = target->HostWindow();
    const std::weak_ptr<int> alive = window.AliveToken();
    Control* previous = window.FocusedControl();
    if (previous == &control) {
        return true;
    }
    window.SetFocusedControl(&control);
    if (auto* old = dynamic_cast<MemoryControl*>(previous)) {
        old->Raise(kNotifyKillFocus);
    }
    // A handler of "killfocus" may have closed the window or moved the focus elsewhere.
    if (!alive.expired() && window.FocusedControl() == &control) {
        target->Raise(kNotifySetFocus);
    }
    return true;
}

bool MemoryUser::Type(Control& edit, std::string_view text) {
    MemoryControl* target = AsMemory(edit);
    if (target == nullptr || target->Kind() != ControlKind::Edit) {
        return false;
    }
    const std::weak_ptr<int> alive = target->HostWindow().AliveToken();
    if (!Focus(edit)) {
        return false;
    }
    if (alive.expired()) {
        return true; // the focus change closed the window
    }
    if (target->Text() != text) {
        target->SetText(text);
        target->Raise(kNotifyTextChanged);
    }
    return true;
}

bool MemoryUser::DragSelect(Control& panel, Point from, Point to) {
    MemoryControl* target = AsMemory(panel);
    if (target == nullptr || !Reachable(panel) || target->Kind() != ControlKind::SelectPanel) {
        return false;
    }
    const Rect area = target->Geometry();
    const Rect inside{0, 0, area.width, area.height};
    if (!inside.Contains(from)) {
        return false; // the press must land on the panel
    }
    const int selected = ApplyDragSelection(panel, Rect::FromCorners(from, to));
    target->Raise(kNotifySelectEnd, selected);
    return true;
}

bool MemoryUser::PickColour(Control& control, uint32_t argb) {
    MemoryControl* target = AsMemory(control);
    if (target == nullptr || !Reachable(control)) {
        return false;
    }
    target->Raise(kNotifyColorChanged, int64_t(argb));
    return true;
}

bool MemoryUser::RequestClose(Window& window) {
    auto* memory = dynamic_cast<MemoryWindow*>(&window);
    if (memory == nullptr || !memory->IsVisible() || memory->IsBlocked()) {
        return false;
    }
    WindowHandler* handler = memory->Handler();
    if (handler == nullptr || handler->CloseRequested(window)) {
        window.Close(0);
    }
    return true;
}

bool MemoryUser::Resize(Window& window, int width, int height) {
    if (width < 0 || height < 0) {
        return false;
    }
    const Rect rect = window.Geometry();
    window.SetGeometry(Rect{rect.x, rect.y, width, height});
    return true;
}

void MemoryUser::Activate(Window& window, bool active) {
    auto* memory = dynamic_cast<MemoryWindow*>(&window);
    if (memory == nullptr || memory->IsActive() == active) {
        return;
    }
    memory->SetActive(active);
    if (memory->Handler() != nullptr) {
        memory->Handler()->ActiveChanged(window, active);
    }
}

void MemoryUser::Hover(Window& window, bool inside) {
    auto* memory = dynamic_cast<MemoryWindow*>(&window);
    if (memory != nullptr && memory->Handler() != nullptr) {
        memory->Handler()->HoverChanged(window, inside);
    }
}

void MemoryUser::ChangeDisplay(Window& window) {
    auto* memory = dynamic_cast<MemoryWindow*>(&window);
    if (memory != nullptr && memory->Handler() != nullptr) {
        memory->Handler()->DisplayChanged(window);
    }
}

void MemoryUser::ChangeDpi(Window& window, int suggestedDpi) {
    auto* memory = dynamic_cast<MemoryWindow*>(&window);
    if (memory != nullptr && memory->Handler() != nullptr) {
        memory->Handler()->DpiChanged(window, suggestedDpi);
    }
}

bool MemoryUser::ChooseMenuItem(Menu& menu, std::string_view item) {
    auto* memory = dynamic_cast<MemoryMenu*>(&menu);
    return memory != nullptr && memory->Choose(item);
}

bool MemoryUser::ClickTrayIcon(TrayIcon& icon, MouseButton button) {
    auto* memory = dynamic_cast<MemoryTrayIcon*>(&icon);
    return memory != nullptr && memory->Click(button);
}

} // namespace velkor::ui
