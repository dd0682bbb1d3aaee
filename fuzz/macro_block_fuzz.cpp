// Fuzzes the device form of macros end to end and the simulated firmware's
// reader. The input's first two bytes give the macro slots and the key
// positions, the rest is JSON text whose elements become the "Events" of the
// macros (any JSON at all). Aborts unless the plan, put into a simulated
// memory, reads back through the firmware's own reader as exactly the encoded
// events and every key plays its record - or the plan is refused with a block
// larger than the memory and nothing to send. The reader is also run on the
// raw input, which must never take it outside the memory.
#include "macros/MacroFiles.h"
#include "macros/MacroPlan.h"
#include "sim/SimMacroMemory.h"

#include <json/reader.h>
#include <json/writer.h>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

using namespace velkor;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

const std::string& Folder() {
    static const std::string folder = [] {
        const auto path =
            std::filesystem::temp_directory_path() / ("velkor_macro_fuzz_" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path.string() + "/";
    }();
    return folder;
}

void WriteText(const std::string& path, const Json::Value& value) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        << Json::writeString(Json::StreamWriterBuilder(), value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> raw(data, size);
    (void)sim::ReadSimEventBlock(raw);
    for (size_t p = 0; p < 4; ++p) {
        (void)sim::SimPlayKey(raw, raw, p);
    }
    if (size < 2) {
        return 0;
    }
    Json::Value parsed;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    Json::CharReaderBuilder builder;
    builder["stackLimit"] = 64;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    bool read = false;
    try {
        read = reader->parse(text.data(), text.data() + text.size(), &parsed, &errors);
    } catch (const std::exception&) { // jsoncpp throws past its stack limit
        return 0;
    }
    if (!read || !parsed.isArray()) {
        return 0;
    }
    const size_t macros = std::min<size_t>(parsed.size(), 8);
    Json::Value index;
    index["MacroInfo"] = Json::Value(Json::arrayValue);
    MacroPlanInput input;
    input.macroFolder = Folder();
    input.capacity = size_t(data[0]) * kMacroSlotBytes;
    input.keyPositions = 1 + data[1] % 170;
    for (size_t m = 0; m < macros; ++m) {
        const std::string guid = "m" + std::to_string(m);
        index["MacroInfo"][Json::ArrayIndex(m)]["Guid"] = guid;
        Json::Value document = MakeMacroDocument(guid, guid, Json::Value(Json::arrayValue));
        document["Events"] = parsed[Json::ArrayIndex(m)]; // whatever it is
        WriteText(MacroFilePath(input.macroFolder, guid), document);
        const KeyFunction function = *MakeMacroRepeat(int(macros - 1 - m), 2);
        input.keys.push_back({function, KeyFunction::FromTriple(0x20, 0, 4)});
        input.visited.emplace_back(int(m), uint8_t(m));
    }
    WriteText(JoinMacroPath(input.macroFolder, kMacroIndexFileName), index);

    const CJsonFileHelper json;
    const MacroPlan plan = BuildMacroPlan(input, json);
    if (plan.status == MacroPlanStatus::TooLarge) {
        Check(plan.memory.needed > plan.memory.capacity && plan.block.empty());
        return 0;
    }
    Check(plan.status == MacroPlanStatus::Ready);
    std::vector<uint8_t> memory(input.capacity, 0x5A);
    std::copy(plan.block.begin(), plan.block.end(), memory.begin());
    const auto records = sim::ReadSimEventBlock(memory);
    Check(plan.usedMacros.empty() ? plan.block.empty()
                                  : records && records->size() == plan.usedMacros.size());
    for (size_t r = 0; records && r < records->size(); ++r) {
        const std::vector<DeviceEvent> encoded = EncodeEvents(json.ReadJsonFile(
            MacroFilePath(input.macroFolder, "m" + std::to_string(plan.usedMacros[r])))["Events"]);
        Check((*records)[r].size() == encoded.size());
        for (size_t e = 0; e < encoded.size(); ++e) {
            Check((*records)[r][e] == encoded[e]);
        }
    }
    const std::vector<uint8_t> table(plan.finalTable.begin(), plan.finalTable.end());
    for (size_t m = 0; m < macros && int(m) < input.keyPositions && records; ++m) {
        const size_t record = table[m * 3 + 1];
        Check(record < records->size());
        Check(sim::SimPlayKey(table, memory, m).size() == 2 * (*records)[record].size());
    }
    return 0;
}
