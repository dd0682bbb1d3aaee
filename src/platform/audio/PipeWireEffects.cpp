// The equaliser and the voice changer as filter-chain modules in the
// plugin's PipeWire context.
#include "platform/audio/PipeWireEffects.h"

#include "platform/JsonText.h"
#include "platform/audio/HeadsetCard.h"

#include <pipewire/extensions/metadata.h>
#include <pipewire/impl.h>
#include <pipewire/pipewire.h>
#include <spa/param/props.h>
#include <spa/pod/builder.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>

namespace velkor::linuxaudio {

namespace {

constexpr const char* kEqNode = "velkor_headset_eq";
constexpr const char* kVoiceNode = "velkor_headset_voice";
constexpr const char* kSinkKey = "default.configured.audio.sink";
constexpr const char* kSourceKey = "default.configured.audio.source";
constexpr std::array<int, kBandCount> kBandHz = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
constexpr double kBandQ = 1.4;

using Props = std::map<std::string, std::string>;

Props CopyProps(const spa_dict* dict) {
    Props props;
    const spa_dict_item* item = nullptr;
    if (dict != nullptr) {
        spa_dict_for_each(item, dict) {
            if (item->key != nullptr && item->value != nullptr) {
                props[item->key] = item->value;
            }
        }
    }
    return props;
}

std::string Get(const Props& props, const char* key) {
    const auto found = props.find(key);
    return found == props.end() ? std::string() : found->second;
}

// "0x0c76", "3190": PipeWire's ALSA monitor writes hexadecimal with 0x.
bool IdIs(const std::string& text, uint16_t expected) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    return end != text.c_str() && *end == 0 && value == expected;
}

bool IsHeadset(const Props& props) {
    return IdIs(Get(props, "device.vendor.id"), kHeadsetVendor) &&
           IdIs(Get(props, "device.product.id"), kHeadsetProduct);
}

// The "name" of a metadata value such as { "name": "alsa_output.usb-..." }.
std::string JsonName(const std::string& value) {
    Json::Value parsed;
    if (!ParseJson(value, parsed) || !parsed.isObject() || !parsed["name"].isString()) {
        return {};
    }
    return parsed["name"].asString();
}

// Node names come from PipeWire; they must not break out of the quoted argument.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c != '"' && c != '\\' && uint8_t(c) >= 0x20) {
            quoted += c;
        }
    }
    return quoted + "\"";
}

double BandDb(int32_t units) {
    return std::clamp(units, kBandMin, kBandMax) * 0.5;
}

// Boosts would clip: the mixer in front takes the largest boost off.
double HeadroomGain(const std::array<int32_t, kBandCount>& bands) {
    double boost = 0;
    for (const int32_t band : bands) {
        boost = std::max(boost, BandDb(band));
    }
    return std::pow(10.0, -boost / 20.0);
}

std::string EqualiserArgs(const std::string& sink, const std::array<int32_t, kBandCount>& bands) {
    std::ostringstream args;
    args << "{ node.description = \"Headset equaliser\" media.name = \"Headset equaliser\"\n"
         << "  audio.channels = 2 audio.position = [ FL FR ]\n"
         << "  filter.graph = { nodes = [\n"
         << "    { type = builtin name = headroom label = mixer control = { \"Gain 1\" = "
         << HeadroomGain(bands) << " } }\n";
    for (int i = 0; i < kBandCount; ++i) {
        args << "    { type = builtin name = eq" << i + 1
             << " label = bq_peaking control = { \"Freq\" = " << kBandHz[size_t(i)] << " \"Q\" = " << kBandQ
             << " \"Gain\" = " << BandDb(bands[size_t(i)]) << " } }\n";
    }
    args << "  ] links = [\n    { output = \"headroom:Out\" input = \"eq1:In\" }\n";
    for (int i = 1; i < kBandCount; ++i) {
        args << "    { output = \"eq" << i << ":Out\" input = \"eq" << i + 1 << ":In\" }\n";
    }
    args << "  ] inputs = [ \"headroom:In 1\" ] outputs = [ \"eq10:Out\" ] }\n"
         << "  capture.props = { node.name = " << kEqNode << " media.class = Audio/Sink }\n"
         << "  playback.props = { node.name = " << kEqNode << ".output node.passive = true"
         << " target.object = " << Quoted(sink) << " node.dont-reconnect = true }\n}";
    return args.str();
}

} // namespace

