#include "profiles/ProfileList.h"

#include "profiles/JsonFields.h"
#include "profiles/NameRules.h"
#include "profiles/ProfileFolders.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

namespace velkor {
namespace {

// A profile is created at most a few times a second; this many milliseconds
// of stepping past taken identifiers is far more than any folder needs.
constexpr int kMaxIdentifierSteps = 100000;

bool IsDigits(std::string_view text, size_t from, size_t count) {
    if (from + count > text.size()) {
        return false;
    }
    return std::all_of(text.begin() + from, text.begin() + from + count,
                       [](char c) { return c >= '0' && c <= '9'; });
}

bool HoldsName(const std::vector<std::string>& names, std::string_view name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& other) { return SameNameIgnoringCase(other, name); });
}

// Length in bytes of the UTF-8 sequence starting with `lead` (1 for a stray byte).
size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0) {
        return 4;
    }
    if (lead >= 0xE0) {
        return 3;
    }
    if (lead >= 0xC0) {
        return 2;
    }
    return 1;
}

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') {
        folder.push_back('/');
    }
    return folder;
}

ProfileListEntry ReadEntry(const Json::Value& element) {
    ProfileListEntry entry;
    if (!JsonToText(JsonMember(element, "profilename"), entry.name)) {
        entry.name.clear();
    }
    const Json::Value& identifier = JsonMember(element, "profileUUID");
    if (identifier.isString() && IsProfileIdentifier(identifier.asString())) {
        entry.identifier = identifier.asString();
    }
    return entry;
}

} // namespace

bool IsProfileIdentifier(std::string_view text) {
    // The year takes 1 to 6 digits; the rest is fixed: "_MM_DD_hh_mm_ss_mmm".
    constexpr size_t kTailLength = 5 * 3 + 4;
    if (text.size() < 1 + kTailLength || text.size() > 6 + kTailLength) {
        return false;
    }
    const size_t yearLength = text.size() - kTailLength;
    if (!IsDigits(text, 0, yearLength)) {
        return false;
    }
    size_t at = yearLength;
    for (int group = 0; group < 6; ++group) {
        const size_t width = group == 5 ? 3 : 2;
        if (text[at] != '_' || !IsDigits(text, at + 1, width)) {
            return false;
        }
        at += 1 + width;
    }
    return at == text.size();
}

bool IsBlankProfileName(std::string_view name) {
    size_t at = 0;
    while (at < name.size()) {
        const std::string_view rest = name.substr(at);
        if (rest[0] == ' ' || rest[0] == '\t' || rest[0] == '\r' || rest[0] == '\n' || rest[0] == '\v' ||
            rest[0] == '\f') {
            at += 1;
        } else if (rest.starts_with("\xC2\xA0")) { // no-break space
            at += 2;
        } else if (rest.starts_with("\xE3\x80\x80")) { // ideographic space
            at += 3;
        } else {
            return false;
        }
    }
    return true;
}

std::string CleanProfileName(std::string_view name) {
    const std::string valid = SanitizeUtf8(name);
    std::string out;
    size_t characters = 0;
    for (size_t at = 0; at < valid.size() && characters < kMaxProfileNameChars; ++characters) {
        const auto lead = static_cast<unsigned char>(valid[at]);
        const size_t length = std::min(SequenceLength(lead), valid.size() - at);
        // Control characters would break the one-line list and file dialogs.
        if (length == 1 && (lead < 0x20 || lead == 0x7F)) {
            out.push_back(' ');
        } else {
            out.append(valid, at, length);
        }
        at += length;
    }
    return out;
}

std::string MakeAddName(const std::vector<std::string>& names) {
    for (size_t n = 1;; ++n) {
        std::string name = "profile" + std::to_string(n);
        if (!HoldsName(names, name)) {
            return name;
        }
    }
}

std::string MakeCopyName(std::string_view source, const std::vector<std::string>& names) {
    std::string name = std::string(source) + " copy";
    while (HoldsName(names, name)) {
        name += " copy";
    }
    return name;
}

std::string MakeImportName(std::string_view title, const std::vector<std::string>& names) {
    std::string name(title);
    for (size_t n = 1; HoldsName(names, name); ++n) {
        name += "(" + std::to_string(n) + ")";
    }
    return name;
}

ProfileList::ProfileList(std::string userDataFolder, TimeSource now)
    : m_folder(WithSlash(std::move(userDataFolder))), m_now(std::move(now)) {}

