#include "devices/DevicePresenter.h"

#include "devices/DeviceListItem.h"
#include "devices/DeviceState.h"

namespace velkor {

namespace {

bool Ask(const std::function<bool()>& hook, bool otherwise) {
    return hook ? hook() : otherwise;
}

} // namespace

DevicePresenter::DevicePresenter(const DeviceState& state, const TickClock& clock, DeviceUiPost& ui)
    : m_state(state), m_clock(clock), m_ui(ui) {}

void DevicePresenter::SetPowerPanel(PowerPanelLink* panel) {
    m_powerPanel = panel;
    ShowBatteryArea(m_state.BatteryFlag());
}

void DevicePresenter::ShowBatteryArea(bool show) {
    if (m_powerPanel != nullptr) {
        m_powerPanel->ShowBatteryArea(show);
    }
}

void DevicePresenter::NotifyMainWindow(uint32_t message, int64_t wParam, int64_t lParam) {
    auto deliver = [this, message, wParam, lParam] {
        if (m_mainWindow != nullptr) {
            m_mainWindow->DeviceMessage(message, wParam, lParam);
        }
    };
    if (m_ui.OnUiThread()) {
        deliver();
        return;
    }
    // From a device thread: never wait for the user-interface thread, which
    // may itself be waiting for this thread to stop.
    m_ui.Post(deliver);
}

void DevicePresenter::RequestResync(int delayMs) {
    m_ui.Post([this, delayMs] {
        if (m_listItem != nullptr) {
            m_listItem->StartResyncTimer(delayMs);
        }
    });
}

void DevicePresenter::SetPreviewSeen(bool seen) {
    if (m_previewSeen.exchange(seen) != seen && m_hooks.previewChanged) {
        m_hooks.previewChanged();
    }
}

bool DevicePresenter::PreviewVisible() const {
    return m_previewSeen && m_state.PictureFlag() && Ask(m_hooks.lightsOnPage, true);
}

bool DevicePresenter::FramesWanted() const {
    return m_state.LightControlFlag() && (PreviewVisible() || Ask(m_hooks.framesLeaveHost, false));
}

bool DevicePresenter::TickWanted() const {
    return m_state.LightControlFlag() && (PreviewVisible() || Ask(m_hooks.tickDrivesDevice, false));
}

void DevicePresenter::ResumeTicks() {
    auto resume = [this] {
        if (m_listItem != nullptr && TickWanted()) {
            m_listItem->ResumeLightFrames();
        }
    };
    if (m_ui.OnUiThread()) {
        resume();
    } else {
        m_ui.Post(resume);
    }
}

bool DevicePresenter::PicturePaintDue() {
    if (!PreviewVisible()) {
        return false;
    }
    const uint32_t now = m_clock.NowMs();
    if (m_paintedOnce && int32_t(now - m_nextPaintMs) < 0) {
        return false;
    }
    // The next paint is due a period after this one was due, so that ticks
    // that do not fall on the period still give 30 a second, never more;
    // after a pause the count starts over.
    const bool onTime = m_paintedOnce && now - m_nextPaintMs < kPicturePaintPeriodMs;
    m_nextPaintMs = (onTime ? m_nextPaintMs : now) + kPicturePaintPeriodMs;
    m_paintedOnce = true;
    return true;
}

void DevicePresenter::PaintLightsWhenDue(std::span<const uint32_t> leds) {
    if (PicturePaintDue()) {
        m_page.PaintLights(leds);
    }
}

} // namespace velkor
