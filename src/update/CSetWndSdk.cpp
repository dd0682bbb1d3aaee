// The settings window's choice of serving the devices to other lighting
// programs: the tick and the port, applied together.
#include "platform/Trace.h"
#include "sdk/SdkWire.h"
#include "update/CSetWnd.h"

namespace velkor {

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
    const int port = edit != nullptr ? sdk::ParsePort(edit->Text()).value_or(0) : storedPort;
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
