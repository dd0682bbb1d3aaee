#include "platform/JsonText.h"

#include <json/reader.h>
#include <json/writer.h>

#include <charconv>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

namespace velkor {
namespace {

// Produces exactly the text of Json::StyledWriter (indent 3, right margin 74,
// members in map order, short scalar arrays on one line) without its
// intermediate copies, which dominate the time of a save. Comments are not
// written (our reader never keeps them). Unlike StyledWriter, member names
// holding a NUL byte are written whole instead of cut at the NUL.
class StyledEmitter {
public:
    explicit StyledEmitter(std::string& out) : m_out(out) {}

    void Write(const Json::Value& root) {
        WriteValue(root);
        m_out.push_back('\n');
    }

private:
    static constexpr size_t kIndentSize = 3;
    static constexpr size_t kRightMargin = 74;

    void Push(std::string_view text) {
        if (m_collecting) {
            m_children.emplace_back(text);
        } else {
            m_out.append(text);
        }
    }

    // Same digits as Json::valueToString for 64-bit integers.
    template <typename Integer> void PushInteger(Integer value) {
        char buffer[24];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        Push(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)));
    }

    // Text that jsoncpp writes unescaped: printable ASCII without quote or backslash.
    static bool NeedsNoEscaping(const char* begin, const char* end) {
        for (const char* c = begin; c != end; ++c) {
            const auto byte = static_cast<unsigned char>(*c);
            if (byte < 0x20 || byte >= 0x7F || byte == '"' || byte == '\\') {
                return false;
            }
        }
        return true;
    }

    void PushQuoted(const char* begin, const char* end) {
        if (NeedsNoEscaping(begin, end)) {
            std::string& target = m_collecting ? m_children.emplace_back() : m_out;
            target.push_back('"');
            target.append(begin, end);
            target.push_back('"');
            return;
        }
        Push(Quote(begin, end));
    }

    void WriteIndent() {
        if (!m_out.empty()) {
            const char last = m_out.back();
            if (last == ' ') {
                return; // already indented, e.g. after "name" :
            }
            if (last != '\n') {
                m_out.push_back('\n');
            }
        }
        m_out.append(m_indent);
    }

    void WriteWithIndent(std::string_view text) {
        WriteIndent();
        m_out.append(text);
    }

    // jsoncpp's quoting works on NUL-terminated text; a string holding NUL
    // bytes is quoted piece by piece with the NULs as \u0000.
    static std::string Quote(const char* begin, const char* end) {
        if (std::memchr(begin, '\0', static_cast<size_t>(end - begin)) == nullptr) {
            return Json::valueToQuotedString(std::string(begin, end).c_str());
        }
        std::string quoted = "\"";
        const char* piece = begin;
        for (;;) {
            const char* nul =
                static_cast<const char*>(std::memchr(piece, '\0', static_cast<size_t>(end - piece)));
            const char* pieceEnd = nul != nullptr ? nul : end;
            const std::string inner = Json::valueToQuotedString(std::string(piece, pieceEnd).c_str());
            quoted.append(inner, 1, inner.size() - 2);
            if (nul == nullptr) {
                break;
            }
            quoted.append("\\u0000");
            piece = nul + 1;
        }
        quoted.push_back('"');
        return quoted;
    }

    void WriteValue(const Json::Value& value) {
        switch (value.type()) {
        case Json::nullValue:
            Push("null");
            break;
        case Json::intValue:
            PushInteger(value.asLargestInt());
            break;
        case Json::uintValue:
            PushInteger(value.asLargestUInt());
            break;
        case Json::realValue:
            Push(Json::valueToString(value.asDouble()));
            break;
        case Json::stringValue: {
            const char* begin = nullptr;
            const char* end = nullptr;
            if (value.getString(&begin, &end)) {
                PushQuoted(begin, end);
            } else {
                Push("");
            }
            break;
        }
        case Json::booleanValue:
            Push(value.asBool() ? "true" : "false");
            break;
        case Json::arrayValue:
            WriteArray(value);
            break;
        case Json::objectValue:
            WriteObject(value);
            break;
        }
    }

