#pragma once
// Helpers shared by the user-interface tests: the skin folder of the source
// tree, scratch resource folders, a text provider and a recorder of notifications.
#include "ui/Toolkit.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace velkor::ui::test {

// skin/ of the source tree (this file lives in tests/ui/).
inline std::string SkinFolder() {
    const std::filesystem::path here = std::filesystem::path(__FILE__).lexically_normal();
    return (here.parent_path().parent_path().parent_path() / "skin").string();
}

// A resource folder of its own, removed at the end of the test.
class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device seed;
        m_path = std::filesystem::temp_directory_path() / ("velkor_ui_" + std::to_string(seed()));
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path() const { return m_path.string(); }
    std::string Write(const std::string& relative, const std::string& text) const {
        const std::filesystem::path file = m_path / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }
    // Copies a file of skin/ into the folder.
    void CopyFromSkin(const std::string& relative) const {
        const std::filesystem::path target = m_path / relative;
        std::filesystem::create_directories(target.parent_path());
        std::filesystem::copy_file(std::filesystem::path(SkinFolder()) / relative, target,
                                   std::filesystem::copy_options::overwrite_existing);
    }

private:
    std::filesystem::path m_path;
};

class MapTextProvider final : public TextProvider {
public:
    explicit MapTextProvider(std::map<std::string, std::string> texts) : m_texts(std::move(texts)) {}
    std::optional<std::string> Text(std::string_view key) const override {
        const auto found = m_texts.find(std::string(key));
        return found == m_texts.end() ? std::nullopt : std::optional<std::string>(found->second);
    }

private:
    std::map<std::string, std::string> m_texts;
};

// What a receiver saw: type and sender name, plus the parameters.
struct Seen {
    std::string type;
    std::string sender;
    int64_t wParam = 0;
    int64_t lParam = 0;
    bool operator==(const Seen&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Seen& seen) {
    return out << seen.type << "(" << seen.sender << ", " << seen.wParam << ", " << seen.lParam << ")";
}

class Recorder : public WindowHandler {
public:
    void Notify(const Notification& n) override {
        m_seen.push_back(
            Seen{std::string(n.type), n.sender != nullptr ? n.sender->Name() : "", n.wParam, n.lParam});
    }
    // Only the types given (all when empty), without parameters.
    std::vector<std::string> Types(const std::vector<std::string>& only = {}) const {
        std::vector<std::string> types;
        for (const Seen& seen : m_seen) {
            bool wanted = only.empty();
            for (const std::string& type : only) {
                wanted = wanted || seen.type == type;
            }
            if (wanted) {
                types.push_back(seen.type + ":" + seen.sender);
            }
        }
        return types;
    }
    const std::vector<Seen>& All() const { return m_seen; }
    // Everything seen of these types, with parameters.
    std::vector<Seen> Only(const std::vector<std::string>& types) const {
        std::vector<Seen> kept;
        for (const Seen& seen : m_seen) {
            if (std::find(types.begin(), types.end(), seen.type) != types.end()) {
                kept.push_back(seen);
            }
        }
        return kept;
    }
    void Clear() { m_seen.clear(); }

private:
    std::vector<Seen> m_seen;
};

} // namespace velkor::ui::test
