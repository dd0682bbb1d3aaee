#pragma once
// Capture of what the computer plays, through libpulse's asynchronous API
// (served by PulseAudio or by PipeWire's pipewire-pulse).
//
// PulseCapture records float32 mono at the source's own rate from the default
// output's monitor ("@DEFAULT_MONITOR@") or from a named source, with a
// fragment of three hops (hop = rate / 93.75 samples), so that the samples
// come in about 31 times a second. It keeps going on its own:
//  - while no sound server answers it says WaitingForServer and tries again
//    every half second (also after the server went away);
//  - a named source that does not exist gives NoSuchSource until a source
//    appears on the server, which is then tried again;
//  - when the default output changes, the monitor of the new one is taken;
//  - a source that goes away ends the stream (it is never moved to another
//    source, which could be a microphone) and is looked up again.
// Everything runs on the thread of the pa_mainloop whose API it is given, and
// every handler is called there.
#include <pulse/def.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>

struct pa_mainloop_api;
struct pa_context;
struct pa_stream;
struct pa_time_event;
struct pa_source_info;
struct pa_server_info;

namespace velkor {

enum class CaptureState {
    WaitingForServer,
    NoSuchSource,
    Capturing,
};

class PulseCapture {
public:
    using SamplesHandler = std::function<void(std::span<const float> samples)>;
    // The state and, while capturing, the sample rate (0 otherwise).
    using StateHandler = std::function<void(CaptureState state, uint32_t rate)>;

    // `source` empty: the default output's monitor.
    PulseCapture(pa_mainloop_api* api, std::string source, SamplesHandler samples, StateHandler state);
    ~PulseCapture();
    PulseCapture(const PulseCapture&) = delete;
    PulseCapture& operator=(const PulseCapture&) = delete;

    // Starts connecting (idempotent). Reports WaitingForServer first.
    void Start();
    // Closes the stream and the connection; Start begins again.
    void Stop();

    CaptureState State() const { return m_state; }
    uint32_t Rate() const { return m_rate; }
    // The source recorded now (empty when none).
    const std::string& SourceName() const { return m_sourceName; }

private:
    void Connect();
    void DropContext();
    void ScheduleRetry();
    void LookUp();
    void OpenStream(const pa_source_info& info);
    void CloseStream();
    void SetState(CaptureState state, uint32_t rate);

    static void OnContextState(pa_context* context, void* self);
    static void OnServerInfo(pa_context* context, const pa_server_info* info, void* self);
    static void OnSourceInfo(pa_context* context, const pa_source_info* info, int eol, void* self);
    static void OnEvent(pa_context* context, pa_subscription_event_type_t type, uint32_t index, void* self);
    static void OnStreamState(pa_stream* stream, void* self);
    static void OnRead(pa_stream* stream, size_t bytes, void* self);
    static void OnRetry(pa_mainloop_api* api, pa_time_event* event, const struct timeval* tv, void* self);

    pa_mainloop_api* m_api;
    const std::string m_source;
    SamplesHandler m_samples;
    StateHandler m_stateHandler;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    pa_time_event* m_retry = nullptr;
    bool m_started = false;
    bool m_lookingUp = false;
    CaptureState m_state = CaptureState::WaitingForServer;
    bool m_stateReported = false;
    uint32_t m_rate = 0;
    std::string m_sourceName;
    std::string m_defaultSink; // the default output the monitor belongs to
};

} // namespace velkor
