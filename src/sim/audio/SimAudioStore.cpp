// The simulated audio plugin's store.
//
// Configure() takes, every member optional:
//   {"init": 0,
//    "output": [[w0, w1, w2, w3], ...], "input": [[...], ...],
//    "values": {"output": {"EQ_Slider1": "3"}, "input": {"MuteControl": 1}},
//    "failing": {"input": {"GetAAMaxVol": 1}}}
// A value given as a number is stored as its decimal text.
#include "sim/audio/SimAudioStore.h"

#include "platform/JsonText.h"

#include <json/value.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>

namespace velkor::sim {

namespace {

constexpr size_t kMaxNameUnits = 256;
constexpr size_t kFeatureBufferSize = 2 * OSCONF_BUFFER_SIZE;

std::u16string Widen(const std::string& text) {
    std::u16string wide;
    for (const char c : text) {
        wide += char16_t(uint8_t(c));
    }
    return wide;
}

std::string Narrow(const char16_t* name) {
    std::string narrow;
    for (size_t i = 0; i < kMaxNameUnits && name[i] != 0; ++i) {
        narrow += name[i] < 0x80 ? char(name[i]) : '?';
    }
    return narrow;
}

bool IsFloatProperty(const std::string& name) {
    return name == "VolumeControl" || name == "VolumeScalarControl" || name == "AAVolumeControl" ||
           name == "AAVolumeScalarControl";
}

std::u16string FloatText(float value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.6g", double(value));
    return Widen(text);
}

bool ReadFlow(const Json::Value& root, const char* member, int* flow) {
    if (std::strcmp(member, "output") == 0) {
        *flow = OSCONF_FLOW_OUTPUT;
    } else if (std::strcmp(member, "input") == 0) {
        *flow = OSCONF_FLOW_INPUT;
    } else {
        return false;
    }
    (void)root;
    return true;
}

} // namespace

void SimAudioStore::Reset() {
    std::lock_guard lock(m_mutex);
    m_endpoints[OSCONF_FLOW_OUTPUT] = {OsConfEndpoint{{0, 1, 0, 1}}};
    m_endpoints[OSCONF_FLOW_INPUT] = {OsConfEndpoint{{1, 2, 0, 1}}};
    m_values[OSCONF_FLOW_OUTPUT] = {{"GetSupportFeature", u"0,0,0,0,0,0,0"}};
    m_values[OSCONF_FLOW_INPUT] = {
        {"GetSupportFeature", u"131072,0,0,0,0,0,0"},
        {"MuteControl", u"0"},
        {"VolumeScalarControl", u"0.75"},
        {"GetMaxVol", u"30"},
        {"GetMinVol", u"-16"},
        {"GetVolStep", u"0.5"},
        {"AAMuteControl", u"1"},
        {"AAVolumeScalarControl", u"0.25"},
        {"GetAAMaxVol", u"0"},
        {"GetAAMinVol", u"-36"},
        {"GetAAVolStep", u"1"},
        {"Enable_MAGICVOICE", u"0"},
        {"MagicVoice_Selection", u"0"},
    };
    m_failing = {};
    m_initStatus = 0;
    m_initCalls = 0;
    m_calls.clear();
}

bool SimAudioStore::Configure(const std::string& json, std::string* error) {
    Json::Value root;
    std::string reason;
    const bool parsed = ParseJson(json, root, {.maxDepth = 20}, &reason);
    auto fail = [&](const std::string& why) {
        if (error != nullptr) {
            *error = why;
        }
        return false;
    };
    if (!parsed || !root.isObject()) {
        return fail("not a JSON object: " + reason);
    }
    // Checked whole first: a bad description changes nothing.
    std::array<std::optional<std::vector<OsConfEndpoint>>, 2> endpoints;
    for (const char* member : {"output", "input"}) {
        int flow = 0;
        ReadFlow(root, member, &flow);
        const Json::Value& list = root[member];
        if (list.isNull()) {
            continue;
        }
        if (!list.isArray()) {
            return fail(std::string(member) + " is not a list");
        }
        std::vector<OsConfEndpoint> parsedList;
        for (const Json::Value& words : list) {
            if (!words.isArray() || words.size() != 4) {
                return fail(std::string(member) + ": an endpoint is four integers");
            }
            OsConfEndpoint endpoint{};
            for (Json::ArrayIndex i = 0; i < 4; ++i) {
                if (!words[i].isInt()) {
                    return fail(std::string(member) + ": an endpoint is four integers");
                }
                endpoint.w[i] = words[i].asInt();
            }
            parsedList.push_back(endpoint);
        }
        endpoints[size_t(flow)] = std::move(parsedList);
    }
    std::array<std::map<std::string, std::u16string>, 2> values;
    std::array<std::map<std::string, int32_t>, 2> failing;
    for (const char* section : {"values", "failing"}) {
        const Json::Value& byFlow = root[section];
        if (byFlow.isNull()) {
            continue;
        }
        if (!byFlow.isObject()) {
            return fail(std::string(section) + " is not an object");
        }
        for (const std::string& flowName : byFlow.getMemberNames()) {
            int flow = 0;
            if (!ReadFlow(root, flowName.c_str(), &flow) || !byFlow[flowName].isObject()) {
                return fail(std::string(section) + ": " + flowName + " is no flow");
            }
            const Json::Value& entries = byFlow[flowName];
            for (const std::string& name : entries.getMemberNames()) {
                const Json::Value& v = entries[name];
                if (std::strcmp(section, "failing") == 0) {
                    if (!v.isInt()) {
                        return fail("failing: " + name + " needs a status");
                    }
                    failing[size_t(flow)][name] = v.asInt();
                } else if (v.isString() || v.isNumeric()) {
                    values[size_t(flow)][name] = Widen(v.isString() ? v.asString() : v.asString());
                } else {
                    return fail("values: " + name + " is no text or number");
                }
            }
        }
    }
    if (root.isMember("init") && !root["init"].isInt()) {
        return fail("init is no status");
    }
    std::lock_guard lock(m_mutex);
    for (size_t flow = 0; flow < 2; ++flow) {
        if (endpoints[flow]) {
            m_endpoints[flow] = *endpoints[flow];
        }
        for (auto& [name, text] : values[flow]) {
            m_values[flow][name] = text;
        }
        for (auto& [name, status] : failing[flow]) {
            m_failing[flow][name] = status;
        }
    }
    if (root.isMember("init")) {
        m_initStatus = root["init"].asInt();
    }
    return true;
}

void SimAudioStore::SetEndpoints(int flow, std::vector<OsConfEndpoint> endpoints) {
    std::lock_guard lock(m_mutex);
    if (flow == 0 || flow == 1) {
        m_endpoints[size_t(flow)] = std::move(endpoints);
    }
}

void SimAudioStore::SetInitStatus(int32_t status) {
    std::lock_guard lock(m_mutex);
    m_initStatus = status;
}

void SimAudioStore::SetValue(int flow, const std::string& name, const std::u16string& text) {
    std::lock_guard lock(m_mutex);
    if (flow == 0 || flow == 1) {
        m_values[size_t(flow)][name] = text;
    }
}

std::optional<std::u16string> SimAudioStore::Value(int flow, const std::string& name) const {
    std::lock_guard lock(m_mutex);
    if (flow != 0 && flow != 1) {
        return std::nullopt;
    }
    const auto found = m_values[size_t(flow)].find(name);
    if (found == m_values[size_t(flow)].end()) {
        return std::nullopt;
    }
    return found->second;
}

void SimAudioStore::RemoveValue(int flow, const std::string& name) {
    std::lock_guard lock(m_mutex);
    if (flow == 0 || flow == 1) {
        m_values[size_t(flow)].erase(name);
    }
}

void SimAudioStore::SetFailing(int flow, const std::string& name, int32_t status) {
    std::lock_guard lock(m_mutex);
    if (flow != 0 && flow != 1) {
        return;
    }
    if (status == 0) {
        m_failing[size_t(flow)].erase(name);
    } else {
        m_failing[size_t(flow)][name] = status;
    }
}

std::vector<SimAudioCall> SimAudioStore::Calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void SimAudioStore::ClearCalls() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

int SimAudioStore::InitCalls() const {
    std::lock_guard lock(m_mutex);
    return m_initCalls;
}

int32_t SimAudioStore::ConfLibInit() {
    std::lock_guard lock(m_mutex);
    ++m_initCalls;
    return m_initStatus;
}

int32_t SimAudioStore::CreateDeviceList() {
    return 0;
}

int32_t SimAudioStore::GetDeviceCount(int32_t flow, int32_t* count) {
    std::lock_guard lock(m_mutex);
    if ((flow != 0 && flow != 1) || count == nullptr) {
        return 1;
    }
    *count = int32_t(m_endpoints[size_t(flow)].size());
    return 0;
}

int32_t SimAudioStore::GetDeviceById(int32_t flow, int32_t index, OsConfEndpoint* endpoint) {
    std::lock_guard lock(m_mutex);
    if ((flow != 0 && flow != 1) || endpoint == nullptr || index < 0 ||
        size_t(index) >= m_endpoints[size_t(flow)].size()) {
        return 1;
    }
    *endpoint = m_endpoints[size_t(flow)][size_t(index)];
    return 0;
}

int SimAudioStore::FlowOf(const OsConfEndpoint& endpoint) const {
    for (int flow = 0; flow < 2; ++flow) {
        for (const OsConfEndpoint& e : m_endpoints[size_t(flow)]) {
            if (std::memcmp(e.w, endpoint.w, sizeof(e.w)) == 0) {
                return flow;
            }
        }
    }
    return -1;
}

int32_t SimAudioStore::PropertyControl(OsConfEndpoint endpoint, const char16_t* name, void** value,
                                       void** extra, int32_t operation) {
    std::lock_guard lock(m_mutex);
    SimAudioCall call;
    call.flow = FlowOf(endpoint);
    call.name = name != nullptr ? Narrow(name) : std::string();
    call.operation = operation;
    uint8_t* buffer = value != nullptr ? static_cast<uint8_t*>(*value) : nullptr;
    if (buffer != nullptr) {
        std::memcpy(&call.intValue, buffer, 4);
        std::memcpy(&call.floatValue, buffer, 4);
    }
    if (extra != nullptr && *extra != nullptr) {
        call.extraPassed = true;
        std::memcpy(call.extra.data(), *extra, sizeof(call.extra));
    }
    auto finish = [&](int32_t status) {
        call.status = status;
        m_calls.push_back(call);
        return status;
    };
    if (buffer == nullptr || call.name.empty() || (operation != OSCONF_GET && operation != OSCONF_SET)) {
        return finish(1);
    }
    if (call.flow < 0) {
        return finish(5);
    }
    const auto failing = m_failing[size_t(call.flow)].find(call.name);
    if (failing != m_failing[size_t(call.flow)].end()) {
        return finish(failing->second);
    }
    auto& values = m_values[size_t(call.flow)];
    if (operation == OSCONF_SET) {
        values[call.name] =
            IsFloatProperty(call.name) ? FloatText(call.floatValue) : Widen(std::to_string(call.intValue));
        return finish(0);
    }
    const auto found = values.find(call.name);
    if (found == values.end()) {
        return finish(1);
    }
    // Cut at the buffer's end; the terminator only when it fits.
    const size_t size = call.name == "GetSupportFeature" ? kFeatureBufferSize : OSCONF_BUFFER_SIZE;
    const size_t units = std::min(found->second.size(), size / sizeof(char16_t));
    std::memcpy(buffer, found->second.data(), units * sizeof(char16_t));
    if (units < size / sizeof(char16_t)) {
        std::memset(buffer + units * sizeof(char16_t), 0, sizeof(char16_t));
    }
    return finish(0);
}

} // namespace velkor::sim
