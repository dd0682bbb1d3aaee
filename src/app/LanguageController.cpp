#include "app/LanguageController.h"

#include "app/LanguageFonts.h"
#include "app/StartLanguage.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "platform/Trace.h"
#include "profiles/ProfileFolders.h"

namespace velkor {

LanguageController::LanguageController(Setup setup) : m_setup(std::move(setup)) {}

void LanguageController::Start(int index) {
    if (m_setup.languageTexts != nullptr) {
        Apply(index);
    } else {
        m_index = index;
    }
}

bool LanguageController::Apply(int index) {
    if (m_shutDown) {
        return false;
    }
    if (index == m_index) {
        return true;
    }
    if (m_setup.languageTexts == nullptr) {
        TraceF("language %d not applied: this window has no language texts", index);
        return false;
    }
    // Everything that can fail comes before anything changes.
    const std::vector<LanguageEntry> table = ReadLanguageTable(DefaultDataFolder(m_setup.programFolder));
    if (index < 0 || size_t(index) >= table.size()) {
        TraceF("language %d not applied: the language table has %zu entries", index, table.size());
        return false;
    }
    const LanguageEntry& entry = table[size_t(index)];
    if (entry.id < 0) {
        TraceF("language %d not applied: its entry has no identifier", index);
        return false;
    }
    const std::string file = LanguageFilePath(m_setup.skinFolder, entry);
    std::string error;
    if (file.empty()) {
        TraceF("language %d not applied: its file name \"%s\" is not usable", index, entry.file.c_str());
        return false;
    }
    if (!m_setup.languageTexts->LoadFile(file, &error)) {
        TraceF("language %d not applied: %s", index, error.c_str());
        return false;
    }

    ui::Window* settings = m_setup.settingsWindow ? m_setup.settingsWindow() : nullptr;
    if (const std::optional<std::string> face =
            TypefaceChange(index, m_index, m_setup.simplifiedChineseFace)) {
        m_typeface = *face;
        ApplyFontSet(m_setup.window, m_typeface);
        if (settings != nullptr) {
            ApplyFontSet(*settings, m_typeface);
        }
    }
    m_index = index;
    m_setup.toolkit.ReloadTexts();
    if (!m_setup.settingsPath.empty()) {
        WriteLanguageId(m_setup.settingsPath, entry.id);
    }
    m_setup.window.Root().Invalidate();
    if (settings != nullptr && m_setup.settingsLanguageChanged) {
        m_setup.settingsLanguageChanged();
    }
    RefreshDeviceTexts();
    return true;
}

void LanguageController::PrepareDevice(CTolvanicUSBDevice& device) const {
    if (auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(&device)) {
        keyboard->SetLayoutVariant(LayoutLanguage());
    }
}

void LanguageController::RefreshDeviceTexts() {
    if (!m_setup.devicesOfClass) {
        return;
    }
    for (CTolvanicUSBDevice* device : m_setup.devicesOfClass(DeviceClass::Keyboard)) {
        if (auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(device)) {
            keyboard->SetLayoutVariant(LayoutLanguage());
            keyboard->ReadLayout();
        }
    }
    for (DeviceClass kind : {DeviceClass::Mouse, DeviceClass::Keyboard}) {
        for (CTolvanicUSBDevice* device : m_setup.devicesOfClass(kind)) {
            device->RefreshView();
        }
    }
}

} // namespace velkor
