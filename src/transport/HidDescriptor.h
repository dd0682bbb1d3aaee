#pragma once
// HID report descriptor parser and report decoder.
//
// The parser turns a report descriptor into its top-level collections, each
// with the main items (fields) of its reports, the capabilities a HID stack
// reports for it, and the report lengths. Lengths follow the Windows
// convention that the rest of the system relies on: one report ID byte (0 when
// the device does not number its reports) plus the longest report's bytes.
//
// Everything here is pure computation on bytes: no OS calls, safe on any
// input (a malformed descriptor is refused, never read out of bounds).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velkor {

enum class HidReportType : uint8_t { Input = 0, Output = 1, Feature = 2 };

// One Input, Output or Feature main item with the state that was in force.
struct HidField {
    HidReportType type = HidReportType::Input;
    uint8_t reportId = 0;             // 0 when the descriptor has no report IDs
    uint16_t usagePage = 0;           // of the range or variable run; an array's first usage's page
    bool isConstant = false;          // padding
    bool isArray = false;             // selector array (Data,Array) rather than Data,Variable
    bool isRange = false;             // usages given as Usage Minimum / Usage Maximum
    uint16_t usageMin = 0;            // range bounds, or the first listed usage
    uint16_t usageMax = 0;            // range bound, or the last listed usage
    std::vector<uint16_t> usages;     // listed usages (local Usage items), in order; empty for a range
    std::vector<uint16_t> usagePages; // the page of each listed usage (an array's list may span pages)
    uint32_t bitOffset = 0;           // within the report, not counting the report ID byte
    uint16_t reportSize = 0;          // bits per element
    uint16_t reportCount = 0;         // elements
    // As the kernel reads them: a maximum is unsigned when its minimum is not
    // negative, so that 0..0xFFFFFFFF stays that range (a 32-bit type would
    // turn it into 0..-1).
    int64_t logicalMin = 0;
    int64_t logicalMax = 0;
    int64_t physicalMin = 0;
    int64_t physicalMax = 0;
    bool isButton = false; // arrays and 1-bit variables are buttons, like a Windows HID stack

    // The page of listed usage `index` (the field's page for a range or an empty list).
    uint16_t PageAt(size_t index) const { return index < usagePages.size() ? usagePages[index] : usagePage; }
    // Some usage of the field is on `page`.
    bool HasPage(uint16_t page) const {
        return usagePage == page || std::find(usagePages.begin(), usagePages.end(), page) != usagePages.end();
    }
};

// Button or value capability (the HidP_*Caps equivalent the system needs).
struct HidCapability {
    uint16_t usagePage = 0;
    uint8_t reportId = 0;
    bool isRange = false;
    uint16_t usageMin = 0; // the single usage when not a range
    uint16_t usageMax = 0;
};

struct HidTopCollection {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    std::vector<HidField> fields;
    std::vector<uint8_t> inputReportIds; // sorted, unique (contains 0 when unnumbered)
    // Byte lengths including the report ID byte; 0 when the collection has no report of that type.
    uint16_t inputReportLength = 0;
    uint16_t outputReportLength = 0;
    uint16_t featureReportLength = 0;
    std::vector<HidCapability> inputButtonCaps;
    std::vector<HidCapability> inputValueCaps;
};

struct HidReportDescriptor {
    bool usesReportIds = false;
    std::vector<HidTopCollection> collections; // in descriptor order; collection number = index + 1
    // Main items outside any Application collection: in their reports' layout
    // (as the kernel keeps them), in no collection.
    std::vector<HidField> strayFields;
};

// Largest descriptor accepted (the kernel's HID_MAX_DESCRIPTOR_SIZE).
constexpr size_t kMaxReportDescriptorSize = 4096;
// Most elements in one main item, and most usages before one (the kernel's
// HID_MAX_USAGES): touchscreens declare vendor reports of several thousand bytes.
constexpr uint32_t kMaxReportCount = 12288;
// The widest element that decodes to a value (bits).
constexpr uint32_t kMaxValueBits = 32;

// Why a descriptor was refused.
enum class HidDescriptorError : uint8_t {
    None = 0,
    TooLong,                 // longer than kMaxReportDescriptorSize
    TruncatedItem,           // an item runs past the end
    EndWithoutCollection,    // End Collection with no collection open
    UnclosedCollection,      // the descriptor ends inside a collection
    CollectionTooDeep,       // collections nested past 32
    PushOverflow,            // Push past 16 saved states
    PopUnderflow,            // Pop with nothing pushed
    ReportSizeTooLarge,      // Report Size over 256 bits
    ReportCountTooLarge,     // Report Count over kMaxReportCount
    BadReportId,             // Report ID 0 (reserved) or past 255
    BadUsageRange,           // Usage Minimum above Usage Maximum, or bounds on two pages
    TooManyUsages,           // over kMaxReportCount usages before one main item
    ReportTooLong,           // a report past 16 KiB
    SelectorTooWide,         // an array selector over 32 bits
    NoApplicationCollection, // nothing at top level to open
};

