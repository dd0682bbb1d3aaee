#include "macros/CMacroControlUI.h"

#include "macros/MacroFiles.h"
#include "profiles/NameRules.h"
#include "ui/Control.h"
#include "ui/Toolkit.h"

#include <chrono>
#include <filesystem>
#include <system_error>

namespace velkor {

namespace {

constexpr std::string_view kNameList = "macro_name_list";
constexpr std::string_view kActionList = "macro_action_list";
constexpr std::string_view kNameEdit = "macro_edit_macroname";
// Enabled only while a macro is selected.
constexpr std::string_view kSelectionControls[] = {
    "macro_action_layout", "mouse_move_layout",   "macro_btn_export",
    "macro_btn_name_sub",  "macro_btn_name_edit",
};
// How many later milliseconds NewGuid tries before it gives up on uniqueness.
constexpr int kGuidAttempts = 10000;

bool FileExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::exists(path, error);
}

} // namespace

CMacroControlUI::CMacroControlUI(ui::Control& panel, const ui::TextProvider* texts)
    : m_panel(panel), m_texts(texts) {
    if (ui::Control* list = Child(kActionList); list != nullptr && list->AsRowView() != nullptr) {
        m_rows = std::make_unique<ui::RowWindow>(*list, std::string(kRowLayout),
                                                 static_cast<ui::RowSource&>(*this));
    }
}

CMacroControlUI::~CMacroControlUI() = default;

ui::Control* CMacroControlUI::Child(std::string_view name) const {
    if (const auto found = m_found.find(name); found != m_found.end()) {
        return found->second;
    }
    ui::Control* control = m_panel.FindChild(name);
    if (control != nullptr) {
        m_found.emplace(std::string(name), control);
    }
    return control;
}

ui::ListControl* CMacroControlUI::NameList() const {
    return ui::As<ui::ListControl>(Child(kNameList));
}

std::string CMacroControlUI::Fail(MacroFailure failure) {
    m_lastFailure = failure;
    return {};
}

std::string CMacroControlUI::IndexFilePath() const {
    return JoinMacroPath(m_folder, kMacroIndexFileName);
}

std::string CMacroControlUI::MacroFilePathAt(int index) const {
    const ui::ListControl* list = NameList();
    if (list == nullptr || index < 0 || index >= list->ItemCount()) {
        return {};
    }
    return MacroFilePath(m_folder, list->ItemUserData(index));
}

int CMacroControlUI::MacroCount() const {
    const ui::ListControl* list = NameList();
    return list != nullptr ? list->ItemCount() : 0;
}

int CMacroControlUI::GetSelectedMacro() const {
    const ui::ListControl* list = NameList();
    if (list == nullptr || list->ItemCount() == 0) {
        return -1;
    }
    return list->SelectedIndex();
}

std::string CMacroControlUI::GetSelectedGuid() const {
    const int selected = GetSelectedMacro();
    return selected < 0 ? std::string() : NameList()->ItemUserData(selected);
}

void CMacroControlUI::LoadMacroList() {
    m_lastFailure = MacroFailure::None;
    ui::ListControl* list = NameList();
    if (m_folder.empty() || list == nullptr) {
        m_lastFailure = MacroFailure::NoFolder;
        return;
    }
    list->RemoveAllItems();
    m_names.clear();
    for (const MacroInfoEntry& entry : MacroIndexEntries(ReadMacroIndexDocument(m_json, IndexFilePath()))) {
        list->InsertItem(-1, entry.name, entry.guid);
        m_names.push_back(entry.name);
    }
    SelectMacro();
}

bool CMacroControlUI::NameInUse(std::string_view name) const {
    const ui::ListControl* list = NameList();
    for (int row = 0; list != nullptr && row < list->ItemCount(); ++row) {
        if (SameNameIgnoringCase(list->ItemText(row), name)) {
            return true;
        }
    }
    return false;
}

std::string CMacroControlUI::NewGuid() const {
    const ui::ListControl* list = NameList();
    const auto now = std::chrono::system_clock::now();
    std::string guid;
    for (int step = 0; step < kGuidAttempts; ++step) {
        // Two macros made within one millisecond would share a file: take the next one.
        guid = m_json.MakeTimeStamp(now + std::chrono::milliseconds(step));
        bool used = FileExists(MacroFilePath(m_folder, guid));
        for (int row = 0; !used && row < list->ItemCount(); ++row) {
            used = list->ItemUserData(row) == guid;
        }
        if (!used) {
            break;
        }
    }
    return guid;
}