ProfileListState ProfileList::Load() {
    m_repairs.clear();
    if (m_folder.empty()) {
        return ProfileListState::Missing;
    }
    const JsonFileContents contents = m_json.ReadJsonFileDetailed(ListPath());
    auto damaged = [&]() {
        if (!contents.text.empty()) {
            m_json.WriteTextFile(contents.text, ListPath() + kDamagedSuffix);
        }
        return ProfileListState::Damaged;
    };
    switch (contents.status) {
    case FileReadStatus::Ok:
        break;
    case FileReadStatus::Missing:
    case FileReadStatus::Empty:
        return ProfileListState::Missing;
    default:
        return damaged();
    }
    const Json::Value& root = contents.value;
    const Json::Value& list = JsonMember(root, "profilelist");
    if (!root.isObject() || !(list.isArray() || list.isNull())) {
        return damaged();
    }

    std::vector<ProfileListEntry> entries;
    std::vector<ProfileListRepair> repairs;
    std::vector<int> blankNames;
    std::set<std::string> seen;
    bool changed = false;
    for (Json::ArrayIndex i = 0; list.isArray() && i < list.size(); ++i) {
        if (!list[i].isObject()) {
            changed = true; // not a profile: dropped with the next save
            continue;
        }
        ProfileListEntry entry = ReadEntry(list[i]);
        const int index = static_cast<int>(entries.size());
        if (entry.identifier.empty()) {
            repairs.push_back({index, {}});
        } else if (!seen.insert(entry.identifier).second) {
            // Two entries naming one file: deleting one would take the other's settings.
            repairs.push_back({index, entry.identifier});
            entry.identifier.clear();
        }
        if (IsBlankProfileName(entry.name)) {
            blankNames.push_back(index);
        }
        entries.push_back(std::move(entry));
    }
    if (entries.empty()) {
        return ProfileListState::Empty;
    }

    m_entries = std::move(entries);
    for (const ProfileListRepair& repair : repairs) {
        m_entries[repair.index].identifier = NewIdentifier();
    }
    for (int index : blankNames) {
        m_entries[index].name = MakeAddName(Names());
    }
    int64_t selected = 0;
    if (!JsonToInteger(JsonMember(root, "profileselect"), selected) || selected < 0 || selected >= Count()) {
        changed = true;
        selected = 0;
    }
    m_selected = static_cast<int>(selected);
    m_otherMembers = root;
    m_otherMembers.removeMember("profilelist");
    m_otherMembers.removeMember("profileselect");
    m_repairs = std::move(repairs);
    // An identifier that could not be replaced leaves the entry without a file; drop it.
    for (int i = Count() - 1; i >= 0; --i) {
        if (m_entries[i].identifier.empty()) {
            Remove(i);
            std::erase_if(m_repairs, [i](const ProfileListRepair& r) { return r.index == i; });
            for (ProfileListRepair& repair : m_repairs) {
                repair.index -= repair.index > i ? 1 : 0;
            }
        }
    }
    if (m_entries.empty()) {
        return ProfileListState::Empty;
    }
    const bool repaired = changed || !m_repairs.empty() || !blankNames.empty();
    return repaired ? ProfileListState::Repaired : ProfileListState::Loaded;
}

bool ProfileList::Save() const {
    if (m_folder.empty()) {
        return false;
    }
    Json::Value root = m_otherMembers.isObject() ? m_otherMembers : Json::Value(Json::objectValue);
    Json::Value list(Json::arrayValue);
    for (const ProfileListEntry& entry : m_entries) {
        Json::Value element(Json::objectValue);
        element["profilename"] = entry.name;
        element["profileUUID"] = entry.identifier;
        element["profileislink"] = 0;
        element["profilelinkmame"] = "";
        list.append(std::move(element));
    }
    root["profilelist"] = std::move(list);
    root["profileselect"] = std::max(m_selected, 0);
    return m_json.WriteJsonFile(root, ListPath());
}

