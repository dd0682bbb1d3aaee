#pragma once
// The simulated audio plugin's state: its endpoints, its property values as
// the texts a get answers, the properties that fail, and a log of every call.
//
// Fresh: one output endpoint of type 1 and one input endpoint of type 2, both
// usable, the input's feature word with the voice-changer bit 0x20000, and a
// headset's microphone and monitoring values. A set stores its value (floats
// for the level properties, integers for the rest) so that the next get
// answers it; a get of a property never set fails with status 1, as a driver
// without that setting does.
//
// Thread-safe. The plugin's entry points answer from one store per loaded
// copy of the plugin (PluginStore): the boundary has no context argument.
#include "platform/audio/OsConfAbi.h"

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velkor::sim {

struct SimAudioCall {
    int flow = -1;        // the endpoint's flow (0 output, 1 input), -1 for an endpoint the plugin lacks
    std::string name;     // the property, UTF-8
    int operation = 0;    // 0 get, 1 set
    int32_t intValue = 0; // a set's value buffer read as an integer
    float floatValue = 0; // ... and as a float
    bool extraPassed = false;
    std::array<int32_t, 3> extra{};
    int32_t status = 0;
};

class SimAudioStore {
public:
    SimAudioStore() { Reset(); }

    // Back to the fresh state; the call log is emptied.
    void Reset();
    // Applies a JSON description (see SimAudioStore.cpp); false with the
    // reason, nothing changed, when it does not parse or has the wrong shape.
    bool Configure(const std::string& json, std::string* error = nullptr);

    void SetEndpoints(int flow, std::vector<OsConfEndpoint> endpoints);
    void SetInitStatus(int32_t status);
    // The text a get of `name` on `flow` answers (written as is, cut at the
    // buffer's end, terminated only when room is left).
    void SetValue(int flow, const std::string& name, const std::u16string& text);
    std::optional<std::u16string> Value(int flow, const std::string& name) const;
    void RemoveValue(int flow, const std::string& name);
    // Every call of `name` on `flow` answers `status` (0 lets it work again).
    void SetFailing(int flow, const std::string& name, int32_t status = 1);

    std::vector<SimAudioCall> Calls() const;
    void ClearCalls();
    int InitCalls() const;

    // ---- The entry points ----
    int32_t ConfLibInit();
    int32_t CreateDeviceList();
    int32_t GetDeviceCount(int32_t flow, int32_t* count);
    int32_t GetDeviceById(int32_t flow, int32_t index, OsConfEndpoint* endpoint);
    int32_t PropertyControl(OsConfEndpoint endpoint, const char16_t* name, void** value, void** extra,
                            int32_t operation);

private:
    int FlowOf(const OsConfEndpoint& endpoint) const;

    mutable std::mutex m_mutex;
    std::array<std::vector<OsConfEndpoint>, 2> m_endpoints;
    std::array<std::map<std::string, std::u16string>, 2> m_values;
    std::array<std::map<std::string, int32_t>, 2> m_failing;
    int32_t m_initStatus = 0;
    int m_initCalls = 0;
    std::vector<SimAudioCall> m_calls;
};

// The store this copy of the plugin answers from. At its first ConfLibInit
// the shared plugin applies the file named by VELKOR_SIM_AUDIO, if any.
SimAudioStore& PluginStore();
// The entry points of the copy linked into the caller.
OsConfTable SimAudioTable();

} // namespace velkor::sim