std::string PitchShifterPath(const std::string& ladspaPath) {
    const std::string folders =
        ladspaPath.empty() ? "/usr/lib/ladspa:/usr/lib64/ladspa:/usr/local/lib/ladspa" : ladspaPath;
    std::istringstream list(folders);
    std::string folder;
    while (std::getline(list, folder, ':')) {
        const std::filesystem::path file = std::filesystem::path(folder) / "ladspa-rubberband.so";
        std::error_code error;
        if (!folder.empty() && std::filesystem::exists(file, error)) {
            return file.string();
        }
    }
    return {};
}

namespace {

std::string VoiceArgs(const std::string& source, const std::string& plugin, int semitones) {
    std::ostringstream args;
    args << "{ node.description = \"Headset microphone (voice changer)\""
         << " media.name = \"Headset microphone (voice changer)\"\n"
         << "  audio.channels = 1 audio.position = [ MONO ]\n"
         << "  filter.graph = { nodes = [ { type = ladspa name = pitch plugin = " << Quoted(plugin)
         << " label = rubberband-pitchshifter-mono control = { \"Semitones\" = " << semitones << " } } ] }\n"
         << "  capture.props = { node.name = " << kVoiceNode << ".input node.passive = true"
         << " target.object = " << Quoted(source) << " node.dont-reconnect = true }\n"
         << "  playback.props = { node.name = " << kVoiceNode << " media.class = Audio/Source }\n}";
    return args.str();
}

} // namespace

// One loaded filter chain and the node its controls are set on.
struct Chain {
    pw_impl_module* module = nullptr;
    // The module ends itself when the daemon goes away.
    spa_hook moduleListener{};
    std::string nodeName;
    uint32_t nodeId = SPA_ID_INVALID;
    pw_proxy* node = nullptr;
    // The default this chain took over: its metadata key and the value
    // before (empty: none was configured).
    const char* defaultKey = nullptr;
    bool tookDefault = false;
    std::string previousDefault;

    // Unloaded; the name stays.
    void Reset() {
        module = nullptr;
        nodeId = SPA_ID_INVALID;
        node = nullptr;
        defaultKey = nullptr;
        tookDefault = false;
        previousDefault.clear();
    }
};

// A node or device bound for its full properties (the registry shows only a few).
struct Bound {
    pw_proxy* proxy = nullptr;
    spa_hook listener{};
    Props props;

    ~Bound() {
        if (proxy != nullptr) {
            spa_hook_remove(&listener);
            pw_proxy_destroy(proxy);
        }
    }
};

struct PipeWireEffects::Impl {
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_registry* registry = nullptr;
    pw_metadata* metadata = nullptr;
    spa_hook coreListener{};
    spa_hook registryListener{};
    spa_hook metadataListener{};
    bool broken = false;
    int pendingSeq = 0;
    bool synced = false;
    std::map<uint32_t, std::unique_ptr<Bound>> nodes;
    std::map<uint32_t, std::unique_ptr<Bound>> devices;
    Props defaults; // metadata "default", subject 0
    Chain eq;
    Chain voice;
    std::array<int32_t, kBandCount> bands{};
    int semitones = kVoiceSemitones[0];
    // Every wait of one property call ends by this time (BeginCall).
    std::chrono::steady_clock::time_point callEnd = std::chrono::steady_clock::time_point::max();

    ~Impl() {
        callEnd = std::chrono::steady_clock::time_point::max(); // giving the defaults back gets its own time
        Disconnect(true);
    }

    int32_t Connect();
    void Disconnect(bool giveBackDefaults);
    bool Roundtrip();
    bool WaitFor(const std::function<bool()>& done);

    // The headset's node of this media class, by node.name; empty when none.
    std::string HeadsetNode(const char* mediaClass) const;
    int32_t Load(Chain& chain, const std::string& args, const char* defaultKey,
                 const std::string& headsetNode);
    void Unload(Chain& chain);
    void ApplyControls(Chain& chain);
    void SetDefault(const char* key, const std::string& value);

    static void OnCoreDone(void* data, uint32_t id, int seq);
    static void OnCoreError(void* data, uint32_t id, int seq, int res, const char* message);
    static void OnGlobal(void* data, uint32_t id, uint32_t permissions, const char* type, uint32_t version,
                         const spa_dict* props);
    static void OnGlobalRemove(void* data, uint32_t id);
    void Bind(std::map<uint32_t, std::unique_ptr<Bound>>& objects, uint32_t id, const char* type,
              uint32_t version, Props props);
    static void OnNodeInfo(void* data, const pw_node_info* info);
    static void OnDeviceInfo(void* data, const pw_device_info* info);
    static int OnMetadata(void* data, uint32_t subject, const char* key, const char* type, const char* value);
};

