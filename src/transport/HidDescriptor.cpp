#include "transport/HidDescriptor.h"

#include <algorithm>
#include <array>
#include <limits>

namespace velkor {
namespace {

using Error = HidDescriptorError;

constexpr uint32_t kMaxReportSize = 256;             // bits per element, as the kernel allows
constexpr uint32_t kMaxReportBits = (16384 - 1) * 8; // a report and its ID byte fit a 16 KiB buffer
constexpr size_t kMaxUsages = kMaxReportCount;       // usages before one main item, ranges expanded
constexpr size_t kMaxGlobalStack = 16;
constexpr size_t kMaxCollectionDepth = 32;
constexpr size_t kReportTypes = 3;

enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2, kReserved = 3 };
enum MainTag : uint8_t {
    kInput = 0x8,
    kOutput = 0x9,
    kCollection = 0xA,
    kFeature = 0xB,
    kEndCollection = 0xC
};
enum GlobalTag : uint8_t {
    kUsagePage = 0x0,
    kLogicalMin = 0x1,
    kLogicalMax = 0x2,
    kPhysicalMin = 0x3,
    kPhysicalMax = 0x4,
    kReportSizeTag = 0x7,
    kReportIdTag = 0x8,
    kReportCountTag = 0x9,
    kPush = 0xA,
    kPop = 0xB,
};
enum LocalTag : uint8_t { kUsage = 0x0, kUsageMin = 0x1, kUsageMax = 0x2 };
constexpr uint8_t kApplicationCollection = 0x01;
constexpr uint8_t kLongItemPrefix = 0xFE;

struct Item {
    uint8_t type = 0;
    uint8_t tag = 0;
    uint8_t size = 0; // data bytes: 0, 1, 2 or 4
    uint32_t udata = 0;
    int32_t sdata = 0; // sign-extended from the item's size
};

struct GlobalState {
    uint16_t usagePage = 0;
    int64_t logicalMin = 0;
    int64_t logicalMax = 0;
    int64_t physicalMin = 0;
    int64_t physicalMax = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint8_t reportId = 0;
};

// A usage or usage range with the page it was bound to when read.
struct UsageEntry {
    bool extended = false; // a 32-bit item: its page is its own, never rebound
    uint16_t page = 0;
    uint16_t min = 0;
    uint16_t max = 0;
};

struct LocalState {
    std::vector<UsageEntry> entries;
    bool haveMin = false;
    bool haveMax = false;
    UsageEntry min;
    UsageEntry max;
    void Clear() { *this = LocalState{}; }
};

UsageEntry MakeUsage(const Item& item, uint16_t pageInForce) {
    UsageEntry entry;
    entry.min = entry.max = static_cast<uint16_t>(item.udata & 0xFFFF);
    entry.extended = item.size == 4;
    entry.page = entry.extended ? static_cast<uint16_t>(item.udata >> 16) : pageInForce;
    return entry;
}

// The Usage Page in force at a main item also takes the short usages read
// before it, back to the first one already on that page: it may follow the
// usages it names ("Usage, Usage Page, Input"), yet a page change between two
// runs of usages must not move the first run.
void BindTrailingUsages(std::vector<UsageEntry>& entries, uint16_t page) {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (it->extended) {
            continue;
        }
        if (it->page == page) {
            break;
        }
        it->page = page;
    }
}

// Reads one item at `pos`; false when it runs past the end.
bool ReadItem(std::span<const uint8_t> data, size_t& pos, Item& item, bool& isLong) {
    const uint8_t prefix = data[pos];
    if (prefix == kLongItemPrefix) {
        if (data.size() - pos < 3) {
            return false;
        }
        const size_t length = data[pos + 1];
        if (data.size() - pos - 3 < length) {
            return false;
        }
        pos += 3 + length;
        isLong = true;
        return true;
    }
    isLong = false;
    const uint8_t sizeCode = prefix & 0x03;
    item.size = sizeCode == 3 ? 4 : sizeCode;
    item.type = (prefix >> 2) & 0x03;
    item.tag = prefix >> 4;
    if (data.size() - pos - 1 < item.size) {
        return false;
    }
    uint32_t value = 0;
    for (size_t i = 0; i < item.size; ++i) {
        value |= static_cast<uint32_t>(data[pos + 1 + i]) << (8 * i);
    }
    item.udata = value;
    switch (item.size) {
    case 1:
        item.sdata = static_cast<int8_t>(value);
        break;
    case 2:
        item.sdata = static_cast<int16_t>(value);
        break;
    case 4:
        item.sdata = static_cast<int32_t>(value);
        break;
    default:
        item.sdata = 0;
        break;
    }
    pos += 1 + item.size;
    return true;
}

