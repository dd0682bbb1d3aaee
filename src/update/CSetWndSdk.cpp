// The settings window's choice of serving the devices to other lighting
// programs: the tick and the port, applied together.
#include "platform/Trace.h"
#include "update/CSetWnd.h"

#include <charconv>

namespace velkor {

namespace {

// A port of 1..65535, or 0 for anything else.
int ParsePort(const std::string& text) {
    int port = 0;
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, port);
    return error == std::errc() && next == end && port >= 1 && port <= 65535 ? port : 0;
}

} // namespace

void CSetWnd::ShowSdkServer() {
    const bool offered = m_services.sdkServer && m_services.setSdkServer;
    if (ui::Control* group = Find("sdk_server_layout")) {
        group->SetVisible(offered);
    }
    if (!offered) {
        return;
    }
    const auto [on, port] = m_services.sdkServer();
    if (auto* tick = ui::As<ui::SelectableControl>(Find(kSdkServer))) {
        tick->SetSelected(on, false);
    }
    if (ui::Control* edit = Find(kSdkPort)) {
        edit->SetText(std::to_string(port));
    }
}

void CSetWnd::SdkServerChosen() {
    if (!m_services.sdkServer || !m_services.setSdkServer) {
        return;
    }
    const auto* tick = ui::As<ui::SelectableControl>(Find(kSdkServer));
    ui::Control* edit = Find(kSdkPort);
    const int storedPort = m_services.sdkServer().second;
    const bool on = tick != nullptr && tick->IsSelected();
    const int port = edit != nullptr ? ParsePort(edit->Text()) : storedPort;
    std::string why;
    bool applied = false;
    if (port == 0) {
        why = "the port is a number from 1 to 65535";
        if (edit != nullptr) {
            edit->SetText(std::to_string(storedPort)); // the stored port stands
        }
    } else {
        applied = m_services.setSdkServer(on, port, &why);
    }
    if (!applied) {
        TraceF("other lighting programs: %s", why.c_str());
    }
    if (ui::Control* message = Find(kSdkError)) {
        message->SetText(applied ? std::string()
                                 : m_services.toolkit.LookUpText("sdk_server_failed_text") + ": " + why);
        message->SetVisible(!applied);
    }
}

} // namespace velkor
