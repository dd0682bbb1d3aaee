#pragma once
// The resource folder of the user interface and its index "res.xml", which maps
// resource names such as "XML_MAIN" to layout files and names the style sheet:
//
//   <resources>
//     <stylesheet file="style.qss"/>
//     <layout name="XML_MAIN" file="main.ui"/>
//   </resources>
//
// Every file named by the index, and every layout path given by the logic,
// must stay inside the folder: absolute paths and paths that climb out with
// ".." are refused.
#include <map>
#include <string>
#include <string_view>

namespace velkor::ui {

class ResourceIndex {
public:
    static constexpr std::string_view kIndexFile = "res.xml";

    // Reads `folder`/res.xml. False, with `error` set and the index left empty,
    // when the folder or the index is missing or the index is damaged.
    bool Load(const std::string& folder, std::string* error = nullptr);
    // The index from text, for a folder whose files are elsewhere (tests).
    bool LoadFromText(const std::string& folder, std::string_view text, std::string* error = nullptr);

    const std::string& Folder() const { return m_folder; }
    bool HasLayout(std::string_view name) const { return m_layouts.count(std::string(name)) != 0; }

    // Full path of a layout given by resource name or by a path inside the
    // folder (backslashes accepted). Empty when the name is unknown and the
    // path is unsafe; the file itself is not checked.
    std::string LayoutPath(std::string_view nameOrPath) const;
    // Full path of an image description (see ImageFileOf): relative files lie in
    // the folder, absolute ones stay as they are. Empty for an empty description.
    std::string ImagePath(std::string_view description) const;
    // Full path of the style sheet, or empty when the index names none.
    std::string StyleSheetPath() const;

private:
    // `relative` joined to the folder, or empty when it is absolute or leaves the folder.
    std::string InsideFolder(std::string_view relative) const;

    std::string m_folder;
    std::string m_styleSheet;
    std::map<std::string, std::string> m_layouts;
};

} // namespace velkor::ui
