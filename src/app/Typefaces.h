#pragma once
// The brand and script typefaces the program makes available to its windows.
//
// Four faces, in this order, from the program's "Font" folder: the Simplified
// Chinese face, the brand face "Nightjar", Noto Sans Thai and Noto Sans CJK
// TC. A face whose file is missing or unusable is simply left out. The two
// Noto faces also come with Debian's font packages (fonts-noto-core,
// fonts-noto-cjk): when the "Font" folder lacks one and the system has it,
// the system's font configuration already gives it to every program, so it
// is noted as available and not registered a second time.
#include "ui/Toolkit.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

struct TypefaceFile {
    std::string_view file;       // inside the "Font" folder
    std::string_view systemFile; // the same face in a system font folder; empty when none ships
};

// The faces loaded at start, in loading order.
std::span<const TypefaceFile> ProgramTypefaces();

// Debian's font folder.
inline constexpr std::string_view kSystemFontFolder = "/usr/share/fonts";

enum class TypefaceSource {
    Missing,    // not available: the windows fall back to other faces
    FontFolder, // registered from the program's "Font" folder
    System,     // installed on the system; nothing to register
};

struct TypefaceState {
    std::string path; // the file registered or found; empty when missing
    TypefaceSource source = TypefaceSource::Missing;
    int handle = -1; // the toolkit's handle while registered
};

class TypefaceSet {
public:
    // The toolkit must outlive the set.
    explicit TypefaceSet(ui::Toolkit& toolkit) : m_toolkit(toolkit) {}
    // Unloads what is still registered.
    ~TypefaceSet();
    TypefaceSet(const TypefaceSet&) = delete;
    TypefaceSet& operator=(const TypefaceSet&) = delete;

    // Registers the program's faces from `fontFolder` (a missing folder is no
    // error) and notes the ones `systemFolders` provide. Returns how many
    // faces are available, 0..4. A second call unloads the first one's faces.
    int Load(const std::string& fontFolder, std::span<const std::string> systemFolders);
    // Removes the registered faces, last loaded first.
    void Unload();

    // One state per face of ProgramTypefaces(), after Load.
    const std::vector<TypefaceState>& States() const { return m_states; }
    int RegisteredCount() const;

private:
    ui::Toolkit& m_toolkit;
    std::vector<TypefaceState> m_states;
};

} // namespace velkor
