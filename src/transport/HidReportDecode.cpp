// Decoding input reports against a parsed descriptor: the button usages that
// are on and the values of value usages, raw and scaled.
#include "transport/HidDescriptor.h"

#include <algorithm>
#include <limits>

namespace velkor {
namespace {

// ---- Decoding -------------------------------------------------------------

// Bits [bitOffset, bitOffset + size) of the report data (after the ID byte),
// least significant bit first; size <= 32. The caller checked the bounds.
uint32_t ExtractBits(std::span<const uint8_t> data, uint32_t bitOffset, uint32_t size) {
    uint64_t value = 0;
    const size_t first = bitOffset / 8;
    const size_t last = (bitOffset + size + 7) / 8; // one past
    for (size_t i = first; i < last; ++i) {
        value |= static_cast<uint64_t>(data[i]) << (8 * (i - first));
    }
    value >>= bitOffset % 8;
    return size >= 32 ? static_cast<uint32_t>(value)
                      : static_cast<uint32_t>(value & ((uint64_t{1} << size) - 1));
}

int64_t SignExtend(uint32_t value, uint32_t size) {
    if (size == 0 || size >= 32) {
        return static_cast<int32_t>(value);
    }
    const uint32_t sign = uint32_t{1} << (size - 1);
    return static_cast<int64_t>(value ^ sign) - static_cast<int64_t>(sign);
}

// Element `index` of a field, raw, from the report data (after the ID byte).
uint32_t RawElement(const HidField& field, std::span<const uint8_t> data, uint32_t index) {
    return ExtractBits(data, field.bitOffset + index * field.reportSize, field.reportSize);
}

// A raw element as the field's logical value: signed when the logical minimum is.
int64_t LogicalValue(const HidField& field, uint32_t raw) {
    return field.logicalMin < 0 ? SignExtend(raw, field.reportSize) : int64_t{raw};
}

// The usage of element `index` of a variable field: the HID rule is that the
// last usage applies to every element past the list.
uint16_t ElementUsage(const HidField& field, uint32_t index) {
    if (field.isRange) {
        return static_cast<uint16_t>(std::min<uint32_t>(field.usageMin + index, field.usageMax));
    }
    if (field.usages.empty()) {
        return 0;
    }
    return field.usages[std::min<size_t>(index, field.usages.size() - 1)];
}

bool FieldFits(const HidField& field, std::span<const uint8_t> data) {
    const uint64_t endBit = uint64_t{field.bitOffset} + uint64_t{field.reportSize} * field.reportCount;
    return (endBit + 7) / 8 <= data.size();
}

// Common checks of every decoding call; Success when the report may be searched.
HidStatus CheckReport(const HidTopCollection& collection, std::span<const uint8_t> report) {
    if (report.empty()) {
        return HidStatus::ReportTooShort;
    }
    if (!CollectionHasInputReport(collection, report[0])) {
        return HidStatus::IncompatibleReportId;
    }
    return HidStatus::Success;
}

bool IsInputData(const HidField& field, uint8_t reportId) {
    return field.type == HidReportType::Input && !field.isConstant && field.reportId == reportId;
}

// Finds the value field element for (page, usage) in the report's fields.
HidStatus FindValue(const HidTopCollection& collection, uint16_t usagePage, uint16_t usage,
                    std::span<const uint8_t> report, const HidField*& found, uint32_t& index) {
    HidStatus status = CheckReport(collection, report);
    if (status != HidStatus::Success) {
        return status;
    }
    for (const HidField& field : collection.fields) {
        if (!IsInputData(field, report[0]) || field.isButton || field.usagePage != usagePage) {
            continue;
        }
        for (uint32_t i = 0; i < field.reportCount; ++i) {
            if (ElementUsage(field, i) != usage) {
                continue;
            }
            if (!FieldFits(field, report.subspan(1))) {
                return HidStatus::ReportTooShort;
            }
            if (field.reportSize > kMaxValueBits) {
                return HidStatus::ValueTooWide;
            }
            found = &field;
            index = i;
            return HidStatus::Success;
        }
    }
    return HidStatus::UsageNotFound;
}

// physicalMin + (logical - logicalMin) * physicalSpan / logicalSpan, exactly:
// both spans reach 2^32 - 1, so their product needs more than 64 bits.
int64_t Scale(int64_t logical, int64_t logicalMin, int64_t logicalMax, int64_t physicalMin,
              int64_t physicalMax) {
    if (logicalMin == physicalMin && logicalMax == physicalMax) {
        return logical;
    }
    using Wide = __int128;
    const Wide product = Wide{logical - logicalMin} * Wide{physicalMax - physicalMin};
    return physicalMin + static_cast<int64_t>(product / Wide{logicalMax - logicalMin});
}

} // namespace

bool CollectionHasInputReport(const HidTopCollection& collection, uint8_t reportId) {
    return std::binary_search(collection.inputReportIds.begin(), collection.inputReportIds.end(), reportId);
}

size_t MaxUsageListLength(const HidTopCollection& collection, uint16_t usagePage) {
    size_t total = 0;
    for (const HidField& field : collection.fields) {
        if (field.type == HidReportType::Input && !field.isConstant && field.isButton &&
            (usagePage == 0 || field.HasPage(usagePage))) {
            total += field.reportCount;
        }
    }
    return total;
}

HidStatus GetUsages(const HidTopCollection& collection, uint16_t usagePage, std::span<const uint8_t> report,
                    std::vector<uint16_t>& usagesOn) {
    usagesOn.clear();
    HidStatus status = CheckReport(collection, report);
    if (status != HidStatus::Success) {
        return status;
    }
    const std::span<const uint8_t> data = report.subspan(1);
    bool found = false;
    for (const HidField& field : collection.fields) {
        if (!IsInputData(field, report[0]) || !field.isButton || !field.HasPage(usagePage)) {
            continue;
        }
        found = true;
        if (!FieldFits(field, data)) {
            usagesOn.clear();
            return HidStatus::ReportTooShort;
        }
        for (uint32_t i = 0; i < field.reportCount; ++i) {
            const uint32_t raw = RawElement(field, data, i);
            uint16_t usage = 0;
            if (!field.isArray) {
                usage = raw != 0 ? ElementUsage(field, i) : 0;
            } else {
                const int64_t value = LogicalValue(field, raw);
                if (value < field.logicalMin || value > field.logicalMax) {
                    continue; // no selection in this element
                }
                const int64_t index = value - field.logicalMin;
                if (field.isRange) {
                    if (index <= field.usageMax - field.usageMin) {
                        usage = static_cast<uint16_t>(field.usageMin + index);
                    }
                } else if (index < static_cast<int64_t>(field.usages.size()) &&
                           field.PageAt(static_cast<size_t>(index)) == usagePage) {
                    usage = field.usages[static_cast<size_t>(index)];
                }
            }
            if (usage != 0) {
                usagesOn.push_back(usage);
            }
        }
    }
    return found ? HidStatus::Success : HidStatus::UsageNotFound;
}

HidStatus GetUsageValue(const HidTopCollection& collection, uint16_t usagePage, uint16_t usage,
                        std::span<const uint8_t> report, uint32_t& value) {
    value = 0;
    const HidField* field = nullptr;
    uint32_t index = 0;
    HidStatus status = FindValue(collection, usagePage, usage, report, field, index);
    if (status == HidStatus::Success) {
        value = RawElement(*field, report.subspan(1), index);
    }
    return status;
}

HidStatus GetScaledUsageValue(const HidTopCollection& collection, uint16_t usagePage, uint16_t usage,
                              std::span<const uint8_t> report, int32_t& value) {
    value = 0;
    const HidField* field = nullptr;
    uint32_t index = 0;
    HidStatus status = FindValue(collection, usagePage, usage, report, field, index);
    if (status != HidStatus::Success) {
        return status;
    }
    const int64_t logicalMin = field->logicalMin;
    const int64_t logicalMax = field->logicalMax;
    int64_t physicalMin = field->physicalMin;
    int64_t physicalMax = field->physicalMax;
    if (physicalMin == 0 && physicalMax == 0) {
        // No physical range given: it equals the logical one.
        physicalMin = logicalMin;
        physicalMax = logicalMax;
    }
    if (logicalMin >= logicalMax || physicalMin >= physicalMax) {
        return HidStatus::BadLogicalRange;
    }
    const int64_t logical = LogicalValue(*field, RawElement(*field, report.subspan(1), index));
    if (logical < logicalMin || logical > logicalMax) {
        return HidStatus::ValueOutOfRange;
    }
    // Within the physical range, which is 32-bit: the clamp only guards that.
    value = static_cast<int32_t>(
        std::clamp<int64_t>(Scale(logical, logicalMin, logicalMax, physicalMin, physicalMax),
                            std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    return HidStatus::Success;
}

} // namespace velkor
