#include "app/SettingsWindowHost.h"

#include "app/Autostart.h"
#include "app/LanguageFonts.h"
#include "lighting/LightCommit.h"
#include "platform/Trace.h"
#include "profiles/LanguageTexts.h"
#include "profiles/ProfileFolders.h"

namespace velkor {

std::vector<AttachedInterface> AttachedCommandInterfaces(const DeviceDiscovery& discovery) {
    std::vector<AttachedInterface> attached;
    for (DeviceClass kind : kLightingClassKinds) {
        for (CTolvanicUSBDevice* device : discovery.DevicesOfClass(kind)) {
            const DeviceTransport& transport = device->Driver().CommandTransport();
            if (!transport.IsOpen()) {
                continue; // a closed device is not offered an update
            }
            const HidInterface& channel =
                transport.Channel(transport.OnReceiver() ? ChannelType::Receiver : ChannelType::Wired);
            const HidAttributes& attributes = channel.Attributes();
            attached.push_back({attributes.vendorId, attributes.productId, attributes.versionNumber});
        }
    }
    return attached;
}

SettingsWindowHost::SettingsWindowHost(ui::Toolkit& toolkit, const ControlFactory& factory,
                                       SettingsWindowSetup setup)
    : m_toolkit(toolkit), m_factory(factory), m_setup(std::move(setup)) {}

void SettingsWindowHost::Run(ui::Window& owner, const ui::Rect& placement, int dpi,
                             const DeviceDiscovery* discovery, const std::function<int()>& languageIndex,
                             const std::function<void(uint32_t message, int64_t wParam)>& tellMainWindow) {
    if (m_open != nullptr) {
        return;
    }
    std::vector<UpdateItem> table;
    std::string why;
    if (!ReadUpdateItems(DefaultDataFolder(m_setup.programFolder) + kUpdateItemsFileName, table, &why)) {
        TraceF("no update rows: %s", why.c_str());
    }
    const std::vector<AttachedInterface> attached =
        discovery != nullptr ? AttachedCommandInterfaces(*discovery) : std::vector<AttachedInterface>{};
    std::vector<UpdateItem> rows =
        BuildUpdateList(table, attached, ReadInstalledVersion(), InstalledVersionText());

    const std::string base = UserBaseFolder(m_setup.dataHome);
    FactoryControlCreator creator(m_factory);
    SetWndServices services{.toolkit = m_toolkit, .creator = &creator};
    services.server = UpdateServerSetup{m_setup.server.baseUrl, m_setup.server.caFile, m_setup.limits};
    services.dateFile = base.empty() ? std::string() : base + kCheckDateFileName;
    services.tempFolder = m_setup.tempFolder;
    services.cacheHome = m_setup.cacheHome;
    services.tellMainWindow = [&tellMainWindow](uint32_t message) { tellMainWindow(message, 0); };
    for (const LanguageEntry& entry : ReadLanguageTable(DefaultDataFolder(m_setup.programFolder))) {
        services.languageKeys.push_back(entry.textKey);
    }
    services.languageIndex = languageIndex();
    services.chooseLanguage = [&](int index) {
        tellMainWindow(kMessageLanguageChanged, index);
        return languageIndex();
    };
    services.openFolder = m_setup.openFolder;
    if (!m_setup.programFile.empty()) {
        services.startAtLogin = [this] { return AutostartEnabled(m_setup.autostartPath); };
        services.setStartAtLogin = [this](bool on, std::string* error) {
            return SetAutostart(m_setup.autostartPath, on, m_setup.programFile, error);
        };
    }
    services.sdkServer = m_setup.sdkServer;
    services.setSdkServer = m_setup.setSdkServer;
    CSetWnd window(services);
    std::string error;
    if (!window.Create(&owner, &error) || !window.Init(std::move(rows), dpi)) {
        TraceF("the settings window cannot open: %s", error.c_str());
        return;
    }
    CopyFontSet(owner, *window.GetWindow());
    m_open = &window;
    window.Run(placement);
    m_open = nullptr;
}

void SettingsWindowHost::InstallerReport(int32_t report, int32_t value) {
    if (m_open != nullptr) {
        m_open->InstallerReport(report, value);
    }
}

void SettingsWindowHost::LanguageChanged() {
    if (m_open != nullptr) {
        m_open->LanguageChanged();
    }
}

} // namespace velkor
