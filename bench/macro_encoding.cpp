// The device form of macros: planning the largest block a device holds,
// refusing a full library, and writing a 2,560-byte block into the simulated
// keyboard by cable (/0) and through its receiver (/1) with the frames it takes.
// Targets: BM_PlanLargestBlock under 40 ms, BM_RefuseFullLibrary under 1 s;
// BM_WriteBlockSim: block_frames = min_frames (46, 107) and total_frames at
// most block_frames + 2 x ceil(3N / chunk) + 6.
#include "devices/MacroWrites.h"
#include "macros/MacroFiles.h"
#include "sim/SimBackend.h"

#include <benchmark/benchmark.h>
#include <json/writer.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

using namespace velkor;

// A library of macros of the given sizes in a temporary folder (removed at the end).
class Library {
public:
    explicit Library(const std::vector<size_t>& sizes) {
        m_folder = std::filesystem::temp_directory_path() /
                   ("velkor_bench_macros_" + std::to_string(std::random_device()()));
        std::filesystem::create_directories(m_folder);
        Json::Value index;
        index["MacroInfo"] = Json::Value(Json::arrayValue);
        for (size_t m = 0; m < sizes.size(); ++m) {
            const std::string guid = "g" + std::to_string(m);
            index["MacroInfo"][Json::ArrayIndex(m)]["Guid"] = guid;
            Json::Value events(Json::arrayValue);
            for (size_t e = 0; e < sizes[m]; ++e) {
                Json::Value event;
                event["Action"] = e % 2 ? "up" : "down";
                event["Type"] = 10;
                event["Button"] = 4 + int(e % 26);
                event["Delay"] = std::to_string(e % 500);
                events.append(event);
            }
            Write(guid + ".mac", MakeMacroDocument(guid, guid, events));
        }
        Write("macro.config", index);
    }
    ~Library() {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }
    std::string Folder() const { return m_folder.string() + "/"; }

private:
    void Write(const std::string& name, const Json::Value& value) {
        std::ofstream(m_folder / name) << Json::writeString(Json::StreamWriterBuilder(), value);
    }
    std::filesystem::path m_folder;
};

// Keys 0..count-1 on positions 0..count-1, key k playing macro k.
MacroPlanInput KeysPlaying(size_t count, const std::string& folder, size_t capacity) {
    MacroPlanInput input;
    for (size_t k = 0; k < count; ++k) {
        input.keys.push_back({*MakeMacro(int(k), 0), KeyFunction::FromTriple(0x20, 0, uint8_t(4 + k % 100))});
        input.visited.emplace_back(int(k), uint8_t(k));
    }
    input.keyPositions = 126;
    input.macroFolder = folder;
    input.capacity = capacity;
    return input;
}

// 50 macros filling 255 slots exactly: 16 + 6 x 50 + 4 x 8,081 = 32,640 bytes.
void BM_PlanLargestBlock(benchmark::State& state) {
    std::vector<size_t> sizes(50, 161);
    for (size_t m = 0; m < 31; ++m) {
        ++sizes[m];
    }
    const Library library(sizes);
    const MacroPlanInput input = KeysPlaying(50, library.Folder(), 255 * kMacroSlotBytes);
    const CJsonFileHelper json;
    for (auto _ : state) {
        const MacroPlan plan = BuildMacroPlan(input, json);
        if (plan.block.size() != 32640) {
            state.SkipWithError("the block is not 32,640 bytes");
            break;
        }
        benchmark::DoNotOptimize(plan.block.data());
    }
}
BENCHMARK(BM_PlanLargestBlock)->Unit(benchmark::kMillisecond);

void BM_RefuseFullLibrary(benchmark::State& state) {
    const Library library(std::vector<size_t>(50, 4000));
    const MacroPlanInput input = KeysPlaying(50, library.Folder(), 255 * kMacroSlotBytes);
    const CJsonFileHelper json;
    for (auto _ : state) {
        const MacroPlan plan = BuildMacroPlan(input, json);
        if (plan.status != MacroPlanStatus::TooLarge) {
            state.SkipWithError("the library was not refused");
            break;
        }
        benchmark::DoNotOptimize(plan.eventsToRemove);
    }
}
BENCHMARK(BM_RefuseFullLibrary)->Unit(benchmark::kMillisecond);

// Two macros of 317 and 316 events: 16 + 12 + 4 x 633 = 2,560 bytes, the keyboard's whole memory.
void BM_WriteBlockSim(benchmark::State& state) {
    const bool receiver = state.range(0) == 1;
    const sim::SimUnit unit = receiver ? sim::SimUnit::KeyboardReceiver : sim::SimUnit::Keyboard;
    sim::SimBackend backend(1);
    backend.Plug(unit);
    DeviceTransport transport(backend);
    if (!transport.Open(receiver ? ChannelType::Receiver : ChannelType::Wired, backend.CommandPath(unit))) {
        state.SkipWithError("the simulated keyboard did not open");
        return;
    }
    transport.SelectChannel(receiver ? 2 : 1);
    const Library library({317, 316});
    MacroWriteRequest request;
    request.keyTableRead = true;
    request.plan = KeysPlaying(2, library.Folder(), 0);
    const std::vector<uint8_t> table = backend.Memory(sim::SimModel::Keyboard, sim::SimMemory::KeyTable);
    std::copy_n(table.begin(), request.plan.deviceTable.size(), request.plan.deviceTable.begin());
    size_t blockFrames = 0;
    size_t totalFrames = 0;
    for (auto _ : state) {
        backend.ClearFrames();
        const uint64_t before = backend.FramesWritten(unit);
        const MacroWriteOutcome outcome = RunMacroWrite(transport, request);
        if (outcome.result != 0) {
            state.SkipWithError("the write failed");
            break;
        }
        totalFrames = size_t(backend.FramesWritten(unit) - before);
        blockFrames = 0;
        for (const sim::SimFrame& frame : backend.Frames()) {
            blockFrames += frame.direction == sim::SimDirection::ToDevice && frame.bytes.size() > 3 &&
                           frame.bytes[3] == 0x15;
        }
    }
    const size_t chunk = receiver ? 24 : 56;
    state.counters["block_frames"] = double(blockFrames);
    state.counters["min_frames"] = double((2560 + chunk - 1) / chunk);
    state.counters["total_frames"] = double(totalFrames);
    state.counters["total_limit"] = double(blockFrames + 2 * ((3 * 126 + chunk - 1) / chunk) + 6);
}
BENCHMARK(BM_WriteBlockSim)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
