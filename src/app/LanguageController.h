#pragma once
// LanguageController: the user-interface language of the main window.
//
// Apply switches to an entry of the language table; the entry and its
// language file are checked first, and on any failure nothing changes (index,
// fonts, texts, stored choice) and a trace says why. Then the font set when
// the script needs another face (the main window and the open settings
// window), the current index, the texts, the stored choice, a repaint, the
// settings window's texts, the keyboards' on-screen layouts and every mouse's
// and keyboard's page. Without language texts it applies nothing: the texts
// are someone else's affair and the index is the one it started with.
// After Shutdown nothing is applied. User-interface thread only.
#include "lighting/LightCommit.h"
#include "profiles/LanguageTexts.h"
#include "ui/Toolkit.h"

#include <functional>
#include <string>

namespace velkor {

class LanguageController {
public:
    struct Setup {
        // Shows every text again after a change.
        ui::Toolkit& toolkit;
        // Takes the font set and repaints.
        ui::Window& window;
        // Where a language's texts are loaded; null: no language is applied.
        LanguageTexts* languageTexts = nullptr;
        // Where "DefaultData/" (the language table) lies.
        std::string programFolder;
        // The folder of the language files (the skin folder).
        std::string skinFolder;
        // The settings file that stores the choice; empty: it is not stored.
        std::string settingsPath;
        // The family of the program's Simplified Chinese face; empty when it is not loaded.
        std::string simplifiedChineseFace;
        // The open settings window (null when none) and how it is told of a
        // change (it shows its texts again); both may be empty.
        std::function<ui::Window*()> settingsWindow;
        std::function<void()> settingsLanguageChanged;
        // The devices whose layouts and pages follow; may be empty.
        DevicesOfClassFn devicesOfClass;
    };

    // The toolkit, window and texts must outlive the controller.
    explicit LanguageController(Setup setup);
    LanguageController(const LanguageController&) = delete;
    LanguageController& operator=(const LanguageController&) = delete;

    // At window creation: applies `index`, or with no language texts takes it as the current one.
    void Start(int index);
    // True when language `index` is the current one afterwards; the current index again does nothing.
    bool Apply(int index);
    // -1 before a language was applied.
    int Index() const { return m_index; }
    // The face of the font set in use; empty before the first.
    const std::string& Typeface() const { return m_typeface; }
    // The index the keyboards pick their on-screen layout by.
    int LayoutLanguage() const { return m_index >= 0 ? m_index : 0; }
    // A device that arrived since: a keyboard takes the current on-screen layout.
    void PrepareDevice(CTolvanicUSBDevice& device) const;
    void Shutdown() { m_shutDown = true; }

private:
    // The keyboards' layouts and the mice's and keyboards' pages after a change.
    void RefreshDeviceTexts();

    Setup m_setup;
    int m_index = -1;
    std::string m_typeface;
    bool m_shutDown = false;
};

} // namespace velkor
