#include "sim/SimMacroMemory.h"

namespace velkor::sim {

namespace {

constexpr size_t kHeader = 16;
constexpr uint8_t kPlayOnce = 0x70;
constexpr uint8_t kPlayRepeated = 0x71;
constexpr uint8_t kGunKey = 0x72;

// A 16-bit little-endian field, or nothing past the end.
std::optional<size_t> Field(std::span<const uint8_t> bytes, size_t at) {
    if (at + 2 > bytes.size()) {
        return std::nullopt;
    }
    return size_t(bytes[at]) | size_t(bytes[at + 1]) << 8;
}

} // namespace

std::optional<std::vector<SimRecord>> ReadSimEventBlock(std::span<const uint8_t> memory) {
    if (memory.size() < kHeader || memory[0] != 0xAA || memory[1] != 0x55) {
        return std::nullopt;
    }
    const size_t total = *Field(memory, 2);
    const size_t count = *Field(memory, 4);
    if (total > memory.size() || kHeader + 2 * count > total) {
        return std::nullopt;
    }
    const std::span<const uint8_t> block = memory.first(total);
    std::vector<SimRecord> records;
    size_t expected = kHeader + 2 * count;
    for (size_t r = 0; r < count; ++r) {
        const std::optional<size_t> offset = Field(block, kHeader + 2 * r);
        if (!offset || *offset != expected) {
            return std::nullopt;
        }
        const std::optional<size_t> events = Field(block, *offset);
        if (!events || *offset + 4 + 4 * *events > total) {
            return std::nullopt;
        }
        SimRecord record(*events);
        for (size_t e = 0; e < *events; ++e) {
            const size_t at = *offset + 4 + 4 * e;
            record[e] = {block[at], block[at + 1], block[at + 2], block[at + 3]};
        }
        records.push_back(std::move(record));
        expected = *offset + 4 + 4 * *events;
    }
    if (expected != total) {
        return std::nullopt;
    }
    return records;
}

std::vector<SimEvent> SimPlayKey(std::span<const uint8_t> keyTable, std::span<const uint8_t> macroMemory,
                                 size_t position) {
    if (position * 3 + 3 > keyTable.size()) {
        return {};
    }
    const uint8_t kind = keyTable[position * 3];
    const uint8_t record = keyTable[position * 3 + 1];
    const uint8_t param = keyTable[position * 3 + 2];
    if (kind != kPlayOnce && kind != kPlayRepeated) {
        return {};
    }
    const std::optional<std::vector<SimRecord>> records = ReadSimEventBlock(macroMemory);
    if (!records || record >= records->size()) {
        return {};
    }
    const SimRecord& events = (*records)[record];
    const size_t times = kind == kPlayOnce ? 1 : param;
    std::vector<SimEvent> played;
    played.reserve(events.size() * times);
    for (size_t t = 0; t < times; ++t) {
        played.insert(played.end(), events.begin(), events.end());
    }
    return played;
}

std::vector<SimEvent> SimPlayGunKey(std::span<const uint8_t> keyTable, std::span<const uint8_t> recoilMemory,
                                    size_t position) {
    if (position * 3 + 3 > keyTable.size() || keyTable[position * 3] != kGunKey) {
        return {};
    }
    const std::optional<std::vector<SimRecord>> records = ReadSimEventBlock(recoilMemory);
    const size_t gun = keyTable[position * 3 + 1];
    if (!records || gun >= records->size()) {
        return {};
    }
    return (*records)[gun];
}

} // namespace velkor::sim