void PipeWireEffects::Impl::OnCoreDone(void* data, uint32_t id, int seq) {
    Impl* self = static_cast<Impl*>(data);
    if (id == PW_ID_CORE && seq == self->pendingSeq) {
        self->synced = true;
        pw_thread_loop_signal(self->loop, false);
    }
}

void PipeWireEffects::Impl::OnCoreError(void* data, uint32_t id, int /*seq*/, int res, const char* message) {
    Impl* self = static_cast<Impl*>(data);
    if (id == PW_ID_CORE && res == -EPIPE) {
        self->broken = true; // the daemon went away
        pw_thread_loop_signal(self->loop, false);
        return;
    }
    std::fprintf(stderr, "velkor audio: PipeWire error on %u: %s\n", id, message != nullptr ? message : "");
}

void PipeWireEffects::Impl::OnGlobal(void* data, uint32_t id, uint32_t /*permissions*/, const char* type,
                                     uint32_t /*version*/, const spa_dict* dict) {
    Impl* self = static_cast<Impl*>(data);
    Props props = CopyProps(dict);
    if (std::strcmp(type, PW_TYPE_INTERFACE_Device) == 0) {
        self->Bind(self->devices, id, type, PW_VERSION_DEVICE, std::move(props));
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Metadata) == 0) {
        if (Get(props, "metadata.name") == "default" && self->metadata == nullptr) {
            static const pw_metadata_events events = {PW_VERSION_METADATA_EVENTS, &Impl::OnMetadata};
            self->metadata = static_cast<pw_metadata*>(
                pw_registry_bind(self->registry, id, PW_TYPE_INTERFACE_Metadata, PW_VERSION_METADATA, 0));
            if (self->metadata != nullptr) {
                pw_metadata_add_listener(self->metadata, &self->metadataListener, &events, self);
            }
        }
    } else if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0) {
        const std::string name = Get(props, "node.name");
        self->Bind(self->nodes, id, type, PW_VERSION_NODE, std::move(props));
        for (Chain* chain : {&self->eq, &self->voice}) {
            if (chain->module != nullptr && chain->node == nullptr && name == chain->nodeName) {
                chain->nodeId = id;
                chain->node = static_cast<pw_proxy*>(
                    pw_registry_bind(self->registry, id, PW_TYPE_INTERFACE_Node, PW_VERSION_NODE, 0));
                self->ApplyControls(*chain);
                pw_thread_loop_signal(self->loop, false);
            }
        }
    }
}

void PipeWireEffects::Impl::OnGlobalRemove(void* data, uint32_t id) {
    Impl* self = static_cast<Impl*>(data);
    self->nodes.erase(id);
    self->devices.erase(id);
    for (Chain* chain : {&self->eq, &self->voice}) {
        if (chain->nodeId == id && chain->node != nullptr) {
            pw_proxy_destroy(chain->node);
            chain->node = nullptr;
            chain->nodeId = SPA_ID_INVALID;
        }
    }
}

void PipeWireEffects::Impl::Bind(std::map<uint32_t, std::unique_ptr<Bound>>& objects, uint32_t id,
                                 const char* type, uint32_t version, Props props) {
    auto bound = std::make_unique<Bound>();
    bound->props = std::move(props);
    bound->proxy = static_cast<pw_proxy*>(pw_registry_bind(registry, id, type, version, 0));
    if (bound->proxy != nullptr) {
        if (&objects == &nodes) {
            static const pw_node_events events = [] {
                pw_node_events e{};
                e.version = PW_VERSION_NODE_EVENTS;
                e.info = &Impl::OnNodeInfo;
                return e;
            }();
            pw_proxy_add_object_listener(bound->proxy, &bound->listener, &events, bound.get());
        } else {
            static const pw_device_events events = [] {
                pw_device_events e{};
                e.version = PW_VERSION_DEVICE_EVENTS;
                e.info = &Impl::OnDeviceInfo;
                return e;
            }();
            pw_proxy_add_object_listener(bound->proxy, &bound->listener, &events, bound.get());
        }
    }
    objects[id] = std::move(bound);
}

void PipeWireEffects::Impl::OnNodeInfo(void* data, const pw_node_info* info) {
    if (info != nullptr && (info->change_mask & PW_NODE_CHANGE_MASK_PROPS) != 0) {
        for (auto& [key, value] : CopyProps(info->props)) {
            static_cast<Bound*>(data)->props[key] = value;
        }
    }
}

