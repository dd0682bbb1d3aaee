// Fuzzes the report descriptor parser and the report decoder.
//
// Input: two bytes of descriptor length (little endian), the descriptor, and
// the rest as one input report that every collection decodes. Besides the
// sanitizers, a few invariants of the parsed result are checked.
#include "transport/HidDescriptor.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

uint16_t LengthFor(const velkor::HidTopCollection& top, velkor::HidReportType type) {
    switch (type) {
    case velkor::HidReportType::Input:
        return top.inputReportLength;
    case velkor::HidReportType::Output:
        return top.outputReportLength;
    default:
        return top.featureReportLength;
    }
}

void Decode(const velkor::HidTopCollection& top, std::span<const uint8_t> report) {
    std::vector<uint16_t> on;
    for (const velkor::HidCapability& cap : top.inputButtonCaps) {
        if (GetUsages(top, cap.usagePage, report, on) == velkor::HidStatus::Success) {
            Check(on.size() <= MaxUsageListLength(top, cap.usagePage));
        }
    }
    for (const velkor::HidCapability& cap : top.inputValueCaps) {
        // Ranges can span a whole page; a few usages of each are enough.
        const uint32_t last = std::min<uint32_t>(cap.usageMax, cap.usageMin + 8u);
        for (uint32_t usage = cap.usageMin; usage <= last; ++usage) {
            uint32_t raw = 0;
            int32_t scaled = 0;
            GetUsageValue(top, cap.usagePage, static_cast<uint16_t>(usage), report, raw);
            GetScaledUsageValue(top, cap.usagePage, static_cast<uint16_t>(usage), report, scaled);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const size_t wanted = static_cast<size_t>(data[0]) | (static_cast<size_t>(data[1]) << 8);
    const std::span<const uint8_t> rest(data + 2, size - 2);
    const size_t length = std::min(wanted, rest.size());
    velkor::HidReportDescriptor parsed;
    const velkor::HidParseResult result = velkor::ParseReportDescriptor(rest.first(length), parsed);
    if (!result) {
        Check(parsed.collections.empty());
        Check(result.offset <= length);
        Check(!velkor::DescribeParseResult(result).empty());
        return 0;
    }
    Check(!parsed.collections.empty());
    for (const velkor::HidTopCollection& top : parsed.collections) {
        // Every field lies inside its report's stated length.
        for (const velkor::HidField& field : top.fields) {
            const uint64_t endBit =
                uint64_t{field.bitOffset} + uint64_t{field.reportSize} * field.reportCount;
            const uint16_t reportLength = LengthFor(top, field.type);
            Check(reportLength >= 1 && (endBit + 7) / 8 <= reportLength - 1u);
            Check(field.isRange || field.usages.size() <= velkor::kMaxReportCount);
            Check(field.usagePages.size() == field.usages.size());
        }
        Decode(top, rest.subspan(length));
    }
    return 0;
}