class Parser {
public:
    HidParseResult Run(std::span<const uint8_t> descriptor, HidReportDescriptor& out);

private:
    Error OnMain(const Item& item);
    Error OnGlobal(const Item& item);
    Error OnLocal(const Item& item);
    std::vector<UsageEntry> MainItemUsages() const;
    Error AddFields(HidReportType type, uint32_t flags, uint32_t bitOffset);
    Error AddVariableRuns(HidField field, const std::vector<UsageEntry>& listed);
    void Finish(HidReportDescriptor& out);
    // Where a main item's fields go: its Application collection, or the stray ones.
    std::vector<HidField>& FieldsInForce() {
        return m_currentTop >= 0 ? m_collections[static_cast<size_t>(m_currentTop)].fields : m_stray;
    }

    GlobalState m_global;
    std::vector<GlobalState> m_stack;
    LocalState m_local;
    size_t m_depth = 0;
    int m_currentTop = -1; // index of the collection that owns main items, -1 outside any
    bool m_usesReportIds = false;
    std::vector<HidTopCollection> m_collections;
    std::vector<HidField> m_stray; // main items outside any Application collection
    std::array<std::array<uint32_t, 256>, kReportTypes> m_bits{}; // bits per (type, report ID)
};

HidParseResult Parser::Run(std::span<const uint8_t> descriptor, HidReportDescriptor& out) {
    if (descriptor.size() > kMaxReportDescriptorSize) {
        return {Error::TooLong, 0, static_cast<uint32_t>(std::min<size_t>(descriptor.size(), UINT32_MAX))};
    }
    size_t pos = 0;
    while (pos < descriptor.size()) {
        const size_t start = pos;
        Item item;
        bool isLong = false;
        if (!ReadItem(descriptor, pos, item, isLong)) {
            return {Error::TruncatedItem, start, descriptor[start]};
        }
        if (isLong) {
            continue; // no long items are defined; skipping them is what the HID rules ask
        }
        Error error = Error::None;
        switch (item.type) {
        case kMain:
            error = OnMain(item);
            break;
        case kGlobal:
            error = OnGlobal(item);
            break;
        case kLocal:
            error = OnLocal(item);
            break;
        default:
            break; // reserved item type: ignored
        }
        if (error != Error::None) {
            return {error, start, item.udata};
        }
    }
    if (m_depth != 0) {
        return {Error::UnclosedCollection, descriptor.size(), static_cast<uint32_t>(m_depth)};
    }
    if (m_collections.empty()) {
        return {Error::NoApplicationCollection, descriptor.size(), 0};
    }
    Finish(out);
    return {};
}

Error Parser::OnGlobal(const Item& item) {
    switch (item.tag) {
    case kUsagePage:
        m_global.usagePage = static_cast<uint16_t>(item.udata & 0xFFFF);
        break;
    case kLogicalMin:
        m_global.logicalMin = item.sdata;
        break;
    case kLogicalMax:
        // Descriptors often write 255 as a single 0xFF: read it unsigned unless
        // the minimum is negative (what the kernel does too).
        m_global.logicalMax = m_global.logicalMin < 0 ? int64_t{item.sdata} : int64_t{item.udata};
        break;
    case kPhysicalMin:
        m_global.physicalMin = item.sdata;
        break;
    case kPhysicalMax:
        m_global.physicalMax = m_global.physicalMin < 0 ? int64_t{item.sdata} : int64_t{item.udata};
        break;
    case kReportSizeTag:
        if (item.udata > kMaxReportSize) {
            return Error::ReportSizeTooLarge;
        }
        m_global.reportSize = item.udata;
        break;
    case kReportCountTag:
        if (item.udata > kMaxReportCount) {
            return Error::ReportCountTooLarge;
        }
        m_global.reportCount = item.udata;
        break;
    case kReportIdTag:
        if (item.udata == 0 || item.udata > 0xFF) {
            return Error::BadReportId; // report ID 0 is reserved
        }
        m_global.reportId = static_cast<uint8_t>(item.udata);
        m_usesReportIds = true;
        break;
    case kPush:
        if (m_stack.size() >= kMaxGlobalStack) {
            return Error::PushOverflow;
        }
        m_stack.push_back(m_global);
        break;
    case kPop:
        if (m_stack.empty()) {
            return Error::PopUnderflow;
        }
        m_global = m_stack.back();
        m_stack.pop_back();
        break;
    default:
        break; // unit, unit exponent and reserved tags do not matter here
    }
    return Error::None;
}