void PipeWireEffects::Impl::OnDeviceInfo(void* data, const pw_device_info* info) {
    if (info != nullptr && (info->change_mask & PW_DEVICE_CHANGE_MASK_PROPS) != 0) {
        for (auto& [key, value] : CopyProps(info->props)) {
            static_cast<Bound*>(data)->props[key] = value;
        }
    }
}

int PipeWireEffects::Impl::OnMetadata(void* data, uint32_t subject, const char* key, const char* /*type*/,
                                      const char* value) {
    Impl* self = static_cast<Impl*>(data);
    if (subject != PW_ID_CORE) {
        return 0;
    }
    if (key == nullptr) {
        self->defaults.clear();
    } else if (value == nullptr) {
        self->defaults.erase(key);
    } else {
        self->defaults[key] = value;
    }
    return 0;
}

bool PipeWireEffects::Impl::WaitFor(const std::function<bool()>& done) {
    // A call makes several waits: together they stay within its time.
    const auto now = std::chrono::steady_clock::now();
    int64_t waitNs = int64_t(kCallTimeoutMs) * SPA_NSEC_PER_MSEC;
    if (callEnd != std::chrono::steady_clock::time_point::max()) {
        waitNs = std::clamp<int64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(callEnd - now).count(), 0, waitNs);
    }
    timespec deadline{};
    pw_thread_loop_get_time(loop, &deadline, waitNs);
    while (!done() && !broken) {
        if (pw_thread_loop_timed_wait_full(loop, &deadline) != 0) {
            break; // timed out
        }
    }
    return done() && !broken;
}

bool PipeWireEffects::Impl::Roundtrip() {
    synced = false;
    pendingSeq = pw_core_sync(core, PW_ID_CORE, pendingSeq);
    return WaitFor([this] { return synced; });
}

int32_t PipeWireEffects::Impl::Connect() {
    static std::once_flag initialised;
    std::call_once(initialised, [] { pw_init(nullptr, nullptr); });
    loop = pw_thread_loop_new("velkor-audio", nullptr);
    if (loop == nullptr) {
        return kPipeWireUnreachable;
    }
    context = pw_context_new(pw_thread_loop_get_loop(loop), nullptr, 0);
    if (context == nullptr || pw_thread_loop_start(loop) != 0) {
        Disconnect(false);
        return kPipeWireUnreachable;
    }
    pw_thread_loop_lock(loop);
    core = pw_context_connect(context, nullptr, 0);
    if (core != nullptr) {
        static const pw_core_events coreEvents = [] {
            pw_core_events events{};
            events.version = PW_VERSION_CORE_EVENTS;
            events.done = &Impl::OnCoreDone;
            events.error = &Impl::OnCoreError;
            return events;
        }();
        static const pw_registry_events registryEvents = {PW_VERSION_REGISTRY_EVENTS, &Impl::OnGlobal,
                                                          &Impl::OnGlobalRemove};
        pw_core_add_listener(core, &coreListener, &coreEvents, this);
        registry = pw_core_get_registry(core, PW_VERSION_REGISTRY, 0);
        pw_registry_add_listener(registry, &registryListener, &registryEvents, this);
    }
    // Twice: the metadata bound in the first round answers in the second.
    const bool answered = core != nullptr && Roundtrip() && Roundtrip();
    pw_thread_loop_unlock(loop);
    if (!answered) {
        Disconnect(false);
        return kPipeWireUnreachable;
    }
    return kOk;
}

void PipeWireEffects::Impl::Disconnect(bool giveBackDefaults) {
    if (loop == nullptr) {
        return;
    }
    pw_thread_loop_lock(loop);
    if (giveBackDefaults && !broken && core != nullptr) {
        Unload(eq);
        Unload(voice);
        Roundtrip(); // the defaults must reach the daemon before we go
    }
    for (Chain* chain : {&eq, &voice}) {
        if (chain->node != nullptr) {
            pw_proxy_destroy(chain->node);
        }
        if (chain->module != nullptr) {
            pw_impl_module_destroy(chain->module);
        }
        chain->Reset();
    }
    // Bound proxies go before the core that owns them.
    nodes.clear();
    devices.clear();
    if (metadata != nullptr) {
        spa_hook_remove(&metadataListener);
        pw_proxy_destroy(reinterpret_cast<pw_proxy*>(metadata));
        metadata = nullptr;
    }
    if (registry != nullptr) {
        spa_hook_remove(&registryListener);
        pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
        registry = nullptr;
    }
    if (core != nullptr) {
        spa_hook_remove(&coreListener);
        pw_core_disconnect(core);
        core = nullptr;
    }
    pw_thread_loop_unlock(loop);
    pw_thread_loop_stop(loop);
    if (context != nullptr) {
        pw_context_destroy(context);
        context = nullptr;
    }
    pw_thread_loop_destroy(loop);
    loop = nullptr;
    defaults.clear();
    broken = false;
}

