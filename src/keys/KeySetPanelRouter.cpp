#include "keys/KeySetPanelRouter.h"

#include "ui/Control.h"
#include "ui/ControlClasses.h"

#include <array>
#include <string>

namespace velkor {
namespace {

constexpr std::array<std::string_view, 9> kStoringCombos = {
    "keyset_mousekey_combo", "keyset_mouseswing_combo", "keyset_mousewheel_combo",
    "keyset_mousedpi_combo", "keyset_media_combo",      "keyset_system_combo",
    "keyset_macro_combo",    "keyset_gunkey_combo",     "keyset_combokey_combo",
};
constexpr std::array<std::string_view, 9> kNumberEdits = {
    "keyset_mouseswing_num_edit",     "keyset_mouseswing_delay_edit", "keyset_mouseswing_speed_edit",
    "keyset_mousewheel_num_edit",     "keyset_mousewheel_delay_edit", "keyset_mousewheel_speed_edit",
    "keyset_mousefire_interval_edit", "keyset_mousefire_num_edit",    "keyset_macro_cycle_edit",
};

template <size_t N> bool OneOf(const std::array<std::string_view, N>& names, std::string_view name) {
    for (std::string_view candidate : names) {
        if (candidate == name) {
            return true;
        }
    }
    return false;
}

} // namespace

KeySetPanelRouter::KeySetPanelRouter(CKeySetControlUI& panel, KeySetHooks hooks)
    : m_panel(panel), m_hooks(std::move(hooks)) {}

bool KeySetPanelRouter::Handles() const {
    return m_panel.DeviceKind() == DeviceClass::Keyboard || m_panel.DeviceKind() == DeviceClass::Mouse;
}

bool KeySetPanelRouter::Route(const ui::Notification& notification) {
    const ui::Control* sender = notification.sender;
    if (sender == nullptr || !m_panel.Panel().Contains(sender)) {
        return false;
    }
    if (!Handles()) {
        return true;
    }
    const std::string& name = sender->Name();
    const std::string_view type = notification.type;
    if (type == ui::kNotifyItemSelect) {
        return RouteItemSelect(name);
    }
    if (type == ui::kNotifySelectChanged) {
        std::string prefix;
        int option = -1;
        const ui::SelectableControl* check = sender->AsSelectable();
        if (ui::SplitFamilyName(name, prefix, option) && prefix == CKeySetControlUI::kModifierPrefix &&
            check != nullptr && check->IsSelected()) {
            m_panel.SetModifierOption(option);
            SaveKey();
        }
        return true;
    }
    if (type == ui::kNotifySetFocus || type == ui::kNotifyKillFocus) {
        if (name == CKeySetControlUI::kKeyTextEdit) {
            if (m_hooks.captureChanged) {
                m_hooks.captureChanged(type == ui::kNotifySetFocus);
            }
        } else if (type == ui::kNotifyKillFocus && OneOf(kNumberEdits, name)) {
            SaveKey();
        }
        return true;
    }
    if (type == ui::kNotifyClick) {
        if (name == CKeySetControlUI::kSaveButton) {
            SaveKey();
        } else if (name == CKeySetControlUI::kDefaultButton) {
            ShowDefault();
        } else if (name == CKeySetControlUI::kCancelButton) {
            Cancel();
        } else if (name == CKeySetControlUI::kWriteButton) {
            WriteAllKeys();
        }
        return true;
    }
    return true;
}

bool KeySetPanelRouter::RouteItemSelect(const std::string& name) {
    if (name == CKeySetControlUI::kFunctionCombo) {
        m_panel.ShowChosenPage();
        SaveKey();
    } else if (name == CKeySetControlUI::kPlayModeCombo) {
        m_panel.ShowPlayModeRow();
        SaveKey();
    } else if (OneOf(kStoringCombos, name)) {
        SaveKey();
    }
    return true;
}

bool KeySetPanelRouter::TakeCapturedKey(ScanCode scan, bool down) {
    if (!Handles() || !down || !m_panel.CaptureKey(scan)) {
        return false;
    }
    SaveKey();
    return true;
}

void KeySetPanelRouter::SaveKey() {
    if (!Handles()) {
        return;
    }
    const KeyListEntry entry = m_panel.Build();
    if (m_hooks.storeEntry) {
        m_hooks.storeEntry(entry);
    }
    SetSaving(true);
}

void KeySetPanelRouter::ShowDefault() {
    if (!Handles()) {
        return;
    }
    m_panel.ShowDefault();
    if (m_panel.DeviceKind() == DeviceClass::Keyboard) {
        SaveKey();
        // The write's result does not take the pending mark back here: the
        // default button leaves saving enabled whatever the write gave.
        if (m_hooks.writeAllKeys) {
            m_hooks.writeAllKeys([](int) {});
        }
    }
    SetSaving(true);
}

void KeySetPanelRouter::Cancel() {
    if (!Handles()) {
        return;
    }
    m_panel.ShowCurrent();
    SetSaving(false);
}

bool KeySetPanelRouter::WriteAllKeys() {
    if (!Handles() || !m_hooks.writeAllKeys) {
        return false;
    }
    return m_hooks.writeAllKeys([this](int result) {
        if (result == 0 || result == -1) {
            SetSaving(false);
        }
    });
}

void KeySetPanelRouter::SetSaving(bool enabled) {
    m_savingEnabled = enabled;
    m_panel.EnableSaving(enabled);
    if (m_hooks.pendingChanged) {
        m_hooks.pendingChanged(enabled);
    }
}

} // namespace velkor