Error Parser::OnLocal(const Item& item) {
    if (m_local.entries.size() >= kMaxUsages) {
        return Error::TooManyUsages;
    }
    switch (item.tag) {
    case kUsage:
        m_local.entries.push_back(MakeUsage(item, m_global.usagePage));
        break;
    case kUsageMin:
        m_local.min = MakeUsage(item, m_global.usagePage);
        m_local.haveMin = true;
        break;
    case kUsageMax:
        m_local.max = MakeUsage(item, m_global.usagePage);
        m_local.haveMax = true;
        break;
    default:
        return Error::None; // designators, strings, delimiters carry nothing we use
    }
    if (m_local.haveMin && m_local.haveMax) {
        // The range takes the page of its 32-bit bound if it has one, else the
        // page in force as it completes (the kernel's: at Usage Maximum).
        UsageEntry range = m_local.min;
        range.max = m_local.max.min;
        if (m_local.max.extended) {
            if (range.extended && range.page != m_local.max.page) {
                return Error::BadUsageRange;
            }
            range.extended = true;
            range.page = m_local.max.page;
        } else if (!range.extended) {
            range.page = m_global.usagePage;
        }
        if (range.min > range.max) {
            return Error::BadUsageRange;
        }
        m_local.entries.push_back(range);
        m_local.haveMin = m_local.haveMax = false;
    }
    return Error::None;
}

// The usages of the main item being read, pages bound; a lone Usage Minimum or
// Maximum counts as a single usage.
std::vector<UsageEntry> Parser::MainItemUsages() const {
    std::vector<UsageEntry> entries = m_local.entries;
    if (m_local.haveMin) {
        entries.push_back(m_local.min);
    }
    if (m_local.haveMax) {
        entries.push_back(m_local.max);
    }
    BindTrailingUsages(entries, m_global.usagePage);
    return entries;
}

Error Parser::OnMain(const Item& item) {
    Error error = Error::None;
    switch (item.tag) {
    case kCollection:
        if (m_depth >= kMaxCollectionDepth) {
            return Error::CollectionTooDeep;
        }
        if (m_depth == 0) {
            m_currentTop = -1;
            if ((item.udata & 0xFF) == kApplicationCollection) {
                HidTopCollection top;
                const std::vector<UsageEntry> usages = MainItemUsages();
                top.usagePage = usages.empty() ? m_global.usagePage : usages.front().page;
                top.usage = usages.empty() ? 0 : usages.front().min;
                m_collections.push_back(std::move(top));
                m_currentTop = static_cast<int>(m_collections.size()) - 1;
            }
        }
        ++m_depth;
        break;
    case kEndCollection:
        if (m_depth == 0) {
            return Error::EndWithoutCollection;
        }
        if (--m_depth == 0) {
            m_currentTop = -1;
        }
        break;
    case kInput:
    case kOutput:
    case kFeature: {
        const HidReportType type = item.tag == kInput    ? HidReportType::Input
                                   : item.tag == kOutput ? HidReportType::Output
                                                         : HidReportType::Feature;
        uint32_t& bits = m_bits[static_cast<size_t>(type)][m_global.reportId];
        const uint32_t fieldBits = m_global.reportSize * m_global.reportCount; // both bounded: no overflow
        if (fieldBits > kMaxReportBits - bits) {
            return Error::ReportTooLong;
        }
        const uint32_t offset = bits;
        bits += fieldBits;
        if (m_global.reportCount > 0 && m_global.reportSize > 0) {
            error = AddFields(type, item.udata, offset);
        }
        break;
    }
    default:
        break; // reserved main tags
    }
    m_local.Clear(); // local items end at every main item
    return error;
}