std::string CMacroControlUI::AddMacro() {
    m_lastFailure = MacroFailure::None;
    ui::ListControl* list = NameList();
    if (m_folder.empty() || list == nullptr) {
        return Fail(MacroFailure::NoFolder);
    }
    if (IsFull()) {
        return Fail(MacroFailure::ListFull);
    }
    std::string name;
    for (int n = 1;; ++n) {
        name = "macro_" + std::to_string(n);
        if (!NameInUse(name)) {
            break;
        }
    }
    const int position = list->ItemCount();
    const std::string guid = NewGuid();
    bool damaged = false;
    Json::Value index = ReadMacroIndexDocument(m_json, IndexFilePath(), &damaged);
    Json::Value entry(Json::objectValue);
    entry["MacroName"] = name;
    entry["Guid"] = guid;
    index["MacroInfo"][static_cast<Json::ArrayIndex>(position)] = entry;
    if (!WriteMacroIndexDocument(m_json, index, IndexFilePath(), damaged)) {
        return Fail(MacroFailure::WriteFailed);
    }
    list->InsertItem(position, name, guid);
    m_names.push_back(name);
    list->SelectItem(position, false);
    SelectMacro();
    return name;
}

int CMacroControlUI::DeleteMacro() {
    m_lastFailure = MacroFailure::None;
    const int selected = GetSelectedMacro();
    if (selected < 0) {
        Fail(MacroFailure::NotSelected);
        return -1;
    }
    ui::ListControl* list = NameList();
    const std::string guid = list->ItemUserData(selected);
    bool damaged = false;
    Json::Value index = ReadMacroIndexDocument(m_json, IndexFilePath(), &damaged);
    Json::Value& entries = index["MacroInfo"];
    // The entry at the row's position, unless the file was changed behind our back.
    Json::ArrayIndex at = static_cast<Json::ArrayIndex>(selected);
    if (!entries.isValidIndex(at) || MacroIndexEntries(index)[at].guid != guid) {
        const std::vector<MacroInfoEntry> all = MacroIndexEntries(index);
        at = static_cast<Json::ArrayIndex>(all.size());
        for (size_t i = 0; i < all.size(); ++i) {
            if (!guid.empty() && all[i].guid == guid) {
                at = static_cast<Json::ArrayIndex>(i);
                break;
            }
        }
    }
    if (entries.isValidIndex(at)) {
        Json::Value removed;
        entries.removeIndex(at, &removed);
    }
    // The index goes first: a macro whose file went but whose entry stayed would
    // be listed without events.
    if (!WriteMacroIndexDocument(m_json, index, IndexFilePath(), damaged)) {
        Fail(MacroFailure::WriteFailed);
        return -1;
    }
    if (const std::string file = MacroFilePath(m_folder, guid); !file.empty()) {
        std::error_code error;
        std::filesystem::remove(file, error);
    }
    list->RemoveItem(selected);
    if (selected < static_cast<int>(m_names.size())) {
        m_names.erase(m_names.begin() + selected);
    }
    SetEvents({});
    if (list->ItemCount() > 0) {
        list->SelectItem(0, false);
    }
    // Loads the events of the macro now selected, so that the list never shows
    // one macro's name with another (empty) event list that a save would store.
    SelectMacro();
    return selected;
}

std::string CMacroControlUI::RenameMacro(int& index) {
    m_lastFailure = MacroFailure::None;
    index = -1;
    const int selected = GetSelectedMacro();
    if (selected < 0) {
        m_lastFailure = MacroFailure::NotSelected;
        return std::string(kRenameEmpty);
    }
    ui::Control* edit = Child(kNameEdit);
    const std::string name = TrimName(edit != nullptr ? edit->Text() : std::string());
    if (name.empty()) {
        m_lastFailure = MacroFailure::NameBlank;
        return std::string(kRenameEmpty);
    }
    if (NameInUse(name)) {
        index = selected;
        return Fail(MacroFailure::NameTaken);
    }
    ui::ListControl* list = NameList();
    bool damaged = false;
    Json::Value document = ReadMacroIndexDocument(m_json, IndexFilePath(), &damaged);
    Json::Value& entry = document["MacroInfo"][static_cast<Json::ArrayIndex>(selected)];
    if (!entry.isObject()) {
        entry = Json::Value(Json::objectValue);
        entry["Guid"] = list->ItemUserData(selected);
    }
    entry["MacroName"] = name;
    if (!WriteMacroIndexDocument(m_json, document, IndexFilePath(), damaged)) {
        return Fail(MacroFailure::WriteFailed);
    }
    list->SetItemText(selected, name);
    if (selected < static_cast<int>(m_names.size())) {
        m_names[static_cast<size_t>(selected)] = name;
    }
    if (edit != nullptr) {
        edit->SetText("");
    }
    index = selected;
    return name;
}