bool ProfileList::RecoverFromFolder() {
    namespace fs = std::filesystem;
    if (m_folder.empty()) {
        return false;
    }
    std::vector<std::string> identifiers;
    std::error_code error;
    for (fs::directory_iterator it(m_folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        const std::string stem = path.stem().string();
        std::error_code statError;
        if (path.extension() == kProfileExtension && IsProfileIdentifier(stem) &&
            fs::is_regular_file(it->symlink_status(statError))) {
            identifiers.push_back(stem);
        }
    }
    if (identifiers.empty()) {
        return false;
    }
    // Identifiers are creation times, so this is the order the profiles were made in.
    std::sort(identifiers.begin(), identifiers.end());
    std::vector<ProfileListEntry> entries;
    std::vector<std::string> names;
    for (const std::string& identifier : identifiers) {
        std::string stored;
        if (!JsonToText(JsonMember(ReadProfileFile(identifier), "profilename"), stored)) {
            stored.clear();
        }
        stored = CleanProfileName(stored);
        std::string name = IsBlankProfileName(stored) ? MakeAddName(names) : MakeImportName(stored, names);
        names.push_back(name);
        entries.push_back({std::move(name), identifier});
    }
    m_entries = std::move(entries);
    m_selected = 0;
    m_repairs.clear();
    return true;
}

std::vector<std::string> ProfileList::Names() const {
    std::vector<std::string> names;
    names.reserve(m_entries.size());
    for (const ProfileListEntry& entry : m_entries) {
        names.push_back(entry.name);
    }
    return names;
}

bool ProfileList::Select(int index) {
    if (index < 0 || index >= Count()) {
        return false;
    }
    m_selected = index;
    return true;
}

void ProfileList::Append(ProfileListEntry entry) {
    m_entries.push_back(std::move(entry));
    if (m_selected < 0) {
        m_selected = 0;
    }
}

bool ProfileList::Remove(int index) {
    if (index < 0 || index >= Count()) {
        return false;
    }
    m_entries.erase(m_entries.begin() + index);
    if (m_selected >= Count()) {
        m_selected = Count() - 1;
    }
    return true;
}

bool ProfileList::Rename(int index, std::string name) {
    if (index < 0 || index >= Count()) {
        return false;
    }
    m_entries[index].name = std::move(name);
    return true;
}

void ProfileList::Clear() {
    m_entries.clear();
    m_selected = -1;
    m_repairs.clear();
}

bool ProfileList::IdentifierTaken(const std::string& identifier) const {
    const bool listed = std::any_of(m_entries.begin(), m_entries.end(), [&](const ProfileListEntry& entry) {
        return entry.identifier == identifier;
    });
    if (listed) {
        return true;
    }
    std::error_code error;
    const auto status = std::filesystem::symlink_status(ProfilePath(identifier), error);
    // Anything there (or a folder that cannot be looked into) counts as taken.
    return std::filesystem::exists(status) || (error && error != std::errc::no_such_file_or_directory);
}

std::string ProfileList::NewIdentifier() const {
    if (m_folder.empty()) {
        return {};
    }
    auto when = m_now ? m_now() : std::chrono::system_clock::now();
    for (int step = 0; step < kMaxIdentifierSteps; ++step, when += std::chrono::milliseconds(1)) {
        std::string identifier = m_json.MakeTimeStamp(when);
        if (IsProfileIdentifier(identifier) && !IdentifierTaken(identifier)) {
            return identifier;
        }
    }
    return {};
}

std::string ProfileList::ListPath() const {
    return m_folder.empty() ? std::string() : m_folder + kProfileListFileName;
}

std::string ProfileList::ProfilePath(std::string_view identifier) const {
    if (!IsProfileIdentifier(identifier)) {
        return {};
    }
    return ProfileFilePath(m_folder, std::string(identifier));
}

std::string ProfileList::ProfilePathAt(int index) const {
    if (index < 0 || index >= Count()) {
        return {};
    }
    return ProfilePath(m_entries[index].identifier);
}

Json::Value ProfileList::ReadProfileFile(std::string_view identifier) const {
    const std::string path = ProfilePath(identifier);
    return path.empty() ? Json::Value() : m_json.ReadJsonFile(path);
}

bool ProfileList::WriteProfileFile(Json::Value document, const ProfileListEntry& entry) const {
    const std::string path = ProfilePath(entry.identifier);
    if (path.empty()) {
        return false;
    }
    if (!document.isObject()) {
        document = Json::Value(Json::objectValue);
    }
    document["profilename"] = entry.name;
    document["profileUUID"] = entry.identifier;
    return m_json.WriteJsonFile(document, path);
}

} // namespace velkor
