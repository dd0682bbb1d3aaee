#pragma once
// Type-safe access to jsoncpp values for the profile sections.
//
// jsoncpp throws (or asserts) when a value is used as a type it is not: a
// string read as an integer, a key looked up in an array. Profile files come
// from users and other tools, so nothing here calls a jsoncpp accessor
// without checking the type first, and a value of the wrong type is reported
// as malformed instead.
#include <json/value.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace velkor {

// Member `key` of `object`; the null value when `object` is not an object or
// has no such member.
const Json::Value& JsonMember(const Json::Value& object, const char* key);
// Element `index` of `array`; the null value when `array` is not an array or
// is shorter.
const Json::Value& JsonElement(const Json::Value& array, Json::ArrayIndex index);

// The profile object at "Device"[index] of a profile file's top-level value;
// null when there is none or it is not an object.
const Json::Value& ProfileObjectOf(const Json::Value& root, int32_t index);
// The same for changing it in place: null when there is none (nothing is added).
Json::Value* MutableProfileObjectOf(Json::Value& root, int32_t index);

// Integer conversion as the files need it: null is 0, a boolean 0 or 1, a real
// number is truncated toward zero; an integer beyond 64 bits keeps its low 64
// bits (the callers keep 8, 16 or 32 of them). False for strings, arrays,
// objects and real numbers outside the 64-bit range.
bool JsonToInteger(const Json::Value& value, int64_t& out);
// Flag conversion: null and zero read as 0, any other number and true as 1.
bool JsonToFlag(const Json::Value& value, uint8_t& out);
// Text conversion: a string (made valid UTF-8), null as "", numbers and
// booleans as their JSON text. False for arrays and objects.
bool JsonToText(const Json::Value& value, std::string& out);

// Replaces every byte that does not belong to a well-formed UTF-8 sequence
// (overlong forms, surrogates and code points above U+10FFFF included) with
// U+FFFD, so that text taken from a file is always valid UTF-8.
std::string SanitizeUtf8(std::string_view text);

// Reads the members of one section object. A null section reads every member
// as 0; a section of another type, or any member of the wrong type, marks the
// reader failed (Ok() false), and the caller then uses the section's default.
class SectionReader {
public:
    explicit SectionReader(const Json::Value& section);

    uint8_t U8(const char* key) { return static_cast<uint8_t>(Integer(key)); }
    uint16_t U16(const char* key) { return static_cast<uint16_t>(Integer(key)); }
    int32_t I32(const char* key) { return static_cast<int32_t>(static_cast<uint32_t>(Integer(key))); }
    uint8_t Flag(const char* key);
    std::string Text(const char* key);

    bool Ok() const { return m_ok; }

private:
    int64_t Integer(const char* key);

    const Json::Value& m_section;
    bool m_ok;
};

// For writers: makes `value` an object (or an array) unless it is one already,
// dropping content of another type, and returns it.
Json::Value& EnsureObject(Json::Value& value);
Json::Value& EnsureArray(Json::Value& value);
// The member `key` of `parent` (made an object first), itself made an object
// or an array.
Json::Value& ObjectMember(Json::Value& parent, const char* key);
Json::Value& ArrayMember(Json::Value& parent, const char* key);

} // namespace velkor