Error Parser::AddFields(HidReportType type, uint32_t flags, uint32_t bitOffset) {
    HidField field;
    field.type = type;
    field.reportId = m_global.reportId;
    field.isConstant = (flags & 0x01) != 0;
    field.isArray = (flags & 0x02) == 0;
    field.bitOffset = bitOffset;
    field.reportSize = static_cast<uint16_t>(m_global.reportSize);
    field.reportCount = static_cast<uint16_t>(m_global.reportCount);
    field.logicalMin = m_global.logicalMin;
    field.logicalMax = m_global.logicalMax;
    field.physicalMin = m_global.physicalMin;
    field.physicalMax = m_global.physicalMax;
    field.isButton = field.isArray || field.reportSize == 1;
    if (field.isArray && !field.isConstant && field.reportSize > kMaxValueBits) {
        return Error::SelectorTooWide; // an array selector wider than 32 bits has no meaning
    }

    const std::vector<UsageEntry> entries = MainItemUsages();
    std::vector<HidField>& fields = FieldsInForce();
    field.usagePage = entries.empty() ? m_global.usagePage : entries.front().page;
    if (entries.size() == 1 && entries.front().min != entries.front().max) {
        field.isRange = true;
        field.usageMin = entries.front().min;
        field.usageMax = entries.front().max;
        fields.push_back(std::move(field));
        return Error::None;
    }

    // Several entries, or single usages: list them, expanding any range.
    std::vector<UsageEntry> listed;
    for (const UsageEntry& entry : entries) {
        for (uint32_t u = entry.min; u <= entry.max; ++u) {
            if (listed.size() >= kMaxUsages) {
                return Error::TooManyUsages;
            }
            listed.push_back(
                {entry.extended, entry.page, static_cast<uint16_t>(u), static_cast<uint16_t>(u)});
        }
    }
    if (!field.isArray && listed.size() > 1) {
        return AddVariableRuns(std::move(field), listed);
    }
    // An array selects by index into its list, whatever page each usage is on.
    for (const UsageEntry& entry : listed) {
        field.usages.push_back(entry.min);
        field.usagePages.push_back(entry.page);
    }
    if (!field.usages.empty()) {
        field.usageMin = field.usages.front();
        field.usageMax = field.usages.back();
    }
    fields.push_back(std::move(field));
    return Error::None;
}

// Variable items: element i takes usage i, the last one repeating. Runs of
// elements on one usage page become one field each.
Error Parser::AddVariableRuns(HidField field, const std::vector<UsageEntry>& listed) {
    std::vector<HidField>& fields = FieldsInForce();
    auto usageAt = [&](uint32_t i) -> const UsageEntry& {
        return listed[std::min<size_t>(i, listed.size() - 1)];
    };
    uint32_t start = 0;
    while (start < field.reportCount) {
        const uint16_t page = usageAt(start).page;
        uint32_t end = start + 1;
        while (end < field.reportCount && usageAt(end).page == page) {
            ++end;
        }
        HidField run = field;
        run.usagePage = page;
        run.bitOffset = field.bitOffset + start * field.reportSize;
        run.reportCount = static_cast<uint16_t>(end - start);
        const uint32_t listedEnd = std::min<uint32_t>(end, static_cast<uint32_t>(listed.size()));
        for (uint32_t i = start; i < std::max(listedEnd, start + 1); ++i) {
            run.usages.push_back(usageAt(i).min);
            run.usagePages.push_back(page);
        }
        run.usageMin = run.usages.front();
        run.usageMax = run.usages.back();
        fields.push_back(std::move(run));
        start = end;
    }
    return Error::None;
}