std::string PipeWireEffects::Impl::HeadsetNode(const char* mediaClass) const {
    for (const auto& [id, node] : nodes) {
        const Props& props = node->props;
        if (Get(props, "media.class") != mediaClass) {
            continue;
        }
        bool headset = IsHeadset(props);
        if (!headset && !Get(props, "device.id").empty()) {
            const auto device =
                devices.find(uint32_t(std::strtoul(Get(props, "device.id").c_str(), nullptr, 10)));
            headset = device != devices.end() && IsHeadset(device->second->props);
        }
        if (headset) {
            return Get(props, "node.name");
        }
    }
    return {};
}

void PipeWireEffects::Impl::SetDefault(const char* key, const std::string& value) {
    if (metadata != nullptr) {
        pw_metadata_set_property(metadata, PW_ID_CORE, key, value.empty() ? nullptr : "Spa:String:JSON",
                                 value.empty() ? nullptr : value.c_str());
    }
}

int32_t PipeWireEffects::Impl::Load(Chain& chain, const std::string& args, const char* defaultKey,
                                    const std::string& headsetNode) {
    pw_impl_module* module =
        pw_context_load_module(context, "libpipewire-module-filter-chain", args.c_str(), nullptr);
    if (module == nullptr) {
        std::fprintf(stderr, "velkor audio: the filter chain did not load: %s\n", std::strerror(errno));
        return kNoSuchControl;
    }
    chain.module = module;
    static const pw_impl_module_events events = [] {
        pw_impl_module_events e{};
        e.version = PW_VERSION_IMPL_MODULE_EVENTS;
        e.destroy = [](void* data) {
            Chain* ended = static_cast<Chain*>(data);
            spa_hook_remove(&ended->moduleListener);
            ended->module = nullptr;
        };
        return e;
    }();
    pw_impl_module_add_listener(module, &chain.moduleListener, &events, &chain);
    chain.defaultKey = defaultKey;
    // The chain stands in for the headset as the default while the headset was it.
    const std::string runningKey =
        std::strcmp(defaultKey, kSinkKey) == 0 ? "default.audio.sink" : "default.audio.source";
    const auto running = defaults.find(runningKey);
    if (running != defaults.end() && JsonName(running->second) == headsetNode) {
        const auto configured = defaults.find(defaultKey);
        chain.previousDefault = configured == defaults.end() ? std::string() : configured->second;
        chain.tookDefault = true;
        SetDefault(defaultKey, "{ \"name\": \"" + chain.nodeName + "\" }");
    }
    return kOk;
}

void PipeWireEffects::Impl::Unload(Chain& chain) {
    if (chain.module == nullptr) {
        return;
    }
    if (chain.tookDefault) {
        const auto configured = defaults.find(chain.defaultKey);
        // Only while it is still ours: the user may have chosen another since.
        if (configured != defaults.end() && JsonName(configured->second) == chain.nodeName) {
            SetDefault(chain.defaultKey, chain.previousDefault);
        }
    }
    if (chain.node != nullptr) {
        pw_proxy_destroy(chain.node);
    }
    pw_impl_module_destroy(chain.module);
    chain.Reset();
}

void PipeWireEffects::Impl::ApplyControls(Chain& chain) {
    if (chain.node == nullptr) {
        return;
    }
    uint8_t buffer[2048];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
    spa_pod_frame object{};
    spa_pod_frame list{};
    spa_pod_builder_push_object(&builder, &object, SPA_TYPE_OBJECT_Props, SPA_PARAM_Props);
    spa_pod_builder_prop(&builder, SPA_PROP_params, 0);
    spa_pod_builder_push_struct(&builder, &list);
    if (&chain == &eq) {
        spa_pod_builder_string(&builder, "headroom:Gain 1");
        spa_pod_builder_float(&builder, float(HeadroomGain(bands)));
        for (int i = 0; i < kBandCount; ++i) {
            const std::string control = "eq" + std::to_string(i + 1) + ":Gain";
            spa_pod_builder_string(&builder, control.c_str());
            spa_pod_builder_float(&builder, float(BandDb(bands[size_t(i)])));
        }
    } else {
        spa_pod_builder_string(&builder, "pitch:Semitones");
        spa_pod_builder_float(&builder, float(semitones));
    }
    spa_pod_builder_pop(&builder, &list);
    const spa_pod* param = static_cast<const spa_pod*>(spa_pod_builder_pop(&builder, &object));
    pw_node_set_param(reinterpret_cast<pw_node*>(chain.node), SPA_PARAM_Props, 0, param);
}

