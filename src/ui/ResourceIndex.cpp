#include "ui/ResourceIndex.h"

#include "ui/ControlClasses.h"
#include "ui/Errors.h"
#include "ui/LayoutReader.h"

#include <filesystem>
#include <pugixml.hpp>

namespace velkor::ui {

namespace {

constexpr size_t kMaxIndexBytes = 1 << 20;

std::string Slashes(std::string_view path) {
    std::string result(path);
    for (char& c : result) {
        if (c == '\\') {
            c = '/';
        }
    }
    return result;
}

} // namespace

bool ResourceIndex::Load(const std::string& folder, std::string* error) {
    m_folder.clear();
    m_styleSheet.clear();
    m_layouts.clear();
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        SetError(error, "resource folder '" + folder + "' does not exist");
        return false;
    }
    std::string text;
    const std::string path = (std::filesystem::path(folder) / kIndexFile).string();
    if (!ReadTextFile(path, kMaxIndexBytes, text, error)) {
        return false;
    }
    return LoadFromText(folder, text, error);
}

bool ResourceIndex::LoadFromText(const std::string& folder, std::string_view text, std::string* error) {
    m_folder = folder;
    m_styleSheet.clear();
    m_layouts.clear();
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size());
    const pugi::xml_node root = doc.child("resources");
    std::string problem;
    if (!parsed) {
        problem = std::string("damaged resource index: ") + parsed.description() + " at byte " +
                  std::to_string(parsed.offset);
    } else if (!root) {
        problem = "resource index without <resources>";
    }
    for (pugi::xml_node node = root.first_child(); node && problem.empty(); node = node.next_sibling()) {
        const std::string kind = node.name();
        const std::string file = Slashes(node.attribute("file").as_string());
        if (kind != "layout" && kind != "stylesheet") {
            continue; // room for entries that other parts of the program read
        }
        if (file.empty() || InsideFolder(file).empty()) {
            problem = "resource index entry <" + kind + "> names an unsafe or empty file '" + file + "'";
        } else if (kind == "stylesheet") {
            m_styleSheet = file;
        } else {
            const std::string name = node.attribute("name").as_string();
            if (name.empty()) {
                problem = "resource index layout without a name";
            } else if (!m_layouts.emplace(name, file).second) {
                problem = "resource index names layout '" + name + "' twice";
            }
        }
    }
    if (!problem.empty()) {
        m_styleSheet.clear();
        m_layouts.clear();
        SetError(error, problem);
        return false;
    }
    return true;
}

std::string ResourceIndex::LayoutPath(std::string_view nameOrPath) const {
    const auto entry = m_layouts.find(std::string(nameOrPath));
    if (entry != m_layouts.end()) {
        return InsideFolder(entry->second);
    }
    if (nameOrPath.empty()) {
        return {};
    }
    return InsideFolder(Slashes(nameOrPath));
}

std::string ResourceIndex::ImagePath(std::string_view description) const {
    const std::string file = ImageFileOf(description);
    if (file.empty()) {
        return {};
    }
    const std::filesystem::path path(file);
    if (path.is_absolute()) {
        return path.lexically_normal().string();
    }
    return (std::filesystem::path(m_folder) / path).lexically_normal().string();
}

std::string ResourceIndex::StyleSheetPath() const {
    return m_styleSheet.empty() ? std::string() : InsideFolder(m_styleSheet);
}

std::string ResourceIndex::InsideFolder(std::string_view relative) const {
    const std::filesystem::path path = std::filesystem::path(relative).lexically_normal();
    if (path.empty() || path.is_absolute() || path.has_root_name()) {
        return {};
    }
    const auto first = path.begin();
    if (first == path.end() || *first == "..") {
        return {};
    }
    return (std::filesystem::path(m_folder) / path).string();
}

} // namespace velkor::ui
