#pragma once
// ProfileBarRouter: the main window's side of one device's profile bar. Given
// a notification of the bar's controls it runs the profile operation, asks
// the user what the operation needs (file dialogs, the reset confirmation,
// the rename notices) through UserPrompts, and tells its owner when the
// device must load a profile or show another panel.
//
//   "device_profile_combo"            itemselect     select the chosen profile
//   "device_add_btn"                  click          add
//   "device_copy_btn"                 click          copy
//   "device_sub_btn"                  click          delete
//   "device_profile_edit_save_btn"    click          rename from the name field
//   "device_import_btn"               click          import (open dialog)
//   "device_export_btn"               click          export (save dialog)
//   "device_reset_btn"                click          reset (after confirmation)
//   "profile_fun_spread_btn"          click          show or hide the menu panel
//   the eight option tabs             selectchanged  select the tab, show its panel
//
// Every operation runs on the user-interface thread.
#include "ui/Prompts.h"

#include <string>
#include <string_view>

namespace velkor {

class CDeviceProfileUI;

namespace ui {
struct Notification;
}

// What the main window does for the bar.
class ProfileBarOwner {
public:
    virtual ~ProfileBarOwner() = default;
    // `identifier` is now the selected profile (the user chose it, or a delete
    // moved the selection to it) or its file was just reset: the device loads
    // it from its file, applies it and sends its settings, macros and keys
    // (see ReportMacroWriteResult).
    virtual void ProfileSelected(const std::string& identifier) = 0;
    // The user chose option tab `type` (1..8): the device page shows its panel.
    virtual void OptionTabChosen(int type) = 0;
    // The selected profile was reset to the defaults (just before ProfileSelected).
    virtual void ProfileReset() {}
};

// Tells the user what a device's macro write returned and says whether the
// key table is still to be written: 0 shows nothing (true); -1 shows
// "message_text_7" (true); any other n shows the text of "message_text_16"
// used as a format with n (false). A notice, never a box that waits: the
// result comes from the device's worker, maybe while another box runs.
bool ReportMacroWriteResult(int result, ui::UserPrompts& prompts);

class ProfileBarRouter {
public:
    // The file dialogs' filter for profile files.
    static constexpr std::string_view kFilterName = "Profile Files(*.json)";
    static constexpr std::string_view kFilterPattern = "*.json";
    // Message keys of the profile operations and of a device's macro write.
    static constexpr std::string_view kMsgNameTaken = "message_text_5";
    static constexpr std::string_view kMsgMacroWriteFailed = "message_text_7";
    static constexpr std::string_view kMsgMacroMemoryFull = "message_text_16";
    static constexpr std::string_view kMsgConfirmReset = "message_text_22";
    static constexpr std::string_view kMsgNameBlank = "message_text_25";

    ProfileBarRouter(CDeviceProfileUI& bar, ui::UserPrompts& prompts, ProfileBarOwner& owner)
        : m_bar(bar), m_prompts(prompts), m_owner(owner) {}

    // Runs what `notification` asks for when it comes from a control of this
    // bar (other bars carry controls of the same names). True when handled.
    bool Route(const ui::Notification& notification);

    // The operations, for callers that do not come through a notification.
    void ChooseProfile();
    void Add();
    void Copy();
    void Delete();
    void Rename();
    void Import();
    void Export();
    void Reset();
    void ToggleMenu();
    void ChooseTab(int type);

private:
    CDeviceProfileUI& m_bar;
    ui::UserPrompts& m_prompts;
    ProfileBarOwner& m_owner;
};

} // namespace velkor
