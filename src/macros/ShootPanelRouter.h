#pragma once
// ShootPanelRouter: what the notifications of the mouse's recoil panel do.
// It acts only while the selected device is a mouse and only on controls
// inside its panel:
//
//   "selectchanged" "shoot_gun_op_" g    SelectGun(g), ShowBullet
//   "selectchanged" "bullet_op_" b       SelectBullet(b)
//   "selectchanged" a direction check    its text follows (written with the bullet)
//   "killfocus" of an edit               SaveBullet
//   "click" prev / next                  PreviousBullet / NextBullet
//   "click" "shootdate_save_btn"         the shown bullet is committed, then the mouse uploads
//   "click" reset / import / export      ResetGun / ImportGun / ExportGun
//
// Option numbers are read after the last underscore of the name. Refusals
// and failed uploads are told with a notice. User-interface thread.
#include "ui/Notification.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velkor {

class CShootControlUI;
namespace ui {
class UserPrompts;
}

// How an upload ended, for the notice.
struct RecoilSendResult {
    bool ok = false;
    // A gun whose file holds more than 30 bullets (nothing was sent); -1: none.
    int oversizedGun = -1;
};

struct ShootPanelHooks {
    // The selected device is a mouse.
    std::function<bool()> mouseSelected;
    // Starts the mouse's upload; `done` runs later on the user-interface
    // thread. False when it could not start (told as a failure).
    std::function<bool(std::function<void(const RecoilSendResult&)> done)> upload;
};

class ShootPanelRouter final : public ui::NotifyReceiver {
public:
    static constexpr std::string_view kFilterName = "Shoot Files(*.shoot)";
    // Both cases: names are case-sensitive here, and the program writes ".Shoot".
    static constexpr std::string_view kFilterPattern = "*.shoot *.Shoot";
    static constexpr std::string_view kUploadFailed = "message_text_26";
    static constexpr std::string_view kImportFailed = "shoot_import_failed_text";
    static constexpr std::string_view kResetFailed = "shoot_reset_failed_text";
    static constexpr std::string_view kTooManyEvents = "shoot_too_many_events_text";
    static constexpr std::string_view kWriteFailed = "macro_write_failed_text";

    // The panel, the prompts and what the hooks capture must outlive the router.
    ShootPanelRouter(CShootControlUI& panel, ui::UserPrompts& prompts, ShootPanelHooks hooks);

    // Runs the notification's operation; false when it is not the panel's or
    // no mouse is selected.
    bool Route(const ui::Notification& notification);
    void Notify(const ui::Notification& notification) override { Route(notification); }

    void Save();
    void Reset();
    void Import();
    void Export();

    // "shoot_gun_op_3" with prefix "shoot_gun_op" gives 3; nothing for another
    // prefix or a name without a decimal number after its last underscore.
    static std::optional<int> OptionNumber(std::string_view name, std::string_view prefix);

private:
    void Notice(std::string_view key);
    void TellFailure();

    CShootControlUI& m_panel;
    ui::UserPrompts& m_prompts;
    ShootPanelHooks m_hooks;
    // Cleared when the router goes, so that a late upload result is dropped.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace velkor