struct HidParseResult {
    HidDescriptorError error = HidDescriptorError::None;
    size_t offset = 0;  // byte offset of the refused item; the descriptor's length when its end is at fault
    uint32_t value = 0; // the refused item's data (the descriptor's length for TooLong)
    explicit operator bool() const { return error == HidDescriptorError::None; }
};

// One line for logs and traces, e.g. "report count 12289 over the limit of
// 12288 (item at byte 18)"; "accepted" for a success.
std::string DescribeParseResult(const HidParseResult& result);

// Parses a report descriptor. On a malformed descriptor (truncated item,
// unbalanced collections, a push/pop underflow, a report size or count past the
// limits, nothing at top level) the result says why and where, and `out` is
// left empty. Top-level collections are the Application collections at depth
// 0; main items outside them still take their bits in the report but belong to
// no collection. Bit offsets run per (report type, report ID) over the whole
// descriptor. Constant main items are padding: they count in the lengths but
// give no capability and decode to nothing.
//
// Usage pages bind as the kernel binds them: a 32-bit usage carries its page in
// its high half; a shorter one takes the Usage Page in force when it is read.
// A Usage Page set after the last usages of a main item also applies to the
// short usages before it, back to the first one already on that page, so
// "Usage, Usage Page, Input" puts the usage on the later page while
// "Usage Page A, usages, Usage Page B, usages, Input" keeps each run on its own.
HidParseResult ParseReportDescriptor(std::span<const uint8_t> descriptor, HidReportDescriptor& out);

// True when `reportId` is one of the collection's input report IDs.
bool CollectionHasInputReport(const HidTopCollection& collection, uint8_t reportId);

// Decoding of one input report (byte 0 = report ID, 0 for unnumbered reports).
// Mirrors HidP_GetUsages / HidP_GetUsageValue / HidP_GetScaledUsageValue.
enum class HidStatus : int32_t {
    Success = 0,
    UsageNotFound = 1,   // no field of that page/usage in this report
    ReportTooShort = 2,  // the report is shorter than the fields need
    BadLogicalRange = 3, // scaled value asked for a field without a usable physical range
    IncompatibleReportId = 4,
    ValueTooWide = 5,    // the field is wider than 32 bits
    ValueOutOfRange = 6, // scaled value asked for a raw value outside the logical range
};

// The longest usage list GetUsages can return for `usagePage` in input reports
// (0 = every page).
size_t MaxUsageListLength(const HidTopCollection& collection, uint16_t usagePage);

// Every decoding call needs byte 0 to be one of the collection's input report
// IDs (else IncompatibleReportId) and the report to hold the fields it reads
// (else ReportTooShort); constant (padding) fields are never decoded.

// Usages of `usagePage` that are on in `report`, in report order: the set bits
// of 1-bit variable fields, and the selections of array fields (an element's
// value v in [logicalMin, logicalMax] selects usage usageMin + (v - logicalMin)
// of a range, or usages[v - logicalMin] of a list when that usage is on
// `usagePage`; 0 and out-of-range values select nothing). UsageNotFound when
// no button field with a usage of that page is in the report.
HidStatus GetUsages(const HidTopCollection& collection, uint16_t usagePage, std::span<const uint8_t> report,
                    std::vector<uint16_t>& usagesOn);

// The raw (unsigned, not sign-extended) value of the first element with that
// usage among the report's value fields. ValueTooWide for elements over 32 bits.
HidStatus GetUsageValue(const HidTopCollection& collection, uint16_t usagePage, uint16_t usage,
                        std::span<const uint8_t> report, uint32_t& value);

// The value scaled from the logical to the physical range (the logical range
// when no physical range is given), signed when the logical minimum is.
// BadLogicalRange for an empty range, ValueOutOfRange for a raw value outside
// the logical range (often a "null" reading). Exact for any 32-bit ranges.
HidStatus GetScaledUsageValue(const HidTopCollection& collection, uint16_t usagePage, uint16_t usage,
                              std::span<const uint8_t> report, int32_t& value);

} // namespace velkor
