#pragma once
// Reads the layout files of the user interface: Qt Designer ".ui" files, as a
// neutral tree that both toolkits check before they build anything, and that
// the in-memory toolkit builds its controls from.
//
// What is read from a <widget>: its class and name, its <property> and
// <attribute> values, its combo or list <item>s, and its child widgets, also
// those placed by a <layout> (spacers are left out). Damaged input gives a
// clear error, never a partial tree: malformed XML, a widget without a class,
// a property whose value does not match its type, nesting deeper than 64
// levels, or more than 20000 widgets.
#include "ui/Geometry.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::ui {

struct LayoutValue {
    enum class Type { String, Bool, Number, Real, Rect, Size, Enum, Set, Colour, Other };
    Type type = Type::Other;
    std::string text; // strings, enums, sets, colours as "#AARRGGBB"; numbers as written
    bool boolean = false;
    int64_t number = 0;
    double real = 0;
    Rect rect; // rects; sizes in width and height
};

struct LayoutItem {
    std::string text;
    std::string userData;
};

struct LayoutNode {
    std::string className;
    std::string name;
    std::map<std::string, LayoutValue> properties;
    std::map<std::string, LayoutValue> attributes; // tab page titles and the like
    std::vector<LayoutItem> items;
    std::vector<LayoutNode> children;
    bool placedByLayout = false; // a layout manager decides its geometry

    const LayoutValue* Property(std::string_view key) const;
    std::string String(std::string_view key, std::string_view fallback = {}) const;
    bool Bool(std::string_view key, bool fallback) const;
    int64_t Number(std::string_view key, int64_t fallback) const;
    // Every node of the tree in layout order (this one first).
    void Visit(const std::function<void(const LayoutNode&)>& visit) const;
};

struct MenuEntry {
    std::string name; // empty for a separator
    std::string text;
    bool resourceText = false;
    bool enabled = true;
};

inline constexpr size_t kMaxLayoutBytes = 8u << 20;
inline constexpr int kMaxLayoutDepth = 64;
inline constexpr size_t kMaxLayoutWidgets = 20000;

// Reads a whole text file of at most maxBytes. False, with `error` set, when it
// cannot be read or is larger.
bool ReadTextFile(const std::string& path, size_t maxBytes, std::string& text, std::string* error = nullptr);

// The top <widget> of a .ui text. False, with `error` set, for damaged input.
bool ParseLayout(std::string_view text, LayoutNode& root, std::string* error = nullptr);
bool ReadLayoutFile(const std::string& path, LayoutNode& root, std::string* error = nullptr);

// Checks what both toolkits need of a layout before they build it: every class
// is built in or accepted by `canCreate`, and every colour ("bkColor") reads.
bool CheckLayout(const LayoutNode& root, const std::function<bool(std::string_view)>& canCreate,
                 std::string* error = nullptr);

// A menu layout: a .ui whose top widget is a QMenu with <addaction name="..."/>
// entries (name "separator" for a line) and the <action> elements they name.
// False for damaged input, a top widget that is not a QMenu, or an entry that
// names no action.
bool ParseMenuLayout(std::string_view text, std::vector<MenuEntry>& entries, std::string* error = nullptr);

} // namespace velkor::ui
