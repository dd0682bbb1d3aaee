// Load and save of a full keyboard profile: 170 keys, 8 colour groups of 170
// colours, a 20-entry light list. Target: under 2 ms each.
#include "profiles/KeyboardProfiledata.h"
#include "profiles/ProfileSections.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace velkor;

constexpr int kKeys = 170;
constexpr int kGroups = 8;

Json::Value FullKeyboardProfile() {
    Json::Value p(Json::objectValue);
    LightInfoRecord light{4, 3, 2, 1, 1, 255, 128, 0, {}, 5, 6, 7};
    p["LightInfo"] = LightInfoToJson(light);
    p["AudioLightInfo"] = AudioLightInfoToJson(AudioLightInfoRecord{1, 2, 3, 4, 5, 6, 7, 1, 0});
    for (int i = 0; i < 20; ++i) {
        Json::Value& e = p["LightList"][i];
        e["LEDREGMode"] = i;
        e["LEDBrightness"] = 4;
        e["LEDSpeed"] = 2;
        e["LEDDirection"] = 0;
        e["LEDMultiColor"] = 1;
        e["red"] = 255;
        e["green"] = i * 10;
        e["blue"] = 0;
    }
    for (int i = 0; i < kKeys; ++i) {
        p["KeyList"][i]["Assignment"] = 0x200000 | (i & 0xFF);
        p["KeyList"][i]["DefaultAssignment"] = 0x200000 | (i & 0xFF);
    }
    p["SystemStages"]["Repeat"] = 30;
    p["SystemStages"]["PollingRate"] = 1000;
    for (int g = 0; g < kGroups; ++g) {
        for (int j = 0; j < kKeys; ++j) {
            Json::Value& c = p["CustomLightMode"]["LightColorInfo"][g][j];
            c["Red"] = (g * 31 + j) & 0xFF;
            c["Green"] = j & 0xFF;
            c["Blue"] = g;
            c["Alpha"] = 255;
        }
    }
    p["CustomLightMode"]["CustomLightModeGroupIndex"] = 2;
    return p;
}

class BenchFolder {
public:
    BenchFolder() {
        char pattern[] = "/tmp/velkor-bench-XXXXXX";
        m_path = ::mkdtemp(pattern);
        Json::Value root(Json::objectValue);
        root["profilename"] = "profile1";
        root["profileUUID"] = "2023_07_04_09_05_03_042";
        root["Device"][0] = FullKeyboardProfile();
        CJsonFileHelper().WriteJsonFile(root, ProfilePath());
    }
    ~BenchFolder() { std::filesystem::remove_all(m_path); }
    std::string ProfilePath() const { return m_path + "/2023_07_04_09_05_03_042.Json"; }

private:
    std::string m_path;
};

void LoadAndReadEverySection(CKeyboardProfiledata& data, const std::string& path) {
    data.LoadProfile(path);
    benchmark::DoNotOptimize(data.ReadLightInfo());
    benchmark::DoNotOptimize(data.ReadAudioLightInfo());
    benchmark::DoNotOptimize(data.ReadLightList());
    benchmark::DoNotOptimize(data.ReadKeyList());
    benchmark::DoNotOptimize(data.ReadKeyboardSystem());
    benchmark::DoNotOptimize(data.ReadCustomGroupIndex());
    for (int g = 0; g < kGroups; ++g) {
        benchmark::DoNotOptimize(data.ReadCustomColors(g, kKeys));
    }
}

// LoadProfile plus every keyboard section reader.
void BM_LoadKeyboardProfile(benchmark::State& state) {
    BenchFolder folder;
    state.SetLabel(std::to_string(std::filesystem::file_size(folder.ProfilePath())) + " bytes");
    for (auto _ : state) {
        CKeyboardProfiledata data;
        LoadAndReadEverySection(data, folder.ProfilePath());
    }
}
BENCHMARK(BM_LoadKeyboardProfile)->Unit(benchmark::kMillisecond);

// An edit (light, keys, one colour group) and SaveProfile: re-read for the
// top-level members, styled text, write, fsync, rename, folder fsync.
void BM_SaveKeyboardProfile(benchmark::State& state) {
    BenchFolder folder;
    CKeyboardProfiledata data;
    data.SetProfilePath(folder.ProfilePath());
    LoadAndReadEverySection(data, folder.ProfilePath());
    std::vector<KeyListEntry> keys = data.ReadKeyList();
    std::vector<RgbaColour> colours = data.ReadCustomColors(2, kKeys);
    LightInfoRecord light = data.ReadLightInfo();
    uint8_t n = 0;
    for (auto _ : state) {
        light.red = ++n;
        keys[n % kKeys].current.paramB = n;
        colours[n % kKeys].blue = n;
        data.WriteLightInfo(light);
        data.WriteKeyList(keys);
        data.WriteCustomColors(2, colours);
        if (!data.SaveProfile()) {
            state.SkipWithError("save failed");
            break;
        }
    }
}
BENCHMARK(BM_SaveKeyboardProfile)->Unit(benchmark::kMillisecond);

// The parts, to see where the time goes.
void BM_ParseKeyboardProfile(benchmark::State& state) {
    BenchFolder folder;
    CJsonFileHelper json;
    const std::string text = json.ReadTextFile(folder.ProfilePath());
    for (auto _ : state) {
        Json::Value value;
        benchmark::DoNotOptimize(json.ParseJson(text, value));
    }
}
BENCHMARK(BM_ParseKeyboardProfile)->Unit(benchmark::kMillisecond);

void BM_StyleKeyboardProfile(benchmark::State& state) {
    BenchFolder folder;
    CJsonFileHelper json;
    const Json::Value root = json.ReadJsonFile(folder.ProfilePath());
    for (auto _ : state) {
        benchmark::DoNotOptimize(json.StyledText(root));
    }
}
BENCHMARK(BM_StyleKeyboardProfile)->Unit(benchmark::kMillisecond);

void BM_AtomicWriteKeyboardProfile(benchmark::State& state) {
    BenchFolder folder;
    CJsonFileHelper json;
    const std::string text = json.ReadTextFile(folder.ProfilePath());
    for (auto _ : state) {
        benchmark::DoNotOptimize(json.WriteTextFile(text, folder.ProfilePath()));
    }
}
BENCHMARK(BM_AtomicWriteKeyboardProfile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
