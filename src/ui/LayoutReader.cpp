#include "ui/LayoutReader.h"

#include "ui/ControlClasses.h"
#include "ui/Errors.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <pugixml.hpp>

namespace velkor::ui {

namespace {

bool ParseInt(std::string_view text, int64_t& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\n' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

// Reads the single value element of a <property> or <attribute>.
class Reader {
public:
    explicit Reader(std::string* error) : m_error(error) {}

    bool Failed() const { return m_failed; }

    bool Fail(const std::string& text) {
        if (!m_failed) {
            SetError(m_error, text);
        }
        m_failed = true;
        return false;
    }

    bool ReadValue(const pugi::xml_node& holder, const std::string& owner, LayoutValue& value) {
        const pugi::xml_node node = holder.first_child();
        const std::string key = holder.attribute("name").as_string();
        const std::string where = "property '" + key + "' of '" + owner + "'";
        const std::string type = node.name();
        if (type == "string" || type == "cstring") {
            value.type = LayoutValue::Type::String;
            value.text = node.child_value();
        } else if (type == "bool") {
            const std::string text = node.child_value();
            if (text != "true" && text != "false") {
                return Fail(where + " is not true or false");
            }
            value.type = LayoutValue::Type::Bool;
            value.boolean = text == "true";
        } else if (type == "number") {
            value.type = LayoutValue::Type::Number;
            value.text = node.child_value();
            if (!ParseInt(value.text, value.number)) {
                return Fail(where + " is not a number");
            }
        } else if (type == "double") {
            value.type = LayoutValue::Type::Real;
            value.text = node.child_value();
            char* end = nullptr;
            value.real = std::strtod(value.text.c_str(), &end);
            if (value.text.empty() || end == nullptr || *end != '\0') {
                return Fail(where + " is not a number");
            }
        } else if (type == "rect" || type == "size") {
            value.type = type == "rect" ? LayoutValue::Type::Rect : LayoutValue::Type::Size;
            int64_t parts[4] = {0, 0, 0, 0};
            const char* names[4] = {"x", "y", "width", "height"};
            for (int i = type == "rect" ? 0 : 2; i < 4; ++i) {
                if (!ParseInt(node.child(names[i]).child_value(), parts[i]) || parts[i] < -1000000 ||
                    parts[i] > 1000000) {
                    return Fail(where + " has a damaged " + names[i]);
                }
            }
            value.rect = Rect{int(parts[0]), int(parts[1]), int(parts[2]), int(parts[3])};
        } else if (type == "enum" || type == "set") {
            value.type = type == "enum" ? LayoutValue::Type::Enum : LayoutValue::Type::Set;
            value.text = node.child_value();
        } else if (type == "color") {
            int64_t channel[4] = {255, 0, 0, 0};
            const char* names[3] = {"red", "green", "blue"};
            for (int i = 0; i < 3; ++i) {
                if (!ParseInt(node.child(names[i]).child_value(), channel[i + 1]) || channel[i + 1] < 0 ||
                    channel[i + 1] > 255) {
                    return Fail(where + " has a damaged " + names[i]);
                }
            }
            if (const pugi::xml_attribute alpha = node.attribute("alpha")) {
                if (!ParseInt(alpha.value(), channel[0]) || channel[0] < 0 || channel[0] > 255) {
                    return Fail(where + " has a damaged alpha");
                }
            }
            char text[16];
            std::snprintf(text, sizeof text, "#%02X%02X%02X%02X", unsigned(channel[0]), unsigned(channel[1]),
                          unsigned(channel[2]), unsigned(channel[3]));
            value.type = LayoutValue::Type::Colour;
            value.text = text;
        } else {
            value.type = LayoutValue::Type::Other; // fonts, icons, size policies: the toolkit's own business
        }
        return true;
    }

    bool ReadWidget(const pugi::xml_node& node, int depth, bool placedByLayout, LayoutNode& out) {
        if (depth > kMaxLayoutDepth) {
            return Fail("layout nests deeper than " + std::to_string(kMaxLayoutDepth) + " levels");
        }
        if (++m_widgets > kMaxLayoutWidgets) {
            return Fail("layout has more than " + std::to_string(kMaxLayoutWidgets) + " widgets");
        }
        out.className = node.attribute("class").as_string();
        out.name = node.attribute("name").as_string();
        out.placedByLayout = placedByLayout;
        if (out.className.empty()) {
            return Fail("widget '" + out.name + "' has no class");
        }
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            const std::string tag = child.name();
            if (tag == "property" || tag == "attribute") {
                LayoutValue value;
                if (!ReadValue(child, out.name, value)) {
                    return false;
                }
                auto& target = tag == "property" ? out.properties : out.attributes;
                target[child.attribute("name").as_string()] = std::move(value);
            } else if (tag == "item") {
                if (!ReadItem(child, out)) {
                    return false;
                }
            } else if (tag == "widget") {
                out.children.emplace_back();
                if (!ReadWidget(child, depth + 1, false, out.children.back())) {
                    return false;
                }
            } else if (tag == "layout") {
                if (!ReadLayoutItems(child, depth + 1, out)) {
                    return false;
                }
            }
        }
        return true;
    }

private:
    bool ReadItem(const pugi::xml_node& node, LayoutNode& out) {
        LayoutItem item;
        for (pugi::xml_node property = node.child("property"); property;
             property = property.next_sibling("property")) {
            LayoutValue value;
            if (!ReadValue(property, out.name, value)) {
                return false;
            }
            const std::string key = property.attribute("name").as_string();
            if (key == "text") {
                item.text = value.text;
            } else if (key == "userData") {
                item.userData = value.text;
            }
        }
        out.items.push_back(std::move(item));
        return true;
    }

    bool ReadLayoutItems(const pugi::xml_node& layout, int depth, LayoutNode& out) {
        if (depth > kMaxLayoutDepth) {
            return Fail("layout nests deeper than " + std::to_string(kMaxLayoutDepth) + " levels");
        }
        for (pugi::xml_node item = layout.child("item"); item; item = item.next_sibling("item")) {
            for (pugi::xml_node child = item.first_child(); child; child = child.next_sibling()) {
                const std::string tag = child.name();
                if (tag == "widget") {
                    out.children.emplace_back();
                    if (!ReadWidget(child, depth + 1, true, out.children.back())) {
                        return false;
                    }
                } else if (tag == "layout" && !ReadLayoutItems(child, depth + 1, out)) {
                    return false;
                }
            }
        }
        return true;
    }

    std::string* m_error;
    bool m_failed = false;
    size_t m_widgets = 0;
};

bool LoadXml(std::string_view text, pugi::xml_document& doc, pugi::xml_node& top, std::string* error) {
    const pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size());
    if (!parsed) {
        SetError(error, std::string("damaged layout: ") + parsed.description() + " at byte " +
                            std::to_string(parsed.offset));
        return false;
    }
    top = doc.child("ui").child("widget");
    if (!top) {
        SetError(error, "layout without <ui><widget>");
        return false;
    }
    return true;
}

} // namespace

