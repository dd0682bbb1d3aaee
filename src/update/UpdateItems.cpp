#include "update/UpdateItems.h"

#include "platform/JsonFileHelper.h"
#include "profiles/NameRules.h"

#include <charconv>
#include <set>

#ifndef VELKOR_VERSION
#error "VELKOR_VERSION must name this build's version"
#endif

namespace velkor {
namespace {

bool Refuse(std::string* why, std::string text) {
    if (why != nullptr) {
        *why = std::move(text);
    }
    return false;
}

bool ParseHex16(std::string_view text, uint16_t& value) {
    if (text.size() != 4) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size();
}

// "VVVV:PPPP" in hexadecimal, or "" for none.
bool ParseUsb(const std::string& text, UpdateItem& item) {
    if (text.empty()) {
        return true;
    }
    const size_t colon = text.find(':');
    return colon == 4 && ParseHex16(std::string_view(text).substr(0, 4), item.usbVendor) &&
           ParseHex16(std::string_view(text).substr(5), item.usbProduct) && item.usbVendor != 0;
}

bool ReadRow(const Json::Value& row, UpdateItem& item, std::string& why) {
    const auto text = [&row](const char* name) {
        return row[name].isString() ? row[name].asString() : std::string();
    };
    if (!row.isObject() || !row["type"].isInt() || !row["key"].isUInt()) {
        why = "a row without a whole \"type\" and \"key\"";
        return false;
    }
    item.type = row["type"].asInt();
    item.keyNumber = row["key"].asUInt();
    item.vendor = text("vendor");
    item.productCode = text("product");
    item.productKind = text("kind");
    item.displayName = text("name");
    if (item.type < 0 || item.type > 2) {
        why = "type " + std::to_string(item.type) + " is not 0, 1 or 2";
    } else if (item.vendor.empty() || item.productCode.empty() || item.productKind.empty()) {
        why = "row " + item.displayName + " lacks its catalogue entry";
    } else if (!IsPlainFileName(item.displayName)) {
        why = "the name \"" + item.displayName + "\" cannot name a file";
    } else if (!ParseUsb(text("usb"), item) || (!item.IsFirmware() && item.usbVendor != 0)) {
        why = "row " + item.displayName + " has a wrong \"usb\" value";
    } else {
        return true;
    }
    return false;
}

} // namespace

bool ReadUpdateItems(const std::string& path, std::vector<UpdateItem>& items, std::string* why) {
    items.clear();
    const JsonFileContents contents = CJsonFileHelper().ReadJsonFileDetailed(path);
    if (contents.status != FileReadStatus::Ok) {
        return Refuse(why, path + " cannot be read");
    }
    const Json::Value& rows = contents.value["UpdateItems"];
    if (!rows.isArray() || rows.size() != kUpdateItemCount) {
        return Refuse(why,
                      path + ": \"UpdateItems\" must hold " + std::to_string(kUpdateItemCount) + " rows");
    }
    std::vector<UpdateItem> read;
    std::set<std::string> names;
    int applications = 0;
    for (const Json::Value& row : rows) {
        UpdateItem item;
        std::string reason;
        if (!ReadRow(row, item, reason)) {
            return Refuse(why, path + ": " + reason);
        }
        if (!names.insert(item.displayName).second) {
            return Refuse(why, path + ": the name " + item.displayName + " is used twice");
        }
        applications += item.IsFirmware() ? 0 : 1;
        read.push_back(std::move(item));
    }
    if (applications != 1) {
        return Refuse(why, path + ": exactly one row must be the application (type 0)");
    }
    items = std::move(read);
    return true;
}

std::vector<UpdateItem> BuildUpdateList(std::span<const UpdateItem> table,
                                        std::span<const AttachedInterface> attached,
                                        uint32_t installedVersion, std::string_view installedText) {
    std::vector<UpdateItem> rows;
    for (UpdateItem item : table) {
        item.version = 0;
        if (!item.IsFirmware()) {
            item.version = installedVersion;
            item.versionText = "V" + std::string(installedText);
        } else if (item.usbVendor != 0) {
            // Matched by identity, so a row never takes another model's release number.
            for (const AttachedInterface& interface : attached) {
                if (interface.vendorId == item.usbVendor && interface.productId == item.usbProduct) {
                    item.version = interface.releaseNumber;
                    break;
                }
            }
        }
        if (item.version != 0) {
            rows.push_back(std::move(item));
        }
    }
    return rows;
}

uint32_t InstalledVersionFrom(std::string_view dotted) {
    std::string digits;
    for (char c : dotted) {
        if (c >= '0' && c <= '9') {
            digits.push_back(c);
        } else if (c != '.') {
            return 0;
        }
    }
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return !digits.empty() && error == std::errc() && end == digits.data() + digits.size() ? value : 0;
}

std::string InstalledVersionText() {
    return VELKOR_VERSION;
}

uint32_t ReadInstalledVersion() {
    return InstalledVersionFrom(VELKOR_VERSION);
}

std::string BuildAppKey(const UpdateItem& item) {
    if (item.version == 0) {
        return "NULL";
    }
    return item.vendor + "_" + std::to_string(item.type) + "_" + item.productCode + "_" + item.productKind +
           "_" + std::to_string(item.keyNumber);
}

} // namespace velkor