    void WriteObject(const Json::Value& value) {
        if (value.empty()) {
            Push("{}");
            return;
        }
        WriteWithIndent("{");
        m_indent.append(kIndentSize, ' ');
        bool first = true;
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (!first) {
                m_out.push_back(',');
            }
            first = false;
            const char* nameEnd = nullptr;
            const char* name = it.memberName(&nameEnd);
            WriteIndent();
            if (NeedsNoEscaping(name, nameEnd)) {
                m_out.push_back('"');
                m_out.append(name, nameEnd);
                m_out.push_back('"');
            } else {
                m_out.append(Quote(name, nameEnd));
            }
            m_out.append(" : ");
            WriteValue(*it);
        }
        m_indent.resize(m_indent.size() - kIndentSize);
        WriteWithIndent("}");
    }

    void WriteArray(const Json::Value& value) {
        const Json::ArrayIndex size = value.size();
        if (size == 0) {
            Push("[]");
            return;
        }
        if (IsMultiline(value)) {
            WriteWithIndent("[");
            m_indent.append(kIndentSize, ' ');
            const bool haveChildren = !m_children.empty();
            std::vector<std::string> children;
            children.swap(m_children);
            for (Json::ArrayIndex index = 0; index < size; ++index) {
                if (index > 0) {
                    m_out.push_back(',');
                }
                if (haveChildren) {
                    WriteWithIndent(children[index]);
                } else {
                    WriteIndent();
                    WriteValue(value[index]);
                }
            }
            m_indent.resize(m_indent.size() - kIndentSize);
            WriteWithIndent("]");
        } else {
            m_out.append("[ ");
            for (Json::ArrayIndex index = 0; index < size; ++index) {
                if (index > 0) {
                    m_out.append(", ");
                }
                m_out.append(m_children[index]);
            }
            m_out.append(" ]");
            m_children.clear();
        }
    }

    // One line for fewer than 25 elements that are scalars or empty
    // containers and fit within the margin.
    bool IsMultiline(const Json::Value& value) {
        const Json::ArrayIndex size = value.size();
        bool multiline = size * 3 >= kRightMargin;
        m_children.clear();
        for (Json::ArrayIndex index = 0; index < size && !multiline; ++index) {
            const Json::Value& child = value[index];
            multiline = (child.isArray() || child.isObject()) && !child.empty();
        }
        if (!multiline) {
            m_children.reserve(size);
            m_collecting = true;
            size_t lineLength = 4 + (size - 1) * 2;
            for (Json::ArrayIndex index = 0; index < size; ++index) {
                WriteValue(value[index]);
                lineLength += m_children[index].size();
            }
            m_collecting = false;
            multiline = lineLength >= kRightMargin;
        }
        return multiline;
    }

    std::string& m_out;
    std::string m_indent;
    std::vector<std::string> m_children;
    bool m_collecting = false;
};

} // namespace

bool ParseJson(std::string_view text, Json::Value& out, const JsonReadRules& rules, std::string* errors) {
    out = Json::Value();
    Json::CharReaderBuilder builder;
    builder["allowComments"] = rules.comments;
    builder["collectComments"] = false;
    builder["stackLimit"] = rules.maxDepth;
    builder["allowTrailingCommas"] = rules.trailingCommas;
    builder["strictRoot"] = rules.exact;
    builder["failIfExtra"] = rules.exact;
    builder["rejectDupKeys"] = rules.exact;
    std::string reason;
    bool ok = false;
    try {
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        ok = reader->parse(text.data(), text.data() + text.size(), &out, &reason);
    } catch (const std::exception& error) {
        // jsoncpp reports a too deep nesting (and allocation failures) by throwing.
        reason = error.what();
        ok = false;
    }
    if (!ok) {
        out = Json::Value();
        if (errors != nullptr) {
            *errors = reason;
        }
    }
    return ok;
}

std::string StyledJsonText(const Json::Value& value, size_t sizeHint) {
    std::string text;
    text.reserve(sizeHint + sizeHint / 8 + 256);
    StyledEmitter(text).Write(value);
    return text;
}

} // namespace velkor