const LayoutValue* LayoutNode::Property(std::string_view key) const {
    const auto found = properties.find(std::string(key));
    return found == properties.end() ? nullptr : &found->second;
}

std::string LayoutNode::String(std::string_view key, std::string_view fallback) const {
    const LayoutValue* value = Property(key);
    return value != nullptr && value->type == LayoutValue::Type::String ? value->text : std::string(fallback);
}

bool LayoutNode::Bool(std::string_view key, bool fallback) const {
    const LayoutValue* value = Property(key);
    return value != nullptr && value->type == LayoutValue::Type::Bool ? value->boolean : fallback;
}

int64_t LayoutNode::Number(std::string_view key, int64_t fallback) const {
    const LayoutValue* value = Property(key);
    return value != nullptr && value->type == LayoutValue::Type::Number ? value->number : fallback;
}

void LayoutNode::Visit(const std::function<void(const LayoutNode&)>& visit) const {
    visit(*this);
    for (const LayoutNode& child : children) {
        child.Visit(visit);
    }
}

bool ReadTextFile(const std::string& path, size_t maxBytes, std::string& text, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        SetError(error, "cannot open '" + path + "'");
        return false;
    }
    text.clear();
    char buffer[65536];
    while (file) {
        file.read(buffer, sizeof buffer);
        text.append(buffer, size_t(file.gcount()));
        if (text.size() > maxBytes) {
            SetError(error, "'" + path + "' is larger than " + std::to_string(maxBytes) + " bytes");
            text.clear();
            return false;
        }
    }
    if (file.bad()) {
        SetError(error, "cannot read '" + path + "'");
        text.clear();
        return false;
    }
    return true;
}

