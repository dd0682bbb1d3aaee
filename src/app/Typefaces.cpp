#include "app/Typefaces.h"

#include "platform/Trace.h"

#include <array>
#include <filesystem>

namespace velkor {

namespace {

constexpr std::array<TypefaceFile, 4> kTypefaces = {{
    {"Simplified_Chinese.ttf", ""},
    {"Nightjar-Regular.otf", ""},
    {"NotoSansThai-Regular.ttf", "truetype/noto/NotoSansThai-Regular.ttf"},
    // Debian ships the CJK faces as one collection that holds the TC face.
    {"NotoSansCJKtc-Regular.otf", "opentype/noto/NotoSansCJK-Regular.ttc"},
}};

bool IsFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace

std::span<const TypefaceFile> ProgramTypefaces() {
    return kTypefaces;
}

TypefaceSet::~TypefaceSet() {
    Unload();
}

int TypefaceSet::Load(const std::string& fontFolder, std::span<const std::string> systemFolders) {
    Unload();
    m_states.assign(kTypefaces.size(), TypefaceState{});
    int available = 0;
    for (size_t i = 0; i < kTypefaces.size(); ++i) {
        TypefaceState& state = m_states[i];
        const std::filesystem::path own = std::filesystem::path(fontFolder) / kTypefaces[i].file;
        if (IsFile(own)) {
            state.handle = m_toolkit.AddTypeface(own.string());
            if (state.handle >= 0) {
                state.path = own.string();
                state.source = TypefaceSource::FontFolder;
                TraceF("typeface %s registered", state.path.c_str());
                ++available;
                continue;
            }
            TraceF("typeface %s is not usable", own.string().c_str());
        }
        if (kTypefaces[i].systemFile.empty()) {
            continue;
        }
        for (const std::string& folder : systemFolders) {
            const std::filesystem::path system = std::filesystem::path(folder) / kTypefaces[i].systemFile;
            if (IsFile(system)) {
                state.path = system.string();
                state.source = TypefaceSource::System;
                TraceF("typeface %s provided by the system", state.path.c_str());
                ++available;
                break;
            }
        }
    }
    return available;
}

void TypefaceSet::Unload() {
    for (auto it = m_states.rbegin(); it != m_states.rend(); ++it) {
        if (it->handle >= 0) {
            m_toolkit.RemoveTypeface(it->handle);
            it->handle = -1;
        }
    }
    m_states.clear();
}

int TypefaceSet::RegisteredCount() const {
    int count = 0;
    for (const TypefaceState& state : m_states) {
        count += state.handle >= 0 ? 1 : 0;
    }
    return count;
}

} // namespace velkor
