// A seeded property over random libraries and key lists, with the odd JSON a
// hand-edited file can hold: the plan put into a simulated device (final
// table and block) plays for every key exactly what its macro's events say,
// worked out here without the program's encoder; or the plan is refused with
// a block larger than the memory. The guard table names no record at all.
#include "MacroTestSupport.h"
#include "macros/MacroFiles.h"
#include "macros/MacroPlan.h"
#include "sim/SimMacroMemory.h"

#include <json/writer.h>

namespace velkor::test {
namespace {

struct Generated {
    Json::Value json;
    sim::SimEvent bytes;
};

// One event in a random shape, with the bytes the device must play for it.
Generated RandomEvent(std::mt19937& random) {
    Generated event;
    const bool down = random() % 2 == 0;
    event.json["Action"] = down ? "down" : (random() % 5 == 0 ? "DOWN" : "up");
    const int type = int(random() % 300);
    const int shape = int(random() % 8);
    int typeByte = type & 0xFF;
    if (shape == 0) {
        event.json["Type"] = std::to_string(type); // text: reads as 0
        typeByte = 0;
    } else {
        event.json["Type"] = type;
    }
    const bool movement = (typeByte & 0x7F) == 4 || (typeByte & 0x7F) == 5;
    const int button = int(random() % 700) - 200;
    int buttonByte = movement ? std::clamp(button, 0, 255) : (button & 0xFF);
    if (shape == 1) {
        event.json["Button"] = Json::Value(Json::objectValue);
        buttonByte = 0;
    } else {
        event.json["Button"] = button;
    }
    const int delay = int(random() % 80000);
    int delayValue = std::min(delay, 65535);
    if (shape == 2) {
        event.json["Delay"] = delay; // an integer
    } else if (shape == 3) {
        event.json["Delay"] = Json::Value(Json::arrayValue);
        delayValue = 0;
    } else {
        event.json["Delay"] = std::to_string(delay) + (shape == 4 ? "ms" : "");
    }
    event.bytes = {uint8_t(delayValue & 0xFF), uint8_t(delayValue >> 8),
                   uint8_t(typeByte | (event.json["Action"] == "down" ? 0x80 : 0)), uint8_t(buttonByte)};
    return event;
}

TEST(MacroPlanProperty, APlanPlaysEveryKeysMacroOrIsRefusedForSize) {
    TempFolder folder;
    CJsonFileHelper json;
    const Json::StreamWriterBuilder writer; // plain writes: thousands of files, no need to sync each
    std::mt19937 random(20240523);
    int refused = 0;
    for (int round = 0; round < 2000; ++round) {
        // The library.
        const size_t macros = random() % 6;
        std::vector<std::vector<sim::SimEvent>> expected(macros);
        Json::Value index;
        index["MacroInfo"] = Json::Value(Json::arrayValue);
        for (size_t m = 0; m < macros; ++m) {
            const std::string guid = "m" + std::to_string(m);
            index["MacroInfo"][Json::ArrayIndex(m)]["Guid"] = guid;
            Json::Value events(Json::arrayValue);
            const size_t count = random() % 5 == 0 ? random() % 400 : random() % 12;
            for (size_t e = 0; e < count; ++e) {
                Generated event = RandomEvent(random);
                events.append(event.json);
                expected[m].push_back(event.bytes);
            }
            WriteBytes(folder.File(guid + ".mac"),
                       Json::writeString(writer, MakeMacroDocument(guid, guid, events)));
        }
        WriteBytes(folder.File("macro.config"), Json::writeString(writer, index));

        // The keys and the device.
        MacroPlanInput input;
        input.macroFolder = folder.Path();
        input.keyPositions = int(1 + random() % 170);
        input.capacity = size_t(random() % 40) * kMacroSlotBytes;
        const size_t keys = random() % 30;
        for (size_t k = 0; k < keys; ++k) {
            KeyFunction current = KeyFunction::FromTriple(0x20, 0, uint8_t(k));
            if (random() % 2 == 0) {
                current = random() % 2 ? *MakeMacro(int(random() % (macros + 2)), int(random() % 4))
                                       : *MakeMacroRepeat(int(random() % (macros + 2)), int(random() % 4));
            }
            input.keys.push_back({current, KeyFunction::FromTriple(0x10, 1, 0)});
            input.visited.emplace_back(int(k), uint8_t(random() % 4 == 0 ? 255 : random() % 180));
        }
        for (uint8_t& byte : input.deviceTable) {
            byte = uint8_t(random() % 3 == 0 ? 0x70 : random());
        }
        const MacroPlan plan = BuildMacroPlan(input, json);
        ASSERT_NE(plan.status, MacroPlanStatus::BadKeyTable);
        if (plan.status == MacroPlanStatus::TooLarge) {
            ++refused;
            EXPECT_GT(plan.memory.needed, plan.memory.capacity);
            EXPECT_TRUE(plan.block.empty());
            EXPECT_EQ(plan.eventsToRemove, (plan.memory.needed - plan.memory.capacity + 3) / 4);
            continue;
        }
        std::vector<uint8_t> memory(input.capacity, 0xEE);
        std::copy(plan.block.begin(), plan.block.end(), memory.begin());
        std::vector<uint8_t> table(plan.finalTable.begin(), plan.finalTable.end());
        for (const auto& [key, position] : input.visited) {
            if (position == 255 || position >= input.keyPositions) {
                continue;
            }
            const KeyFunction& f = input.keys[size_t(key)].current;
            std::vector<sim::SimEvent> wanted;
            if (IsMacro(f) && f.paramA < macros) {
                for (size_t t = 0; t < (f.category == KeyCategory::Macro ? 1u : f.paramB); ++t) {
                    wanted.insert(wanted.end(), expected[f.paramA].begin(), expected[f.paramA].end());
                }
            }
            // A key whose position another visited key also claims plays the later one's macro.
            const auto last = std::find_if(input.visited.rbegin(), input.visited.rend(),
                                           [&](const auto& v) { return v.second == position; });
            if (last->first != key) {
                continue;
            }
            ASSERT_EQ(sim::SimPlayKey(table, memory, position), wanted)
                << "round " << round << " key " << key;
            EXPECT_TRUE(sim::SimPlayKey(std::vector<uint8_t>(plan.guardTable.begin(), plan.guardTable.end()),
                                        memory, position)
                            .empty());
        }
        for (size_t p = 0; p < size_t(input.keyPositions); ++p) {
            EXPECT_NE(plan.guardTable[p * 3] & 0xFE, 0x70) << "round " << round;
            if ((plan.finalTable[p * 3] & 0xFE) == 0x70) {
                EXPECT_LT(plan.finalTable[p * 3 + 1], plan.usedMacros.size());
            }
        }
    }
    EXPECT_GT(refused, 50) << "both outcomes are exercised";
    EXPECT_LT(refused, 1900);
}

} // namespace
} // namespace velkor::test
