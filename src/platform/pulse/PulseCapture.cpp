#include "platform/pulse/PulseCapture.h"

#include "platform/Trace.h"

#include <pulse/pulseaudio.h>

#include <cmath>

namespace velkor {
namespace {

constexpr pa_usec_t kRetryUsec = 500 * PA_USEC_PER_MSEC;
constexpr const char* kDefaultMonitor = "@DEFAULT_MONITOR@";
constexpr double kHopsPerSecond = 93.75;
constexpr uint32_t kHopsPerFragment = 3;

} // namespace

PulseCapture::PulseCapture(pa_mainloop_api* api, std::string source, SamplesHandler samples,
                           StateHandler state)
    : m_api(api), m_source(std::move(source)), m_samples(std::move(samples)),
      m_stateHandler(std::move(state)) {}

PulseCapture::~PulseCapture() {
    Stop();
}

void PulseCapture::SetState(CaptureState state, uint32_t rate) {
    if (m_stateReported && state == m_state && rate == m_rate) {
        return;
    }
    m_stateReported = true;
    m_state = state;
    m_rate = rate;
    if (m_stateHandler) {
        m_stateHandler(state, rate);
    }
}

void PulseCapture::Start() {
    if (m_started) {
        return;
    }
    m_started = true;
    SetState(CaptureState::WaitingForServer, 0);
    Connect();
}

void PulseCapture::Stop() {
    m_started = false;
    if (m_retry != nullptr) {
        m_api->time_free(m_retry);
        m_retry = nullptr;
    }
    DropContext();
}

void PulseCapture::Connect() {
    m_context = pa_context_new(m_api, "velkor-audio");
    if (m_context == nullptr) {
        ScheduleRetry();
        return;
    }
    pa_context_set_state_callback(m_context, &OnContextState, this);
    // NOFAIL: a server that is not there yet is waited for rather than an error.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOFAIL, nullptr) < 0) {
        TraceF("audio: cannot connect to the sound server: %s", pa_strerror(pa_context_errno(m_context)));
        DropContext();
        ScheduleRetry();
    }
}

void PulseCapture::DropContext() {
    CloseStream();
    if (m_context != nullptr) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    m_lookingUp = false;
    m_defaultSink.clear();
}

void PulseCapture::ScheduleRetry() {
    if (!m_started || m_retry != nullptr) {
        return;
    }
    timeval when = {};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, kRetryUsec);
    m_retry = m_api->time_new(m_api, &when, &OnRetry, this);
}

void PulseCapture::OnRetry(pa_mainloop_api* api, pa_time_event* event, const struct timeval*,
                           void* userdata) {
    auto* self = static_cast<PulseCapture*>(userdata);
    api->time_free(event);
    self->m_retry = nullptr;
    if (!self->m_started) {
        return;
    }
    self->DropContext(); // a failed context cannot be used again
    self->Connect();
}

void PulseCapture::OnContextState(pa_context* context, void* userdata) {
    auto* self = static_cast<PulseCapture*>(userdata);
    if (context != self->m_context) {
        return;
    }
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: {
        TraceF("audio: connected to %s", pa_context_get_server(context));
        pa_context_set_subscribe_callback(context, &OnEvent, self);
        const auto mask = pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_SOURCE);
        if (pa_operation* op = pa_context_subscribe(context, mask, nullptr, nullptr)) {
            pa_operation_unref(op);
        }
        self->LookUp();
        break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        TraceF("audio: the sound server went away: %s", pa_strerror(pa_context_errno(context)));
        self->CloseStream();
        self->SetState(CaptureState::WaitingForServer, 0);
        self->ScheduleRetry(); // the context is dropped there, outside its own callback
        break;
    default:
        break;
    }
}

void PulseCapture::LookUp() {
    if (m_context == nullptr || m_lookingUp) {
        return;
    }
    m_lookingUp = true;
    // The server's default output first (to notice when it changes), then the source.
    if (pa_operation* op = pa_context_get_server_info(m_context, &OnServerInfo, this)) {
        pa_operation_unref(op);
    } else {
        m_lookingUp = false;
    }
}

void PulseCapture::OnServerInfo(pa_context* context, const pa_server_info* info, void* userdata) {
    auto* self = static_cast<PulseCapture*>(userdata);
    if (context != self->m_context) {
        return;
    }
    const std::string sink =
        info != nullptr && info->default_sink_name != nullptr ? info->default_sink_name : "";
    if (self->m_stream != nullptr && !self->m_lookingUp) {
        // A server change: follow a new default output when recording its monitor.
        if (self->m_source.empty() && sink != self->m_defaultSink) {
            TraceF("audio: the default output is now %s", sink.c_str());
            self->m_defaultSink = sink;
            self->CloseStream();
            self->m_lookingUp = true;
        } else {
            return;
        }
    }
    self->m_defaultSink = sink;
    const std::string name = self->m_source.empty() ? kDefaultMonitor : self->m_source;
    if (pa_operation* op = pa_context_get_source_info_by_name(context, name.c_str(), &OnSourceInfo, self)) {
        pa_operation_unref(op);
    } else {
        self->m_lookingUp = false;
    }
}