void CMacroControlUI::EnableSelectionControls(bool enable) {
    for (std::string_view name : kSelectionControls) {
        if (ui::Control* control = Child(name)) {
            control->SetEnabled(enable);
        }
    }
}

void CMacroControlUI::SelectMacro() {
    const std::string path = MacroFilePath(m_folder, GetSelectedGuid());
    if (path.empty()) {
        SetEvents({});
        EnableSelectionControls(false);
        return;
    }
    EnableSelectionControls(true);
    Json::Value read = ReadMacroEvents(m_json, path);
    std::vector<EventEntry> events;
    events.reserve(read.size());
    for (Json::Value& event : read) {
        events.push_back(EntryOf(std::move(event)));
    }
    SetEvents(std::move(events));
}

Json::Value CMacroControlUI::BuildMacroDocument(bool normalise) {
    TakeEdits();
    ui::ListControl* list = NameList();
    const int selected = GetSelectedMacro();
    Json::Value events(Json::arrayValue);
    for (int row = 0; row < EventCount(); ++row) {
        EventEntry& entry = m_events[size_t(row)];
        // Events of another shape than an object are kept exactly as they are.
        if (!entry.event.isObject()) {
            events.append(entry.event);
            continue;
        }
        Json::Value event = entry.event;
        event["Delay"] = NormaliseDelayText(entry.delay);
        if (normalise) {
            SetRowEvent(row, event);
        }
        events.append(std::move(event));
    }
    return MakeMacroDocument(list->ItemText(selected), list->ItemUserData(selected), events);
}

bool CMacroControlUI::SaveMacro() {
    m_lastFailure = MacroFailure::None;
    const std::string path = MacroFilePath(m_folder, GetSelectedGuid());
    if (path.empty()) {
        Fail(MacroFailure::NotSelected);
        return false;
    }
    if (!m_json.WriteJsonFile(BuildMacroDocument(true), path)) {
        Fail(MacroFailure::WriteFailed);
        return false;
    }
    return true;
}

std::string CMacroControlUI::ImportMacro(const std::string& path) {
    m_lastFailure = MacroFailure::None;
    if (IsFull()) {
        return Fail(MacroFailure::ListFull);
    }
    std::string text;
    Json::Value parsed;
    if (m_json.ReadTextFile(path, text) != FileReadStatus::Ok || !m_json.ParseJson(text, parsed) ||
        !parsed.isObject()) {
        return Fail(MacroFailure::NotMacroFile);
    }
    const std::string name = AddMacro();
    if (name.empty()) {
        return {};
    }
    if (!m_json.WriteTextFile(text, MacroFilePath(m_folder, GetSelectedGuid()))) {
        DeleteMacro(); // takes back the entry just made
        return Fail(MacroFailure::WriteFailed);
    }
    SelectMacro();
    return name;
}

bool CMacroControlUI::ExportMacro(const std::string& path) {
    m_lastFailure = MacroFailure::None;
    const std::string source = MacroFilePath(m_folder, GetSelectedGuid());
    if (source.empty()) {
        Fail(MacroFailure::NotSelected);
        return false;
    }
    std::string text;
    const FileReadStatus status = m_json.ReadTextFile(source, text);
    if (status == FileReadStatus::Missing) {
        text = m_json.StyledText(BuildMacroDocument(false));
    } else if (status != FileReadStatus::Ok && status != FileReadStatus::Empty) {
        Fail(MacroFailure::NotMacroFile);
        return false;
    }
    if (!m_json.WriteTextFile(text, path)) {
        Fail(MacroFailure::WriteFailed);
        return false;
    }
    return true;
}

} // namespace velkor
