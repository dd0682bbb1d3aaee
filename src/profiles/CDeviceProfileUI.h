#pragma once
// CDeviceProfileUI: the profile bar of a device page, the container the
// device builds from "XML\CustomControlXML\DeviceProfile.xml" (class
// "DeviceProfile"). It owns the device's profile list (ProfileList), shows it
// in "device_profile_combo", and carries out the profile operations: select,
// add, copy, delete, rename, import, export and reset to defaults. It also
// holds the option tabs of the page and shows the set that fits the device
// kind.
//
// The list file is the truth: every operation re-reads it first, changes it
// and writes it back at once, and the list control always shows the list as
// last read (it is refilled when the file was changed behind the bar's back).
// A profile file is written before the list names it, and the list stops
// naming a profile before its file is removed, so a failure half way leaves
// no entry without a file behind.
//
// Every operation runs on the user-interface thread. The bar's window must
// outlive this object.
#include "devices/DeviceModels.h"
#include "platform/JsonFileHelper.h"
#include "profiles/ProfileList.h"

#include <json/value.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

namespace ui {
class Control;
}

class CDeviceProfileUI {
public:
    // The control class the layouts write, and the class name the bar reports.
    static constexpr std::string_view kControlClass = "DeviceProfile";
    static constexpr std::string_view kRegisteredClass = "CDeviceProfileUI";
    // Resource name of the bar's layout.
    static constexpr std::string_view kLayout = "XML\\CustomControlXML\\DeviceProfile.xml";

    // Names of the bar's controls.
    static constexpr std::string_view kCombo = "device_profile_combo";
    static constexpr std::string_view kNameEdit = "device_profile_name_edit";
    static constexpr std::string_view kMenuPanel = "profile_menu_layout";
    static constexpr std::string_view kMenuButton = "profile_fun_spread_btn";
    static constexpr std::string_view kAddButton = "device_add_btn";
    static constexpr std::string_view kCopyButton = "device_copy_btn";
    static constexpr std::string_view kDeleteButton = "device_sub_btn";
    static constexpr std::string_view kRenameButton = "device_profile_edit_save_btn";
    static constexpr std::string_view kImportButton = "device_import_btn";
    static constexpr std::string_view kExportButton = "device_export_btn";
    static constexpr std::string_view kResetButton = "device_reset_btn";
    // The option tabs; tab type t (1..8) is element t - 1.
    static constexpr std::array<std::string_view, 8> kOptionTabs = {
        "deng_Op_tab",   "key_Op_tab",        "macro_Op_tab", "system_Op_tab",
        "cursor_Op_tab", "6533_voice_Op_tab", "magic_Op_tab", "Virtual7.1_Op_tab",
    };

    // `bar` is the container built from the bar's layout; its children are
    // found by name below it. `now` gives new identifiers their time (the
    // system clock when empty).
    explicit CDeviceProfileUI(ui::Control& bar, TimeSource now = {});

    ui::Control& Bar() const { return m_bar; }

    // 1 keyboard, 2 mouse, 3 mouse pad, 7 headset (4 and 5 have tab sets too).
    void SetDeviceKind(DeviceClass kind) { m_kind = kind; }
    DeviceClass DeviceKind() const { return m_kind; }
    // The user data folder (with or without trailing '/') and the default
    // profile file new and reset profiles start from.
    void SetFolders(const std::string& userDataFolder, const std::string& defaultProfilePath);

    // Reads the list (creating it on first use: "profile1" from the default
    // profile; after a lost or damaged list, rebuilt from the profile files of
    // the folder), fills the list control, selects the stored profile (the
    // first one when the stored index is not in the list) and shows the tab
    // set of the device kind. False when no list could be read or made.
    bool InitProfileBar();

    // Selects profile `index` in the list control (raising "itemselect" when
    // `notify`), copies its name into the name field and stores the choice.
    // False, with no change, for an index outside the list.
    bool SelectProfile(int index, bool notify);
    // The list control's selection, -1 when none.
    int GetSelectedIndex() const;
    // Identifier of the selected profile (empty before the first selection).
    const std::string& GetSelectedIdentifier() const { return m_selectedIdentifier; }
    // The selected profile's file path (empty when none is selected).
    std::string GetSelectedProfilePath() const;
    // Re-reads the list and returns its size; GetProfilePathAt answers from
    // that reading (empty for an index outside it).
    int GetProfileCount();
    std::string GetProfilePathAt(int index) const;
    // The names as the list control shows them.
    std::vector<std::string> ProfileNames() const;

    // Appends "profileN" made from the default profile; nothing at 50
    // profiles. The selection stays where it is. True when one was added.
    bool AddProfile();
    // Appends a copy of the selected profile named "<name> copy".
    bool CopyProfile();
    // Removes the selected profile and its file and selects the one before it
    // (the new first one when the first was removed). Nothing when fewer than
    // two profiles exist or none is selected. The caller then loads the new
    // selection (GetSelectedIdentifier).
    bool DeleteProfile();
    // Renames the selected profile: 1 renamed, 0 the name belongs to another
    // profile (ignoring case), 2 the name is blank; -1 nothing is selected or
    // the list cannot be written. Names longer than kMaxProfileNameChars are cut.
    int RenameProfile(std::string_view name);
    // Appends the profile file at `path`, named after the file's title
    // ("A", "A(1)", "A(1)(2)", ...). False, with no change, for a file that
    // is no profile (no "profilename" or no "profileUUID").
    bool ImportProfile(const std::string& path);
    // Writes the selected profile's file, with its name and identifier, to
    // `path`. False when nothing is selected, its file cannot be read, or the
    // write fails.
    bool ExportProfile(const std::string& path);
    // Replaces the selected profile's file by the default profile, keeping its
    // name and identifier, and for the headset its custom equaliser presets.
    // False, with no change, when there is no default profile to reset to.
    bool ResetProfile();

    // Marks tab type 1..8 selected (and no other); any other type unselects
    // the first seven. No "selectchanged" is raised.
    void SelectOptionTab(int type);
    // The tab type (1..8) of a tab control of this bar, 0 for anything else.
    int OptionTabType(const ui::Control* control) const;

    std::string GetNameText() const;
    void SetNameText(std::string_view text);
    void ShowMenu(bool show);
    bool IsMenuShown() const;

    // True for a document an import accepts: an object with "profilename"
    // and "profileUUID".
    static bool IsImportable(const Json::Value& document);

private:
    ui::Control* Child(std::string_view name) const;
    // Re-reads the list file into m_list, mending what Load repaired, and
    // refills the list control when it no longer shows the list.
    void Reload();
    // Makes the profile files of entries Load gave fresh identifiers.
    void MakeRepairedFiles();
    // First use: one profile "profile1" made from the default profile.
    bool CreateFirstProfile();
    void FillItems();
    void ApplyTabSet();
    Json::Value ReadDefaultProfile() const;
    // Appends `entry` with its profile file made from `document`.
    bool AppendProfile(const Json::Value& document, const ProfileListEntry& entry);

    ui::Control& m_bar;
    TimeSource m_now;
    DeviceClass m_kind = DeviceClass::None;
    std::string m_defaultPath;
    std::string m_selectedIdentifier;
    ProfileList m_list;
    ProfileList m_countList; // the reading GetProfileCount made
    CJsonFileHelper m_json;
};

} // namespace velkor
