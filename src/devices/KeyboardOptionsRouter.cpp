#include "devices/KeyboardOptionsRouter.h"

#include "devices/TolvanicKeyboardDevice.h"
#include "ui/Control.h"
#include "ui/ControlClasses.h"

#include <string>

namespace velkor {

namespace {

constexpr int kLightingPage = 1;
constexpr int kKeyPage = 2;

} // namespace

bool KeyboardOptionsRouter::Route(const ui::Notification& notification) {
    ui::Control* sender = notification.sender;
    ui::Control* page = m_keyboard.Presenter().Page();
    if (sender == nullptr || page == nullptr || sender == page || !page->Contains(sender)) {
        return false;
    }
    const std::string& name = sender->Name();
    std::string prefix;
    int number = -1;
    const bool family = ui::SplitFamilyName(name, prefix, number) && number >= 0;
    const ui::SelectableControl* tick = sender->AsSelectable();
    const bool selected = tick != nullptr && tick->IsSelected();

    if (notification.type == ui::kNotifyClick) {
        if (name == "winlockflag_option" || name == "wflag_option" || name == "6flag_option") {
            const KeyboardFlag flag = name == "winlockflag_option" ? KeyboardFlag::WinLock
                                      : name == "wflag_option"     ? KeyboardFlag::WKey
                                                                   : KeyboardFlag::SixKey;
            m_keyboard.SetOptionFlag(flag, selected);
            return true;
        }
        if (name == "default_btn" || name == "reset_repeat_btn") {
            m_keyboard.RestoreDefaults();
            return true;
        }
        if (family && prefix == "key_") {
            if (m_keyboard.Presenter().GetFunctionPage() == kLightingPage) {
                m_keyboard.PaintCustomKey(number);
            } else if (m_keyboard.Presenter().GetFunctionPage() == kKeyPage) {
                m_keyboard.SelectEntry(number);
            }
            return true;
        }
        return false;
    }
    if (notification.type == ui::kNotifySelectChanged && family && selected) {
        if (prefix == "polling_rate_option_") {
            m_keyboard.SelectPollingRate(number);
            return true;
        }
        if (prefix == "repeat_delay_check_") {
            m_keyboard.SelectRepeatDelay(number);
            return true;
        }
        return false;
    }
    if (notification.type == ui::kNotifyValueChanged && name == "repeat_rate_slider") {
        const ui::RangeControl* slider = sender->AsRange();
        m_keyboard.SetRepeatRate(slider != nullptr ? slider->Value() : 0);
        return true;
    }
    return false;
}

} // namespace velkor
