#pragma once
// The update item table and what is built from it: the four rows the update
// server knows (three firmware rows and the application), the list of rows a
// settings window shows, the installed version and the application key.
//
// The table ships as DefaultData/update.json:
//   {"UpdateItems": [{"type": 1, "key": 1, "vendor": "...", "product": "...",
//                     "kind": "...", "name": "MS", "usb": "320F:7070"}, ...]}
// "type" 0 is the application, 1 and 2 device firmware; "name" is the row's
// display name (a language key, also the name of its download); "usb" names
// the vendor:product whose command interface's release number is a firmware
// row's version ("" for none). Pure functions; any thread.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

inline constexpr size_t kUpdateItemCount = 4;
inline constexpr const char* kUpdateItemsFileName = "update.json";
inline constexpr int kUpdateTypeApplication = 0;

struct UpdateItem {
    int type = 0;
    uint32_t keyNumber = 0;
    uint32_t version = 0; // 0 until filled at run time
    std::string vendor;
    std::string productCode;
    std::string productKind;
    std::string displayName;
    std::string versionText; // the application row's version as shown ("V0.1.0")
    uint16_t usbVendor = 0;  // firmware rows: whose release number is the version; 0: none
    uint16_t usbProduct = 0;

    bool IsFirmware() const { return type != kUpdateTypeApplication; }
};

// The command interface of an attached device, as the update list needs it.
struct AttachedInterface {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t releaseNumber = 0;
};

// Reads the table from `path`. False with the reason when the file is missing
// or damaged, or a row breaks the rules (exactly four rows, one of them the
// application, types 0..2, unique display names that are plain file names,
// "usb" only on firmware rows).
bool ReadUpdateItems(const std::string& path, std::vector<UpdateItem>& items, std::string* why = nullptr);

// The rows a settings window gets, in table order: each firmware row takes the
// release number of the attached interface with its vendor:product (the first
// such), the application row `installedVersion` and the text "V" +
// `installedText`. Rows whose version stays 0 are left out.
std::vector<UpdateItem> BuildUpdateList(std::span<const UpdateItem> table,
                                        std::span<const AttachedInterface> attached,
                                        uint32_t installedVersion, std::string_view installedText);

// "0.1.0" gives 10: the digits with the dots removed, read as a decimal
// number. 0 for a text that is empty, holds anything but digits and dots, or
// does not fit 32 bits.
uint32_t InstalledVersionFrom(std::string_view dotted);
// This build's version ("0.1.0") and its number.
std::string InstalledVersionText();
uint32_t ReadInstalledVersion();

// vendor "_" type "_" product code "_" product kind "_" key number, or "NULL"
// when the row's version is 0.
std::string BuildAppKey(const UpdateItem& item);

} // namespace velkor