void Parser::Finish(HidReportDescriptor& out) {
    out.strayFields = std::move(m_stray);
    for (HidTopCollection& top : m_collections) {
        std::array<uint32_t, kReportTypes> longestBits{};
        std::array<bool, kReportTypes> present{};
        for (const HidField& field : top.fields) {
            const size_t type = static_cast<size_t>(field.type);
            present[type] = true;
            longestBits[type] = std::max(longestBits[type], m_bits[type][field.reportId]);
            if (field.type != HidReportType::Input) {
                continue;
            }
            top.inputReportIds.push_back(field.reportId);
            if (field.isConstant) {
                continue;
            }
            std::vector<HidCapability>& caps = field.isButton ? top.inputButtonCaps : top.inputValueCaps;
            if (field.isRange) {
                caps.push_back({field.usagePage, field.reportId, true, field.usageMin, field.usageMax});
            } else if (field.usages.empty()) {
                caps.push_back({field.usagePage, field.reportId, false, 0, 0});
            } else {
                const size_t count = field.isArray ? field.usages.size()
                                                   : std::min<size_t>(field.usages.size(), field.reportCount);
                for (size_t i = 0; i < count; ++i) {
                    caps.push_back(
                        {field.PageAt(i), field.reportId, false, field.usages[i], field.usages[i]});
                }
            }
        }
        std::sort(top.inputReportIds.begin(), top.inputReportIds.end());
        top.inputReportIds.erase(std::unique(top.inputReportIds.begin(), top.inputReportIds.end()),
                                 top.inputReportIds.end());
        auto length = [&](HidReportType type) -> uint16_t {
            const size_t t = static_cast<size_t>(type);
            return present[t] ? static_cast<uint16_t>(1 + (longestBits[t] + 7) / 8) : 0;
        };
        top.inputReportLength = length(HidReportType::Input);
        top.outputReportLength = length(HidReportType::Output);
        top.featureReportLength = length(HidReportType::Feature);
    }
    out.usesReportIds = m_usesReportIds;
    out.collections = std::move(m_collections);
}

} // namespace

HidParseResult ParseReportDescriptor(std::span<const uint8_t> descriptor, HidReportDescriptor& out) {
    out = HidReportDescriptor{};
    Parser parser;
    const HidParseResult result = parser.Run(descriptor, out);
    if (!result) {
        out = HidReportDescriptor{};
    }
    return result;
}

std::string DescribeParseResult(const HidParseResult& result) {
    const std::string value = std::to_string(result.value);
    std::string text;
    switch (result.error) {
    case Error::None:
        return "accepted";
    case Error::TooLong:
        return value + " bytes, over the limit of " + std::to_string(kMaxReportDescriptorSize);
    case Error::TruncatedItem:
        text = "item runs past the end";
        break;
    case Error::EndWithoutCollection:
        text = "End Collection without a collection";
        break;
    case Error::UnclosedCollection:
        return value + " collection(s) never closed";
    case Error::CollectionTooDeep:
        text = "collections nested past " + std::to_string(kMaxCollectionDepth);
        break;
    case Error::PushOverflow:
        text = "Push past " + std::to_string(kMaxGlobalStack) + " saved states";
        break;
    case Error::PopUnderflow:
        text = "Pop with nothing pushed";
        break;
    case Error::ReportSizeTooLarge:
        text = "report size " + value + " over the limit of " + std::to_string(kMaxReportSize);
        break;
    case Error::ReportCountTooLarge:
        text = "report count " + value + " over the limit of " + std::to_string(kMaxReportCount);
        break;
    case Error::BadReportId:
        text = "report ID " + value + " out of 1..255";
        break;
    case Error::BadUsageRange:
        text = "usage range inverted or on two pages";
        break;
    case Error::TooManyUsages:
        text = "more than " + std::to_string(kMaxUsages) + " usages for one item";
        break;
    case Error::ReportTooLong:
        text = "report longer than " + std::to_string(kMaxReportBits / 8) + " bytes";
        break;
    case Error::SelectorTooWide:
        text = "array selector wider than " + std::to_string(kMaxValueBits) + " bits";
        break;
    case Error::NoApplicationCollection:
        return "no application collection";
    }
    return text + " (item at byte " + std::to_string(result.offset) + ")";
}

} // namespace velkor
