// The simulated audio plugin's entry points, answered by this copy's store.
#include "sim/audio/SimAudioStore.h"

#include "platform/AtomicFile.h"
#include "platform/Environment.h"

#include <cstdio>
#include <mutex>

namespace velkor::sim {

namespace {

// VELKOR_SIM_AUDIO=FILE.json, applied once per copy of the plugin.
void ApplyEnvironmentOnce(SimAudioStore& store, const Environment& environment) {
    static std::once_flag once;
    std::call_once(once, [&store, &environment] {
        const std::string path = environment.Get("VELKOR_SIM_AUDIO");
        if (path.empty()) {
            return;
        }
        std::string text;
        std::string error;
        const FileReadStatus status = ReadWholeFile(path, text);
        if (status != FileReadStatus::Ok && status != FileReadStatus::Empty) {
            std::fprintf(stderr, "simulated audio: %s cannot be read\n", path.c_str());
        } else if (!store.Configure(text, &error)) {
            std::fprintf(stderr, "simulated audio: %s: %s\n", path.c_str(), error.c_str());
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
    // The environment is read here, at the plugin's entry point.
    velkor::sim::ApplyEnvironmentOnce(store, velkor::Environment::FromProcess({"VELKOR_SIM_AUDIO"}));
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
