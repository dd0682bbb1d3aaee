#include "macros/MacroPlan.h"

#include "macros/MacroFiles.h"

#include <algorithm>

namespace velkor {

namespace {

constexpr std::array<std::uint8_t, 3> kNoFunction = {0, 0, 0};

std::vector<MacroInfoEntry> ReadIndex(const std::string& folder, const CJsonFileHelper& json) {
    const std::string path = JoinMacroPath(folder, kMacroIndexFileName);
    if (path.empty()) {
        return {};
    }
    return MacroIndexEntries(json.ReadJsonFile(path));
}

// The keys the device visits that have an entry and a position below N.
struct VisitedKey {
    std::size_t key;
    std::size_t position;
};
std::vector<VisitedKey> KeysToWrite(const MacroPlanInput& input) {
    std::vector<VisitedKey> keys;
    for (const auto& [key, position] : input.visited) {
        if (key < 0 || std::size_t(key) >= input.keys.size() || position == input.noPosition ||
            int(position) >= input.keyPositions) {
            continue; // no entry (a short list), not on this device, or past the table
        }
        keys.push_back({std::size_t(key), position});
    }
    return keys;
}

// The used-macro list and, per visited key, its device macro number (-1:
// the key plays no existing macro).
struct Numbering {
    std::vector<int> used;
    std::vector<int> number; // parallel to KeysToWrite
};
Numbering NumberMacros(const MacroPlanInput& input, const std::vector<VisitedKey>& keys, std::size_t count) {
    Numbering numbering;
    for (const VisitedKey& key : keys) {
        const KeyFunction& current = input.keys[key.key].current;
        int number = -1;
        if (IsMacro(current) && current.paramA < count) {
            const auto found = std::find(numbering.used.begin(), numbering.used.end(), int(current.paramA));
            number = int(found - numbering.used.begin());
            if (found == numbering.used.end()) {
                numbering.used.push_back(current.paramA);
            }
        }
        numbering.number.push_back(number);
    }
    return numbering;
}

void Put(KeyTableImage& table, std::size_t position, const std::array<std::uint8_t, 3>& triple) {
    std::copy(triple.begin(), triple.end(), table.begin() + std::ptrdiff_t(position * kDeviceKeySize));
}

// A function that would name a record the plan did not build goes as 00 00 00.
std::array<std::uint8_t, 3> Unnumbered(const KeyFunction& function) {
    return IsMacro(function) ? kNoFunction : function.ToTriple();
}

void BuildTables(const MacroPlanInput& input, const std::vector<VisitedKey>& keys, const Numbering& numbering,
                 MacroPlan& plan) {
    KeyTableImage base{};
    const std::size_t used = std::size_t(input.keyPositions) * kDeviceKeySize;
    std::copy_n(input.deviceTable.begin(), used, base.begin());
    // A macro function the device holds at a position no visited key writes
    // would name a record of the new block.
    for (std::size_t p = 0; p < std::size_t(input.keyPositions); ++p) {
        const std::optional<KeyFunction> at = ReadDeviceKey(base, p);
        if (at && IsMacro(*at)) {
            Put(base, p, kNoFunction);
        }
    }
    plan.finalTable = base;
    plan.guardTable = base;
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const KeyListEntry& entry = input.keys[keys[k].key];
        const std::size_t position = keys[k].position;
        if (!IsMacro(entry.current)) {
            Put(plan.finalTable, position, entry.current.ToTriple());
            Put(plan.guardTable, position, entry.current.ToTriple());
            continue;
        }
        Put(plan.guardTable, position, Unnumbered(entry.defaultFunction));
        if (numbering.number[k] < 0) {
            Put(plan.finalTable, position, Unnumbered(entry.defaultFunction)); // its macro is gone
            continue;
        }
        KeyFunction renumbered = entry.current;
        renumbered.paramA = std::uint8_t(numbering.number[k]);
        Put(plan.finalTable, position, renumbered.ToTriple());
    }
}

// Reads each listed macro's file once and builds the block from what was
// encoded; past the capacity it only counts.
void FillBlock(const std::string& folder, const std::vector<MacroInfoEntry>& index,
               const std::vector<int>& macros, const CJsonFileHelper& json, MacroPlan& plan) {
    plan.memory.needed = 0;
    plan.block.clear();
    if (macros.empty()) {
        return;
    }
    std::vector<std::vector<DeviceEvent>> records;
    records.reserve(macros.size());
    std::size_t events = 0;
    bool fits = true;
    for (const int m : macros) {
        const std::string guid = m >= 0 && std::size_t(m) < index.size() ? index[std::size_t(m)].guid : "";
        const std::string path = MacroFilePath(folder, guid);
        std::vector<DeviceEvent> encoded =
            path.empty() ? std::vector<DeviceEvent>{} : EncodeEvents(ReadMacroEvents(json, path));
        events += encoded.size();
        fits = fits && EventBlockSize(macros.size(), events) <= plan.memory.capacity;
        if (fits) {
            records.push_back(std::move(encoded));
        }
    }
    plan.memory.needed = EventBlockSize(macros.size(), events);
    if (!fits) {
        plan.status = MacroPlanStatus::TooLarge;
        plan.eventsToRemove =
            (plan.memory.needed - plan.memory.capacity + kDeviceEventSize - 1) / kDeviceEventSize;
        return;
    }
    // Within the capacity, which is below the 16-bit limit the builder checks.
    std::optional<std::vector<std::uint8_t>> block = BuildEventBlock(records);
    if (!block) {
        plan.status = MacroPlanStatus::TooLarge;
        plan.eventsToRemove =
            (plan.memory.needed - kMaxEventBlockSize + kDeviceEventSize - 1) / kDeviceEventSize;
        return;
    }
    plan.block = std::move(*block);
}

} // namespace

