// The main window's language: checking and applying a language of the table,
// and what follows from it in the fonts, the secondary windows and the devices.
#include "app/CMainWnd.h"

#include "app/LanguageFonts.h"
#include "app/StartLanguage.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "platform/Trace.h"
#include "profiles/ProfileFolders.h"

namespace velkor {

bool CMainWnd::ApplyLanguage(int index) {
    if (!m_window || m_shutDown) {
        return false;
    }
    if (index == m_languageIndex) {
        return true;
    }
    if (m_services.languageTexts == nullptr) {
        TraceF("language %d not applied: this window has no language texts", index);
        return false;
    }
    // Everything that can fail comes before anything changes.
    const std::vector<LanguageEntry> table = ReadLanguageTable(DefaultDataFolder(m_services.programFolder));
    if (index < 0 || size_t(index) >= table.size()) {
        TraceF("language %d not applied: the language table has %zu entries", index, table.size());
        return false;
    }
    const LanguageEntry& entry = table[size_t(index)];
    if (entry.id < 0) {
        TraceF("language %d not applied: its entry has no identifier", index);
        return false;
    }
    const std::string file = LanguageFilePath(m_services.skinFolder, entry);
    std::string error;
    if (file.empty()) {
        TraceF("language %d not applied: its file name \"%s\" is not usable", index, entry.file.c_str());
        return false;
    }
    if (!m_services.languageTexts->LoadFile(file, &error)) {
        TraceF("language %d not applied: %s", index, error.c_str());
        return false;
    }

    if (const std::optional<std::string> face =
            TypefaceChange(index, m_languageIndex, m_services.simplifiedChineseFace)) {
        m_typeface = *face;
        ApplyFontSet(*m_window, m_typeface);
        if (ui::Window* settings = m_services.settingsWindow ? m_services.settingsWindow() : nullptr) {
            ApplyFontSet(*settings, m_typeface);
        }
    }
    m_languageIndex = index;
    m_services.toolkit.ReloadTexts();
    if (!m_services.settingsPath.empty()) {
        WriteLanguageId(m_services.settingsPath, entry.id);
    }
    m_window->Root().Invalidate();
    if (m_services.settingsWindow && m_services.settingsWindow() != nullptr &&
        m_services.settingsLanguageChanged) {
        m_services.settingsLanguageChanged();
    }
    RefreshDeviceTexts();
    return true;
}

void CMainWnd::RefreshDeviceTexts() {
    if (!m_discovery) {
        return;
    }
    for (CTolvanicUSBDevice* device : m_discovery->DevicesOfClass(DeviceClass::Keyboard)) {
        if (auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(device)) {
            keyboard->SetLayoutVariant(LayoutLanguage());
            keyboard->ReadLayout();
        }
    }
    for (DeviceClass kind : {DeviceClass::Mouse, DeviceClass::Keyboard}) {
        for (CTolvanicUSBDevice* device : m_discovery->DevicesOfClass(kind)) {
            device->RefreshView();
        }
    }
}

} // namespace velkor
