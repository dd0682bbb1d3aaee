#include "transport/HidBackend.h"

#include <cctype>
#include <cstdio>

namespace velkor {
namespace {

// Position just past the first case-insensitive occurrence of `token`, or npos.
size_t FindToken(std::string_view path, std::string_view token) {
    if (token.size() > path.size()) {
        return std::string_view::npos;
    }
    for (size_t i = 0; i + token.size() <= path.size(); ++i) {
        size_t k = 0;
        while (k < token.size() &&
               std::tolower(static_cast<unsigned char>(path[i + k])) == static_cast<unsigned char>(token[k])) {
            ++k;
        }
        if (k == token.size()) {
            return i + k;
        }
    }
    return std::string_view::npos;
}

uint16_t HexAfter(std::string_view path, std::string_view token) {
    size_t pos = FindToken(path, token);
    if (pos == std::string_view::npos) {
        return 0;
    }
    uint32_t value = 0;
    for (; pos < path.size(); ++pos) {
        int c = std::tolower(static_cast<unsigned char>(path[pos]));
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            break;
        }
        // Only the low 16 bits count; keep the accumulator from overflowing.
        value = ((value << 4) | static_cast<uint32_t>(digit)) & 0xFFFFFu;
    }
    return static_cast<uint16_t>(value & 0xFFFFu);
}

} // namespace

uint16_t PathVendorId(std::string_view path) { return HexAfter(path, "vid_"); }
uint16_t PathProductId(std::string_view path) { return HexAfter(path, "pid_"); }
uint16_t PathInterfaceNumber(std::string_view path) { return HexAfter(path, "&mi_"); }
uint16_t PathCollectionNumber(std::string_view path) { return HexAfter(path, "&col"); }

std::string MakePathIdentity(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber, uint16_t collection) {
    char text[64];
    if (collection == 0) {
        std::snprintf(text, sizeof text, "vid_%04x&pid_%04x&mi_%02x", vendorId, productId, interfaceNumber);
    } else {
        std::snprintf(text, sizeof text, "vid_%04x&pid_%04x&mi_%02x&col%02x", vendorId, productId, interfaceNumber,
                      collection);
    }
    return text;
}

} // namespace velkor