bool ParseLayout(std::string_view text, LayoutNode& root, std::string* error) {
    pugi::xml_document doc;
    pugi::xml_node top;
    if (!LoadXml(text, doc, top, error)) {
        return false;
    }
    LayoutNode parsed;
    Reader reader(error);
    if (!reader.ReadWidget(top, 0, false, parsed)) {
        return false;
    }
    root = std::move(parsed);
    return true;
}

bool ReadLayoutFile(const std::string& path, LayoutNode& root, std::string* error) {
    std::string text;
    if (!ReadTextFile(path, kMaxLayoutBytes, text, error)) {
        return false;
    }
    std::string reason;
    if (!ParseLayout(text, root, &reason)) {
        SetError(error, path + ": " + reason);
        return false;
    }
    return true;
}

bool CheckLayout(const LayoutNode& root, const std::function<bool(std::string_view)>& canCreate,
                 std::string* error) {
    std::string problem;
    root.Visit([&](const LayoutNode& node) {
        if (!problem.empty()) {
            return;
        }
        if (!BuiltInKind(node.className) && (!canCreate || !canCreate(node.className))) {
            problem = "unknown control class '" + node.className + "' (control '" + node.name + "')";
            return;
        }
        const std::string colour = node.String("bkColor");
        if (!colour.empty() && !ParseColour(colour)) {
            problem = "damaged colour '" + colour + "' of '" + node.name + "'";
        }
    });
    if (!problem.empty()) {
        SetError(error, problem);
        return false;
    }
    return true;
}

bool ParseMenuLayout(std::string_view text, std::vector<MenuEntry>& entries, std::string* error) {
    pugi::xml_document doc;
    pugi::xml_node top;
    if (!LoadXml(text, doc, top, error)) {
        return false;
    }
    if (std::strcmp(top.attribute("class").as_string(), "QMenu") != 0) {
        SetError(error, "menu layout whose top widget is not a QMenu");
        return false;
    }
    std::vector<MenuEntry> parsed;
    Reader reader(error);
    for (pugi::xml_node add = top.child("addaction"); add; add = add.next_sibling("addaction")) {
        const std::string name = add.attribute("name").as_string();
        if (name == "separator") {
            parsed.push_back(MenuEntry{});
            continue;
        }
        const pugi::xml_node action = top.find_child_by_attribute("action", "name", name.c_str());
        if (name.empty() || !action) {
            SetError(error, "menu entry '" + name + "' names no action");
            return false;
        }
        MenuEntry entry;
        entry.name = name;
        for (pugi::xml_node property = action.child("property"); property;
             property = property.next_sibling("property")) {
            LayoutValue value;
            if (!reader.ReadValue(property, name, value)) {
                return false;
            }
            const std::string key = property.attribute("name").as_string();
            if (key == "text") {
                entry.text = value.text;
            } else if (key == "resourceText" && value.type == LayoutValue::Type::Bool) {
                entry.resourceText = value.boolean;
            } else if (key == "enabled" && value.type == LayoutValue::Type::Bool) {
                entry.enabled = value.boolean;
            }
        }
        parsed.push_back(std::move(entry));
    }
    entries = std::move(parsed);
    return true;
}

} // namespace velkor::ui
