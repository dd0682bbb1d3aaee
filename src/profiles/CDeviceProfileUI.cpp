#include "profiles/CDeviceProfileUI.h"

#include "profiles/JsonFields.h"
#include "profiles/NameRules.h"
#include "ui/Control.h"

#include <filesystem>
#include <system_error>

namespace velkor {
namespace {

constexpr std::string_view kCursorTab = "cursor_Op_tab";
constexpr std::string_view kMacroTab = "macro_Op_tab";
constexpr std::string_view kSystemTab = "system_Op_tab";
constexpr std::string_view kKeyTab = "key_Op_tab";
// Used when an imported file's title is blank and the file names no profile either.
constexpr std::string_view kFallbackImportName = "profile";

} // namespace

CDeviceProfileUI::CDeviceProfileUI(ui::Control& bar, TimeSource now)
    : m_bar(bar), m_now(std::move(now)), m_list({}, m_now), m_countList({}, m_now) {}

ui::Control* CDeviceProfileUI::Child(std::string_view name) const {
    return m_bar.FindChild(name);
}

void CDeviceProfileUI::SetFolders(const std::string& userDataFolder, const std::string& defaultProfilePath) {
    m_list = ProfileList(userDataFolder, m_now);
    m_countList = ProfileList(userDataFolder, m_now);
    m_defaultPath = defaultProfilePath;
    m_selectedIdentifier.clear();
}

Json::Value CDeviceProfileUI::ReadDefaultProfile() const {
    return m_defaultPath.empty() ? Json::Value() : m_json.ReadJsonFile(m_defaultPath);
}

bool CDeviceProfileUI::IsImportable(const Json::Value& document) {
    return !JsonMember(document, "profilename").isNull() && !JsonMember(document, "profileUUID").isNull();
}

void CDeviceProfileUI::MakeRepairedFiles() {
    const Json::Value defaultProfile = ReadDefaultProfile();
    for (const ProfileListRepair& repair : m_list.Repairs()) {
        const ProfileListEntry& entry = m_list.Entries()[repair.index];
        // A missing source file leaves a file without "Device"; loading fills it from the default.
        const Json::Value source =
            repair.copyOf.empty() ? defaultProfile : m_list.ReadProfileFile(repair.copyOf);
        m_list.WriteProfileFile(source, entry);
    }
}

bool CDeviceProfileUI::CreateFirstProfile() {
    m_list.Clear();
    const ProfileListEntry entry{MakeAddName({}), m_list.NewIdentifier()};
    if (!m_list.WriteProfileFile(ReadDefaultProfile(), entry)) {
        return false;
    }
    m_list.Append(entry);
    m_list.Select(0);
    return true;
}

void CDeviceProfileUI::Reload() {
    switch (m_list.Load()) {
    case ProfileListState::Loaded:
        break;
    case ProfileListState::Repaired:
        MakeRepairedFiles();
        m_list.Save();
        break;
    default:
        // The file is gone or damaged: keep the list as last read and write it back.
        if (m_list.Count() == 0 && !m_list.RecoverFromFolder() && !CreateFirstProfile()) {
            return;
        }
        m_list.Save();
        break;
    }
    auto* combo = ui::As<ui::ListControl>(Child(kCombo));
    if (combo == nullptr) {
        return;
    }
    bool shown = combo->ItemCount() == m_list.Count();
    for (int i = 0; shown && i < m_list.Count(); ++i) {
        shown = combo->ItemText(i) == m_list.Entries()[i].name;
    }
    if (!shown) {
        FillItems();
    }
}

void CDeviceProfileUI::FillItems() {
    auto* combo = ui::As<ui::ListControl>(Child(kCombo));
    if (combo == nullptr) {
        return;
    }
    combo->RemoveAllItems();
    int selected = -1;
    for (int i = 0; i < m_list.Count(); ++i) {
        const ProfileListEntry& entry = m_list.Entries()[i];
        combo->InsertItem(-1, entry.name);
        if (!m_selectedIdentifier.empty() && entry.identifier == m_selectedIdentifier) {
            selected = i;
        }
    }
    if (selected >= 0) {
        combo->SelectItem(selected, false);
    }
}

bool CDeviceProfileUI::InitProfileBar() {
    m_list.Clear();
    m_selectedIdentifier.clear();
    Reload();
    if (m_list.Count() == 0) {
        return false;
    }
    FillItems();
    SelectProfile(m_list.Selected(), false);
    ApplyTabSet();
    return true;
}

bool CDeviceProfileUI::SelectProfile(int index, bool notify) {
    Reload();
    ui::Control* combo = Child(kCombo);
    if (index < 0 || index >= m_list.Count() || combo == nullptr) {
        return false;
    }
    const ProfileListEntry entry = m_list.Entries()[index];
    m_list.Select(index);
    m_selectedIdentifier = entry.identifier;
    m_list.Save();
    // The identifier is in place before the control tells anyone.
    if (ui::ListControl* rows = combo->AsList()) {
        rows->SelectItem(index, notify);
    }
    combo->SetToolTip(entry.name);
    SetNameText(entry.name);
    return true;
}

int CDeviceProfileUI::GetSelectedIndex() const {
    const auto* combo = ui::As<ui::ListControl>(Child(kCombo));
    return combo != nullptr ? combo->SelectedIndex() : -1;
}

std::string CDeviceProfileUI::GetSelectedProfilePath() const {
    return m_list.ProfilePath(m_selectedIdentifier);
}

int CDeviceProfileUI::GetProfileCount() {
    Reload();
    m_countList = m_list;
    return m_countList.Count();
}

std::string CDeviceProfileUI::GetProfilePathAt(int index) const {
    return m_countList.ProfilePathAt(index);
}

std::vector<std::string> CDeviceProfileUI::ProfileNames() const {
    std::vector<std::string> names;
    if (const auto* combo = ui::As<ui::ListControl>(Child(kCombo))) {
        for (int i = 0; i < combo->ItemCount(); ++i) {
            names.push_back(combo->ItemText(i));
        }
    }
    return names;
}

bool CDeviceProfileUI::AppendProfile(const Json::Value& document, const ProfileListEntry& entry) {
    if (entry.identifier.empty() || !m_list.WriteProfileFile(document, entry)) {
        return false;
    }
    m_list.Append(entry);
    if (!m_list.Save()) {
        m_list.Remove(m_list.Count() - 1);
        std::error_code ignored;
        std::filesystem::remove(m_list.ProfilePath(entry.identifier), ignored);
        return false;
    }
    if (auto* combo = ui::As<ui::ListControl>(Child(kCombo))) {
        combo->InsertItem(-1, entry.name);
    }
    return true;
}

bool CDeviceProfileUI::AddProfile() {
    Reload();
    if (m_list.Count() >= kMaxAddedProfiles) {
        return false;
    }
    const ProfileListEntry entry{MakeAddName(m_list.Names()), m_list.NewIdentifier()};
    return AppendProfile(ReadDefaultProfile(), entry);
}

bool CDeviceProfileUI::CopyProfile() {
    Reload();
    const int selected = GetSelectedIndex();
    if (selected < 0 || selected >= m_list.Count()) {
        return false;
    }
    const ProfileListEntry source = m_list.Entries()[selected];
    const ProfileListEntry entry{MakeCopyName(source.name, m_list.Names()), m_list.NewIdentifier()};
    return AppendProfile(m_list.ReadProfileFile(source.identifier), entry);
}

bool CDeviceProfileUI::DeleteProfile() {
    Reload();
    const int selected = GetSelectedIndex();
    if (selected < 0 || selected >= m_list.Count() || m_list.Count() < 2) {
        return false;
    }
    const int next = selected > 0 ? selected - 1 : 0;
    const ProfileList before = m_list;
    const ProfileListEntry removed = m_list.Entries()[selected];
    m_list.Remove(selected);
    m_list.Select(next);
    if (!m_list.Save()) {
        m_list = before; // the file still names the profile, so its file stays too
        return false;
    }
    std::error_code ignored;
    std::filesystem::remove(m_list.ProfilePath(removed.identifier), ignored);
    if (auto* combo = ui::As<ui::ListControl>(Child(kCombo))) {
        combo->RemoveItem(selected);
    }
    SelectProfile(next, false);
    return true;
}

int CDeviceProfileUI::RenameProfile(std::string_view name) {
    if (IsBlankProfileName(name)) {
        return 2;
    }
    Reload();
    const int selected = GetSelectedIndex();
    if (selected < 0 || selected >= m_list.Count()) {
        return -1;
    }
    const std::string cleaned = CleanProfileName(name);
    for (int i = 0; i < m_list.Count(); ++i) {
        if (i != selected && SameNameIgnoringCase(m_list.Entries()[i].name, cleaned)) {
            return 0;
        }
    }
    const std::string oldName = m_list.Entries()[selected].name;
    m_list.Rename(selected, cleaned);
    if (!m_list.Save()) {
        m_list.Rename(selected, oldName);
        return -1;
    }
    if (ui::Control* combo = Child(kCombo)) {
        if (ui::ListControl* rows = combo->AsList()) {
            rows->SetItemText(selected, cleaned);
        }
        combo->SetToolTip(cleaned);
    }
    SetNameText(cleaned);

    // The file keeps the name too; a damaged file is left for loading to repair.
    const ProfileListEntry& entry = m_list.Entries()[selected];
    const JsonFileContents file = m_json.ReadJsonFileDetailed(m_list.ProfilePath(entry.identifier));
    if ((file.status == FileReadStatus::Ok && file.value.isObject()) ||
        file.status == FileReadStatus::Missing) {
        m_list.WriteProfileFile(file.value, entry);
    }
    return 1;
}

bool CDeviceProfileUI::ImportProfile(const std::string& path) {
    const Json::Value document = m_json.ReadJsonFile(path);
    if (!IsImportable(document)) {
        return false;
    }
    Reload();
    std::string title = CleanProfileName(m_json.GetFileTitle(path));
    if (IsBlankProfileName(title)) {
        std::string stored;
        JsonToText(JsonMember(document, "profilename"), stored);
        stored = CleanProfileName(stored);
        title = IsBlankProfileName(stored) ? std::string(kFallbackImportName) : stored;
    }
    const ProfileListEntry entry{MakeImportName(title, m_list.Names()), m_list.NewIdentifier()};
    return AppendProfile(document, entry);
}

bool CDeviceProfileUI::ExportProfile(const std::string& path) {
    Reload();
    const int selected = GetSelectedIndex();
    if (path.empty() || selected < 0 || selected >= m_list.Count()) {
        return false;
    }
    const ProfileListEntry& entry = m_list.Entries()[selected];
    Json::Value document = m_list.ReadProfileFile(entry.identifier);
    if (!document.isObject()) {
        return false;
    }
    // The list holds the name; a file made before it was renamed may lack it.
    document["profilename"] = entry.name;
    document["profileUUID"] = entry.identifier;
    return m_json.WriteJsonFile(document, path);
}

bool CDeviceProfileUI::ResetProfile() {
    Reload();
    const int selected = GetSelectedIndex();
    if (selected < 0 || selected >= m_list.Count()) {
        return false;
    }
    Json::Value document = ReadDefaultProfile();
    // Without a default profile a reset would leave the profile with no settings at all.
    if (!ProfileObjectOf(document, 0).isObject()) {
        return false;
    }
    const ProfileListEntry& entry = m_list.Entries()[selected];
    if (m_kind == DeviceClass::Headset) {
        const Json::Value current = m_list.ReadProfileFile(entry.identifier);
        const Json::Value& currentProfile = ProfileObjectOf(current, 0);
        Json::Value& profile = document["Device"][0];
        for (const char* member : {"CustomEQNameInfo", "CustomEQHzValueInfo"}) {
            const Json::Value& kept = JsonMember(currentProfile, member);
            if (!kept.isNull()) {
                profile[member] = kept;
            }
        }
    }
    return m_list.WriteProfileFile(document, entry);
}

void CDeviceProfileUI::ApplyTabSet() {
    auto show = [this](std::string_view name, bool visible) {
        if (ui::Control* tab = Child(name)) {
            tab->SetVisible(visible);
        }
    };
    switch (m_kind) {
    case DeviceClass::Keyboard:
        show(kCursorTab, false);
        break;
    case DeviceClass::MousePad:
    case DeviceClass::Headset:
        for (std::string_view name : {kCursorTab, kMacroTab, kSystemTab, kKeyTab}) {
            show(name, false);
        }
        break;
    case DeviceClass::Mouse:
    case DeviceClass::None:
        break;
    }
    if (m_kind == DeviceClass::Headset) {
        for (size_t i = 5; i < kOptionTabs.size(); ++i) {
            show(kOptionTabs[i], true);
        }
    }
}

void CDeviceProfileUI::SelectOptionTab(int type) {
    const bool valid = type >= 1 && type <= static_cast<int>(kOptionTabs.size());
    for (size_t i = 0; i < kOptionTabs.size(); ++i) {
        auto* tab = ui::As<ui::SelectableControl>(Child(kOptionTabs[i]));
        const bool chosen = valid && static_cast<int>(i) == type - 1;
        // Without a valid type the last tab keeps its state.
        if (tab == nullptr || (!valid && i == kOptionTabs.size() - 1)) {
            continue;
        }
        if (tab->IsSelected() != chosen) {
            tab->SetSelected(chosen, false);
        }
    }
}

int CDeviceProfileUI::OptionTabType(const ui::Control* control) const {
    if (control == nullptr || !m_bar.Contains(control)) {
        return 0;
    }
    for (size_t i = 0; i < kOptionTabs.size(); ++i) {
        if (control->Name() == kOptionTabs[i]) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

std::string CDeviceProfileUI::GetNameText() const {
    const ui::Control* edit = Child(kNameEdit);
    return edit != nullptr ? edit->Text() : std::string();
}

void CDeviceProfileUI::SetNameText(std::string_view text) {
    if (ui::Control* edit = Child(kNameEdit)) {
        edit->SetText(text);
    }
}

void CDeviceProfileUI::ShowMenu(bool show) {
    if (ui::Control* panel = Child(kMenuPanel)) {
        panel->SetVisible(show);
    }
}

bool CDeviceProfileUI::IsMenuShown() const {
    const ui::Control* panel = Child(kMenuPanel);
    return panel != nullptr && panel->IsVisible();
}

} // namespace velkor