void PulseCapture::OnSourceInfo(pa_context* context, const pa_source_info* info, int eol, void* userdata) {
    auto* self = static_cast<PulseCapture*>(userdata);
    if (context != self->m_context) {
        return;
    }
    if (info != nullptr) {
        self->m_lookingUp = false;
        self->OpenStream(*info);
        return;
    }
    if (eol < 0 && self->m_lookingUp) {
        self->m_lookingUp = false;
        TraceF("audio: no source %s", self->m_source.empty() ? kDefaultMonitor : self->m_source.c_str());
        self->SetState(CaptureState::NoSuchSource, 0);
    }
}

void PulseCapture::OnEvent(pa_context* context, pa_subscription_event_type_t type, uint32_t, void* userdata) {
    auto* self = static_cast<PulseCapture*>(userdata);
    if (context != self->m_context) {
        return;
    }
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER && self->m_stream != nullptr && !self->m_lookingUp) {
        if (pa_operation* op = pa_context_get_server_info(context, &OnServerInfo, self)) {
            pa_operation_unref(op);
        }
    } else if (facility == PA_SUBSCRIPTION_EVENT_SOURCE && kind == PA_SUBSCRIPTION_EVENT_NEW &&
               self->m_stream == nullptr) {
        self->LookUp(); // the source asked for may have come
    }
}

void PulseCapture::OpenStream(const pa_source_info& info) {
    CloseStream();
    const uint32_t rate = info.sample_spec.rate;
    const pa_sample_spec format = {PA_SAMPLE_FLOAT32LE, rate, 1};
    const auto hop = uint32_t(std::lround(rate / kHopsPerSecond));
    pa_buffer_attr attr = {};
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(-1);
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(-1);
    attr.fragsize = kHopsPerFragment * hop * uint32_t(sizeof(float));
    m_stream = pa_stream_new(m_context, "velkor-audio capture", &format, nullptr);
    if (m_stream == nullptr) {
        TraceF("audio: no stream: %s", pa_strerror(pa_context_errno(m_context)));
        return;
    }
    pa_stream_set_state_callback(m_stream, &OnStreamState, this);
    pa_stream_set_read_callback(m_stream, &OnRead, this);
    m_sourceName = info.name != nullptr ? info.name : "";
    m_rate = rate;
    const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(m_stream, m_sourceName.c_str(), &attr, flags) < 0) {
        TraceF("audio: cannot record %s: %s", m_sourceName.c_str(), pa_strerror(pa_context_errno(m_context)));
        CloseStream();
        SetState(CaptureState::NoSuchSource, 0);
    }
}

void PulseCapture::CloseStream() {
    if (m_stream == nullptr) {
        return;
    }
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_set_read_callback(m_stream, nullptr, nullptr);
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
    m_sourceName.clear();
}

void PulseCapture::OnStreamState(pa_stream* stream, void* userdata) {
    auto* self = static_cast<PulseCapture*>(userdata);
    if (stream != self->m_stream) {
        return;
    }
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        TraceF("audio: recording %s at %u Hz", self->m_sourceName.c_str(), self->m_rate);
        self->SetState(CaptureState::Capturing, self->m_rate);
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        // The source went away (its output was removed): look it up again.
        TraceF("audio: the recording of %s ended", self->m_sourceName.c_str());
        self->CloseStream();
        if (pa_context_get_state(self->m_context) == PA_CONTEXT_READY) {
            self->SetState(CaptureState::NoSuchSource, 0);
            self->LookUp();
        }
        break;
    default:
        break;
    }
}

void PulseCapture::OnRead(pa_stream* stream, size_t, void* userdata) {
    auto* self = static_cast<PulseCapture*>(userdata);
    const void* data = nullptr;
    size_t bytes = 0;
    while (stream == self->m_stream && pa_stream_readable_size(stream) > 0) {
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) {
            return;
        }
        // A hole (data null) carries no samples; only whole samples are passed on.
        if (data != nullptr && self->m_samples) {
            self->m_samples(std::span<const float>(static_cast<const float*>(data), bytes / sizeof(float)));
        }
        if (stream != self->m_stream) {
            return; // the handler stopped the capture
        }
        pa_stream_drop(stream);
    }
}

} // namespace velkor
