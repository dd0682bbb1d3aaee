// The simulated audio plugin's entry points, answered by this copy's store.
#include "sim/audio/SimAudioStore.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>

namespace velkor::sim {

namespace {

// VELKOR_SIM_AUDIO=FILE.json, applied once per copy of the plugin.
void ApplyEnvironmentOnce(SimAudioStore& store) {
    static std::once_flag once;
    std::call_once(once, [&store] {
        const char* path = std::getenv("VELKOR_SIM_AUDIO");
        if (path == nullptr || *path == 0) {
            return;
        }
        std::ifstream in(path, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::string error;
        if (!in.good() && !in.eof()) {
            std::fprintf(stderr, "simulated audio: %s cannot be read\n", path);
        } else if (!store.Configure(text, &error)) {
            std::fprintf(stderr, "simulated audio: %s: %s\n", path, error.c_str());
        }
    });
}

} // namespace

SimAudioStore& PluginStore() {
    static SimAudioStore store;
    return store;
}

OsConfTable SimAudioTable() {
    return OsConfTable{&::ConfLibInit, &::CreateDeviceList, &::GetDeviceCount, &::GetDeviceById,
                       &::PropertyControl};
}

} // namespace velkor::sim

extern "C" {

int32_t ConfLibInit(void) {
    velkor::sim::SimAudioStore& store = velkor::sim::PluginStore();
    velkor::sim::ApplyEnvironmentOnce(store);
    return store.ConfLibInit();
}

int32_t CreateDeviceList(void) {
    return velkor::sim::PluginStore().CreateDeviceList();
}

int32_t GetDeviceCount(int32_t flow, int32_t* count) {
    return velkor::sim::PluginStore().GetDeviceCount(flow, count);
}

int32_t GetDeviceById(int32_t flow, int32_t index, OsConfEndpoint* endpoint) {
    return velkor::sim::PluginStore().GetDeviceById(flow, index, endpoint);
}

int32_t PropertyControl(OsConfEndpoint endpoint, const char16_t* name, void** value, void** extra,
                        int32_t operation) {
    return velkor::sim::PluginStore().PropertyControl(endpoint, name, value, extra, operation);
}

} // extern "C"
