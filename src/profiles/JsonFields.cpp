#include "profiles/JsonFields.h"

#include <cmath>
#include <cstring>

namespace velkor {

const Json::Value& JsonMember(const Json::Value& object, const char* key) {
    if (!object.isObject()) {
        return Json::Value::nullSingleton();
    }
    const Json::Value* found = object.find(key, key + std::strlen(key));
    return found != nullptr ? *found : Json::Value::nullSingleton();
}

const Json::Value& JsonElement(const Json::Value& array, Json::ArrayIndex index) {
    if (!array.isArray() || index >= array.size()) {
        return Json::Value::nullSingleton();
    }
    return array[index];
}

const Json::Value& ProfileObjectOf(const Json::Value& root, int32_t index) {
    if (index < 0) {
        return Json::Value::nullSingleton();
    }
    const Json::Value& element =
        JsonElement(JsonMember(root, "Device"), static_cast<Json::ArrayIndex>(index));
    return element.isObject() ? element : Json::Value::nullSingleton();
}

Json::Value* MutableProfileObjectOf(Json::Value& root, int32_t index) {
    if (!ProfileObjectOf(root, index).isObject()) {
        return nullptr;
    }
    return &root["Device"][static_cast<Json::ArrayIndex>(index)];
}

bool JsonToInteger(const Json::Value& value, int64_t& out) {
    switch (value.type()) {
    case Json::nullValue:
        out = 0;
        return true;
    case Json::booleanValue:
        out = value.asBool() ? 1 : 0;
        return true;
    case Json::intValue:
        out = value.asInt64();
        return true;
    case Json::uintValue:
        // Above INT64_MAX: the same low bits, which is all the callers keep.
        out = static_cast<int64_t>(value.asUInt64());
        return true;
    case Json::realValue: {
        const double real = value.asDouble();
        if (!std::isfinite(real)) {
            return false;
        }
        const double truncated = std::trunc(real);
        if (truncated >= -9223372036854775808.0 && truncated < 9223372036854775808.0) {
            out = static_cast<int64_t>(truncated);
            return true;
        }
        if (truncated >= 0.0 && truncated < 18446744073709551616.0) {
            out = static_cast<int64_t>(static_cast<uint64_t>(truncated));
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

bool JsonToFlag(const Json::Value& value, uint8_t& out) {
    switch (value.type()) {
    case Json::nullValue:
        out = 0;
        return true;
    case Json::booleanValue:
        out = value.asBool() ? 1 : 0;
        return true;
    case Json::intValue:
        out = value.asInt64() != 0 ? 1 : 0;
        return true;
    case Json::uintValue:
        out = value.asUInt64() != 0 ? 1 : 0;
        return true;
    case Json::realValue: {
        const double real = value.asDouble();
        out = (real != 0.0 && !std::isnan(real)) ? 1 : 0;
        return true;
    }
    default:
        return false;
    }
}

bool JsonToText(const Json::Value& value, std::string& out) {
    switch (value.type()) {
    case Json::nullValue:
        out.clear();
        return true;
    case Json::stringValue: {
        const char* begin = nullptr;
        const char* end = nullptr;
        value.getString(&begin, &end);
        out = SanitizeUtf8(std::string_view(begin, static_cast<size_t>(end - begin)));
        return true;
    }
    case Json::booleanValue:
    case Json::intValue:
    case Json::uintValue:
    case Json::realValue:
        out = value.asString(); // safe for these types
        return true;
    default:
        return false;
    }
}

std::string SanitizeUtf8(std::string_view text) {
    static constexpr char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        uint32_t codePoint = 0;
        uint32_t minimum = 0;
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, codePoint = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, codePoint = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, codePoint = lead & 0x07, minimum = 0x10000;
        }
        bool valid = length != 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        valid = valid && codePoint >= minimum && codePoint <= 0x10FFFF &&
                !(codePoint >= 0xD800 && codePoint <= 0xDFFF);
        if (valid) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out.append(kReplacement);
            ++i;
        }
    }
    return out;
}

SectionReader::SectionReader(const Json::Value& section)
    : m_section(section), m_ok(section.isNull() || section.isObject()) {}

int64_t SectionReader::Integer(const char* key) {
    int64_t value = 0;
    if (!JsonToInteger(JsonMember(m_section, key), value)) {
        m_ok = false;
        return 0;
    }
    return value;
}

uint8_t SectionReader::Flag(const char* key) {
    uint8_t value = 0;
    if (!JsonToFlag(JsonMember(m_section, key), value)) {
        m_ok = false;
        return 0;
    }
    return value;
}

std::string SectionReader::Text(const char* key) {
    std::string value;
    if (!JsonToText(JsonMember(m_section, key), value)) {
        m_ok = false;
        return {};
    }
    return value;
}

Json::Value& EnsureObject(Json::Value& value) {
    if (!value.isObject()) {
        value = Json::Value(Json::objectValue);
    }
    return value;
}

Json::Value& EnsureArray(Json::Value& value) {
    if (!value.isArray()) {
        value = Json::Value(Json::arrayValue);
    }
    return value;
}

Json::Value& ObjectMember(Json::Value& parent, const char* key) {
    return EnsureObject(EnsureObject(parent)[key]);
}

Json::Value& ArrayMember(Json::Value& parent, const char* key) {
    return EnsureArray(EnsureObject(parent)[key]);
}

} // namespace velkor
