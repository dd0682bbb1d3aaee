#include "app/SkinChange.h"

#include "platform/JsonFileHelper.h"
#include "platform/Trace.h"

#include <algorithm>
#include <cctype>

namespace velkor {
namespace {

constexpr size_t kMaxIniBytes = 1 << 20;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// One line of the text, without its line end.
struct IniLine {
    size_t begin;
    size_t end; // past the content, before the line end
    size_t next;
};

std::vector<IniLine> Lines(std::string_view text) {
    std::vector<IniLine> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t newline = text.find('\n', at);
        const size_t stop = newline == std::string_view::npos ? text.size() : newline;
        const size_t end = stop > at && text[stop - 1] == '\r' ? stop - 1 : stop;
        lines.push_back({at, end, newline == std::string_view::npos ? text.size() : newline + 1});
        at = lines.back().next;
    }
    return lines;
}

// The section a line opens, or nothing.
std::optional<std::string_view> SectionOf(std::string_view line) {
    line = Trim(line);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
        return Trim(line.substr(1, line.size() - 2));
    }
    return std::nullopt;
}

} // namespace

void SkinChangeSubject::Add(SkinChangeReceiver& receiver) {
    if (std::find(m_receivers.begin(), m_receivers.end(), &receiver) == m_receivers.end()) {
        m_receivers.push_back(&receiver);
    }
}

void SkinChangeSubject::Remove(SkinChangeReceiver& receiver) {
    std::erase(m_receivers, &receiver);
}

void SkinChangeSubject::Announce(const SkinChangedParam& param) {
    const std::vector<SkinChangeReceiver*> receivers = m_receivers;
    for (SkinChangeReceiver* receiver : receivers) {
        if (std::find(m_receivers.begin(), m_receivers.end(), receiver) != m_receivers.end()) {
            receiver->SkinChanged(param);
        }
    }
}

std::optional<std::string> IniValue(std::string_view text, std::string_view section, std::string_view key) {
    bool inSection = false;
    for (const IniLine& line : Lines(text)) {
        const std::string_view content = text.substr(line.begin, line.end - line.begin);
        if (const std::optional<std::string_view> opened = SectionOf(content)) {
            inSection = SameName(*opened, section);
            continue;
        }
        const size_t equals = content.find('=');
        if (inSection && equals != std::string_view::npos && SameName(Trim(content.substr(0, equals)), key)) {
            return std::string(Trim(content.substr(equals + 1)));
        }
    }
    return std::nullopt;
}

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
    const std::string eol = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    const std::string entry = std::string(key) + "=" + std::string(value);
    bool inSection = false;
    size_t sectionEnd = std::string_view::npos; // where a missing key goes: after the section's last line
    for (const IniLine& line : Lines(text)) {
        const std::string_view content = text.substr(line.begin, line.end - line.begin);
        if (const std::optional<std::string_view> opened = SectionOf(content)) {
            inSection = SameName(*opened, section);
            if (inSection) {
                sectionEnd = line.next;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        const size_t equals = content.find('=');
        if (equals != std::string_view::npos && SameName(Trim(content.substr(0, equals)), key)) {
            return std::string(text.substr(0, line.begin)) + entry + std::string(text.substr(line.end));
        }
        if (!Trim(content).empty()) {
            sectionEnd = line.next;
        }
    }
    std::string out(text);
    if (sectionEnd == std::string_view::npos) {
        if (!out.empty() && out.back() != '\n') {
            out += eol;
        }
        return out + "[" + std::string(section) + "]" + eol + entry + eol;
    }
    std::string before = out.substr(0, sectionEnd);
    if (!before.empty() && before.back() != '\n') {
        before += eol;
    }
    return before + entry + eol + out.substr(sectionEnd);
}

bool RecordSkinPicture(const std::string& path, bool chosen, std::string_view picture) {
    const CJsonFileHelper files;
    std::string text;
    const FileReadStatus status = files.ReadTextFile(path, text);
    if (status != FileReadStatus::Ok && status != FileReadStatus::Empty &&
        status != FileReadStatus::Missing) {
        TraceF("%s cannot be read: the skin is not recorded", path.c_str());
        return false;
    }
    if (text.size() > kMaxIniBytes) {
        TraceF("%s is too large: the skin is not recorded", path.c_str());
        return false;
    }
    text = SetIniValue(text, "SKINIMAGE", "FLAGS", chosen ? "1" : "0");
    text = SetIniValue(text, "SKINIMAGE", "IMAGE", picture);
    if (!files.WriteTextFile(text, path)) {
        TraceF("%s cannot be written: the skin is not recorded", path.c_str());
        return false;
    }
    return true;
}

std::optional<std::string> RecordedSkinPicture(const std::string& path) {
    std::string text;
    if (CJsonFileHelper().ReadTextFile(path, text) != FileReadStatus::Ok || text.size() > kMaxIniBytes) {
        return std::nullopt;
    }
    if (IniValue(text, "SKINIMAGE", "FLAGS") != "1") {
        return std::nullopt;
    }
    std::optional<std::string> image = IniValue(text, "SKINIMAGE", "IMAGE");
    return image && !image->empty() ? image : std::nullopt;
}

} // namespace velkor
