#pragma once
// KeySetPanelRouter: what the controls of one key assignment panel do.
//
// It takes the notifications whose sender lies inside its panel: choosing a
// function or a table entry, a modifier option, leaving a number edit and
// the save button store the key (the device keeps the entry in its key list
// and profile; nothing is sent); the default button shows the key's default
// (a keyboard also stores and writes it); cancel shows the stored function
// again; the write button has the device write all its keys. Focus on the
// key edit starts key capture, leaving it stops capture; a captured press
// becomes the key's function and is stored. Releases are ignored, so a
// modifier let go after its key does not replace the captured combination.
//
// Saving enabled means key changes are pending; the router tells the main
// window through `pendingChanged` whenever it changes.
//
// Only keyboards (kind 1) and mice (kind 2) use it; for other kinds every
// notification is taken and nothing happens. User-interface thread.
#include "keys/CKeySetControlUI.h"
#include "ui/Notification.h"

#include <functional>

namespace velkor {

struct KeySetHooks {
    // The device stores the entry for the chosen key and redraws its key pictures.
    std::function<void(const KeyListEntry& entry)> storeEntry;
    // The device writes all its keys; `done` hears 0, -1 or n > 0 after the
    // user was told and (for 0 and -1) the profile file was saved. False when
    // no write could start (`done` is not called then).
    std::function<bool(std::function<void(int result)> done)> writeAllKeys;
    // Whether key changes are pending (the main window's mark).
    std::function<void(bool pending)> pendingChanged;
    // Key capture starts (true) or ends (false).
    std::function<void(bool on)> captureChanged;
};

class KeySetPanelRouter final : public ui::NotifyReceiver {
public:
    // The panel must outlive the router.
    KeySetPanelRouter(CKeySetControlUI& panel, KeySetHooks hooks);

    // False when the notification is not the panel's.
    bool Route(const ui::Notification& notification);
    void Notify(const ui::Notification& notification) override { Route(notification); }

    // A key reported while capturing. True when it became the key's function.
    bool TakeCapturedKey(ScanCode scan, bool down);

    // The operations behind the buttons.
    void SaveKey();
    void ShowDefault();
    void Cancel();
    // False when no write could start.
    bool WriteAllKeys();

    bool SavingEnabled() const { return m_savingEnabled; }

private:
    bool Handles() const;
    void SetSaving(bool enabled);
    bool RouteItemSelect(const std::string& name);

    CKeySetControlUI& m_panel;
    KeySetHooks m_hooks;
    bool m_savingEnabled = false;
};

} // namespace velkor
