#include "app/CDeviceHook.h"

#include "platform/Trace.h"

namespace velkor {

std::string_view HookReportName(HookReport report) {
    switch (report) {
    case HookReport::KeySingleKey:
        return "WM_HOOK_KEY_SINGLEKEY_MSG";
    case HookReport::KeyHitKey:
        return "WM_HOOK_KEY_HITKEY_MSG";
    case HookReport::KeyKbMacro:
        return "WM_HOOK_KEY_KBMACRO_MSG";
    case HookReport::KeyKbMacroPrevious:
        return "WM_HOOK_KEY_KBMACROPREVIOUS_MSG";
    case HookReport::KeyKbMacroLater:
        return "WM_HOOK_KEY_KBMACROLATER_MSG";
    case HookReport::KeyKbMacroSingle:
        return "WM_HOOK_KEY_KBMACROSINGLE_MSG";
    case HookReport::MouSingleKey:
        return "WM_HOOK_MOU_SINGLEKEY_MSG";
    case HookReport::MouHitKey:
        return "WM_HOOK_MOU_HITKEY_MSG";
    case HookReport::MouKbMacro:
        return "WM_HOOK_MOU_KBMACRO_MSG";
    case HookReport::KeyMsMacro:
        return "WM_HOOK_KEY_MSMACRO_MSG";
    case HookReport::KeyMsMacroPrevious:
        return "WM_HOOK_KEY_MSMACROPREVIOUS_MSG";
    case HookReport::KeyMsMacroLater:
        return "WM_HOOK_KEY_MSMACROLATER_MSG";
    case HookReport::KeyMsMacroSingle:
        return "WM_HOOK_KEY_MSMACROSINGLE_MSG";
    }
    return {};
}

std::optional<HookReport> KeyReportFor(int mode) {
    switch (mode) {
    case 1:
        return HookReport::KeySingleKey;
    case 2:
        return HookReport::KeyHitKey;
    case 4:
        return HookReport::KeyKbMacro;
    case 8:
        return HookReport::KeyKbMacroPrevious;
    case 16:
        return HookReport::KeyKbMacroLater;
    case 32:
        return HookReport::KeyKbMacroSingle;
    case 256:
        return HookReport::MouSingleKey;
    case 512:
        return HookReport::MouHitKey;
    case 1024:
        return HookReport::MouKbMacro;
    default:
        return std::nullopt;
    }
}

std::optional<HookReport> ButtonReportFor(int mode) {
    switch (mode) {
    case 4:
        return HookReport::KeyMsMacro;
    case 8:
        return HookReport::KeyMsMacroPrevious;
    case 16:
        return HookReport::KeyMsMacroLater;
    case 32:
        return HookReport::KeyMsMacroSingle;
    default:
        return std::nullopt;
    }
}

bool IsRecordingReport(HookReport report) {
    switch (report) {
    case HookReport::KeyKbMacro:
    case HookReport::KeyKbMacroPrevious:
    case HookReport::KeyKbMacroLater:
    case HookReport::KeyKbMacroSingle:
    case HookReport::KeyMsMacro:
    case HookReport::KeyMsMacroPrevious:
    case HookReport::KeyMsMacroLater:
    case HookReport::KeyMsMacroSingle:
        return true;
    default:
        return false;
    }
}

bool IsRecordingMode(int mode) {
    return mode == 4 || mode == 8 || mode == 16 || mode == 32;
}

InputClasses WindowTapSource::Begin(ui::InputTap& sink, InputClasses wanted) {
    m_window.SetInputTap(&sink);
    m_set = m_window.GetInputTap() == &sink;
    return m_set ? wanted : InputClasses{};
}

void WindowTapSource::End() {
    if (m_set) {
        m_window.SetInputTap(nullptr);
        m_set = false;
    }
}

CDeviceHook::~CDeviceHook() {
    Stop();
}

void CDeviceHook::SetSources(std::vector<HookInputSource*> sources) {
    if (!m_hooked) {
        m_sources = std::move(sources);
    }
}

int CDeviceHook::Start(int value, int mode, HookReceiver* target, bool keyboardHook, bool buttonHook) {
    (void)value;
    Stop();
    InputClasses wanted{keyboardHook, buttonHook};
    for (HookInputSource* source : m_sources) {
        auto feed = std::make_unique<Feed>(*this, *source);
        feed->m_served = source->Begin(*feed, wanted);
        feed->m_served.keys = feed->m_served.keys && wanted.keys;
        feed->m_served.buttons = feed->m_served.buttons && wanted.buttons;
        if (feed->m_served.keys) {
            m_keySource = source->Kind();
            wanted.keys = false;
        }
        if (feed->m_served.buttons) {
            m_buttonSource = source->Kind();
            wanted.buttons = false;
        }
        m_feeds.push_back(std::move(feed));
    }
    if (keyboardHook && m_keySource == HookSourceKind::None) {
        Trace("input hook: no source can serve the keys");
        EndSources();
        return 0;
    }
    if (buttonHook && m_buttonSource == HookSourceKind::None) {
        Trace("input hook: no source serves the mouse buttons");
    }
    m_target = target;
    m_mode = mode;
    m_hooked = true;
    return 1;
}

int CDeviceHook::Stop() {
    const bool keys = m_keySource != HookSourceKind::None;
    EndSources();
    m_hooked = false;
    return keys ? 1 : 0;
}

void CDeviceHook::EndSources() {
    for (auto& feed : m_feeds) {
        feed->m_source.End();
    }
    m_feeds.clear();
    m_keySource = HookSourceKind::None;
    m_buttonSource = HookSourceKind::None;
}

void CDeviceHook::Feed::InputTapped(const ui::InputPress& press) {
    const bool key = press.kind == ui::InputPress::Kind::Key;
    if (key ? m_served.keys : m_served.buttons) {
        m_hook.Report(press); // last: the receiver may end the hook and this feed with it
    }
}

void CDeviceHook::Report(const ui::InputPress& press) {
    if (!m_hooked || m_target == nullptr) {
        return;
    }
    const bool key = press.kind == ui::InputPress::Kind::Key;
    const std::optional<HookReport> report = key ? KeyReportFor(m_mode) : ButtonReportFor(m_mode);
    if (report) {
        m_target->HookReported(*report, press);
    }
}

} // namespace velkor