PipeWireEffects::PipeWireEffects() : m_impl(std::make_unique<Impl>()) {
    m_impl->eq.nodeName = kEqNode;
    m_impl->voice.nodeName = kVoiceNode;
}

PipeWireEffects::~PipeWireEffects() = default;

void PipeWireEffects::BeginCall() {
    m_impl->callEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCallTimeoutMs);
}

int32_t PipeWireEffects::Reachable() {
    Impl& impl = *m_impl;
    if (impl.loop != nullptr) {
        pw_thread_loop_lock(impl.loop);
        // Two rounds: objects bound in the first send their properties in the second.
        const bool answered = !impl.broken && impl.Roundtrip() && impl.Roundtrip();
        pw_thread_loop_unlock(impl.loop);
        if (answered) {
            return kOk;
        }
        impl.Disconnect(false);
    }
    return impl.Connect();
}

int32_t PipeWireEffects::SetEqualiser(bool on, const std::array<int32_t, kBandCount>& bands) {
    Impl& impl = *m_impl;
    if (const int32_t status = Reachable(); status != kOk) {
        return status;
    }
    pw_thread_loop_lock(impl.loop);
    impl.bands = bands;
    int32_t status = kOk;
    if (!on) {
        impl.Unload(impl.eq);
    } else if (impl.eq.module == nullptr) {
        const std::string sink = impl.HeadsetNode("Audio/Sink");
        status =
            sink.empty() ? kNoSuchControl : impl.Load(impl.eq, EqualiserArgs(sink, bands), kSinkKey, sink);
    }
    pw_thread_loop_unlock(impl.loop);
    return status;
}

int32_t PipeWireEffects::SetBands(const std::array<int32_t, kBandCount>& bands) {
    Impl& impl = *m_impl;
    if (impl.loop == nullptr) {
        impl.bands = bands;
        return kOk;
    }
    pw_thread_loop_lock(impl.loop);
    impl.bands = bands;
    impl.ApplyControls(impl.eq); // a node not yet there takes them when it comes
    pw_thread_loop_unlock(impl.loop);
    return kOk;
}

bool PipeWireEffects::EqualiserLoaded() const {
    return m_impl->eq.module != nullptr;
}

int32_t PipeWireEffects::SetVoiceChanger(bool on, int32_t voice, const std::string& plugin) {
    Impl& impl = *m_impl;
    if (on && plugin.empty()) {
        return kPitchShifterMissing;
    }
    if (const int32_t status = Reachable(); status != kOk) {
        return status;
    }
    pw_thread_loop_lock(impl.loop);
    impl.semitones = kVoiceSemitones[size_t(std::clamp(voice, 0, 3))];
    int32_t status = kOk;
    if (!on) {
        impl.Unload(impl.voice);
    } else if (impl.voice.module == nullptr) {
        const std::string source = impl.HeadsetNode("Audio/Source");
        status = source.empty()
                     ? kNoSuchControl
                     : impl.Load(impl.voice, VoiceArgs(source, plugin, impl.semitones), kSourceKey, source);
    }
    pw_thread_loop_unlock(impl.loop);
    return status;
}

int32_t PipeWireEffects::SetVoice(int32_t voice) {
    Impl& impl = *m_impl;
    if (impl.loop == nullptr) {
        impl.semitones = kVoiceSemitones[size_t(std::clamp(voice, 0, 3))];
        return kOk;
    }
    pw_thread_loop_lock(impl.loop);
    impl.semitones = kVoiceSemitones[size_t(std::clamp(voice, 0, 3))];
    impl.ApplyControls(impl.voice);
    pw_thread_loop_unlock(impl.loop);
    return kOk;
}

bool PipeWireEffects::VoiceChangerLoaded() const {
    return m_impl->voice.module != nullptr;
}

} // namespace velkor::linuxaudio