std::vector<int> ListUsedMacros(const MacroPlanInput& input, const CJsonFileHelper& json) {
    const std::vector<MacroInfoEntry> index = ReadIndex(input.macroFolder, json);
    return NumberMacros(input, KeysToWrite(input), index.size()).used;
}

std::vector<KeyFunction> SentKeyFunctions(const std::vector<KeyListEntry>& keys, std::size_t macroCount) {
    std::vector<int> used;
    std::vector<KeyFunction> sent;
    sent.reserve(keys.size());
    for (const KeyListEntry& entry : keys) {
        KeyFunction function = entry.current;
        if (IsMacro(function) && function.paramA < macroCount) {
            const auto found = std::find(used.begin(), used.end(), int(function.paramA));
            if (found == used.end()) {
                used.push_back(function.paramA);
            }
            function.paramA =
                std::uint8_t(std::find(used.begin(), used.end(), int(function.paramA)) - used.begin());
        } else if (IsMacro(function)) {
            function = IsMacro(entry.defaultFunction) ? KeyFunction{} : entry.defaultFunction;
        }
        sent.push_back(function);
    }
    return sent;
}

MacroPlan BuildMacroBlock(const std::string& macroFolder, const std::vector<int>& macros,
                          std::size_t capacity, const CJsonFileHelper& json) {
    MacroPlan plan;
    plan.memory.capacity = capacity;
    const std::vector<MacroInfoEntry> index = ReadIndex(macroFolder, json);
    plan.macroCount = index.size();
    plan.usedMacros = macros;
    FillBlock(macroFolder, index, macros, json, plan);
    return plan;
}

MacroPlan BuildMacroPlan(const MacroPlanInput& input, const CJsonFileHelper& json) {
    MacroPlan plan;
    plan.memory.capacity = input.capacity;
    if (input.keyPositions <= 0 || std::size_t(input.keyPositions) * kDeviceKeySize > kKeyTableImageSize) {
        plan.status = MacroPlanStatus::BadKeyTable;
        return plan;
    }
    const std::vector<MacroInfoEntry> index = ReadIndex(input.macroFolder, json);
    plan.macroCount = index.size();
    const std::vector<VisitedKey> keys = KeysToWrite(input);
    const Numbering numbering = NumberMacros(input, keys, index.size());
    plan.usedMacros = numbering.used;
    FillBlock(input.macroFolder, index, plan.usedMacros, json, plan);
    BuildTables(input, keys, numbering, plan);
    return plan;
}

} // namespace velkor
