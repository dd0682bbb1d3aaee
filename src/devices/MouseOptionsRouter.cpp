#include "devices/MouseOptionsRouter.h"

#include "devices/TolvanicMouseDevice.h"
#include "ui/Control.h"
#include "ui/ControlClasses.h"

#include <string>

namespace velkor {

namespace {

constexpr int kKeyPage = 2;

} // namespace

bool MouseOptionsRouter::Route(const ui::Notification& notification) {
    ui::Control* sender = notification.sender;
    ui::Control* page = m_mouse.Presenter().Page();
    if (sender == nullptr || page == nullptr || sender == page || !page->Contains(sender)) {
        return false;
    }
    if (RoutePointer(notification)) {
        return true;
    }
    std::string prefix;
    int n = -1;
    if (!ui::SplitFamilyName(sender->Name(), prefix, n) || n < 0) {
        if (notification.type == ui::kNotifyClick && sender->Name() == "default_btn") {
            m_mouse.RestoreDefaults();
            return true;
        }
        return false;
    }
    const std::string_view type = notification.type;
    if (type == ui::kNotifySelectChanged) {
        const ui::SelectableControl* tick = sender->AsSelectable();
        const bool selected = tick != nullptr && tick->IsSelected();
        if (prefix == "DPI_select_check_") {
            if (selected) {
                m_mouse.SetActiveDpiStage(n);
            }
            return true;
        }
        if (prefix == "DPI_enable_check_") {
            m_mouse.SetStageEnabled(n, selected);
            return true;
        }
        if (prefix == "mouse_macro_page_option_") {
            // The macro tab holds the macros and the recoil patterns, one at a time.
            auto* pages = ui::As<ui::PageControl>(page->FindChild("mouse_macro_page_switch"));
            if (selected && pages != nullptr) {
                pages->SelectPage(n);
            }
            return true;
        }
        if (prefix == "polling_rate_option_") {
            if (selected) {
                m_mouse.SelectPollingRate(n);
            }
            return true;
        }
        return false;
    }
    if (prefix == "DPI_slider_" && (type == ui::kNotifyMoveValueChanged || type == ui::kNotifyValueChanged)) {
        const ui::RangeControl* slider = sender->AsRange();
        m_mouse.SetStageStep(n, slider != nullptr ? slider->Value() : 0, type == ui::kNotifyMoveValueChanged);
        return true;
    }
    if (prefix == "DPI_edit_" && type == ui::kNotifyKillFocus) {
        m_mouse.SetStageDpiText(n, sender->Text());
        return true;
    }
    if (type == ui::kNotifyClick && prefix == "DPI_color_option_") {
        const uint32_t current = sender->BackgroundColour() & 0xFFFFFFu;
        if (m_hooks.askColour) {
            if (const std::optional<uint32_t> chosen = m_hooks.askColour(current)) {
                m_mouse.SetStageColour(n, *chosen & 0xFFFFFFu);
            }
        }
        return true;
    }
    if (type == ui::kNotifyClick && prefix == "key_" && m_mouse.Presenter().GetFunctionPage() == kKeyPage) {
        m_mouse.SelectEntry(n);
        return true;
    }
    return false;
}

bool MouseOptionsRouter::RoutePointer(const ui::Notification& notification) {
    const std::string& name = notification.sender->Name();
    const bool slider =
        notification.type == ui::kNotifyValueChanged &&
        (name == "pointer_speed_slider" || name == "scroll_speed_slider" || name == "double_click_slider");
    const bool check = notification.type == ui::kNotifySelectChanged &&
                       (name == "pointer_precision_check" || name == "scrolls_page_check");
    if (!slider && !check) {
        return false;
    }
    MouseSystemRecord record = m_mouse.SystemRecord();
    const ui::RangeControl* range = notification.sender->AsRange();
    const ui::SelectableControl* tick = notification.sender->AsSelectable();
    const int value =
        slider ? (range != nullptr ? range->Value() : 0) : (tick != nullptr && tick->IsSelected() ? 1 : 0);
    const uint16_t on = uint16_t(value);
    if (name == "pointer_speed_slider") {
        record.mouseSpeed = uint16_t(std::max(value, 0));
    } else if (name == "scroll_speed_slider") {
        record.wheelScrollLines = uint16_t(std::max(value, 0));
    } else if (name == "double_click_slider") {
        record.doubleClickTime = uint16_t(std::max(value, 0));
    } else if (name == "pointer_precision_check") {
        record.pointerPrecision = on;
    } else {
        record.scrollPage = on;
    }
    m_mouse.StoreMouseSystem(record);
    if (m_hooks.pointerChanged) {
        m_hooks.pointerChanged(name, value);
    }
    return true;
}

} // namespace velkor
