#include "devices/KeyboardLiveStream.h"

#include "devices/LightTables.h"
#include "platform/Trace.h"
#include "transport/DeviceTransport.h"

namespace velkor {

namespace {

constexpr std::string_view kTraceStreamExit = "KB灯光流线程设定退出";

} // namespace

uint64_t SteadyStreamClock::NowUs() const {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(since).count());
}

bool SteadyStreamClock::WaitUntil(uint64_t deadlineUs, const StopEvent& stop) const {
    const std::chrono::steady_clock::time_point deadline{std::chrono::microseconds(deadlineUs)};
    return stop.WaitUntil(deadline);
}

uint32_t StreamDeadlines::Advance(uint64_t nowUs, uint64_t periodUs) {
    if (periodUs == 0) {
        m_next = nowUs;
        return 0;
    }
    const uint64_t late = nowUs > m_next ? nowUs - m_next : 0;
    const uint64_t missed = late / periodUs;
    m_next += (missed + 1) * periodUs;
    return uint32_t(missed);
}

KeyboardLiveStream::KeyboardLiveStream(DeviceTransport& transport, LedState& leds,
                                       std::function<bool()> lightControl, const StreamClock& clock)
    : m_transport(transport), m_leds(leds), m_lightControl(std::move(lightControl)), m_clock(clock) {
    m_ledCopy.reserve(kScreenKeyCount);
}

KeyboardLiveStream::~KeyboardLiveStream() {
    Join();
}

void KeyboardLiveStream::SetLayout(const KeyboardKeyMaps& maps, int positions) {
    std::lock_guard lock(m_layoutMutex);
    m_maps = maps;
    m_positions = positions;
}

bool KeyboardLiveStream::Start() {
    if (m_shutDown) {
        return false;
    }
    if (m_thread.IsRunning()) {
        return true;
    }
    return m_thread.Start([this](const StopEvent& stop) { Run(stop); }, kStopWaitMs);
}

void KeyboardLiveStream::Stop() {
    m_thread.Stop(kStopWaitMs);
}

void KeyboardLiveStream::Join() {
    Stop();
    m_thread.JoinStopped();
}

void KeyboardLiveStream::Shutdown() {
    m_shutDown = true;
    Join();
}

KeyboardLiveStream::Stats KeyboardLiveStream::Statistics() const {
    return {m_frames.load(), m_failures.load(), m_missed.load()};
}

void KeyboardLiveStream::Run(const StopEvent& stop) {
    StreamDeadlines deadlines;
    deadlines.Start(m_clock.NowUs());
    while (!m_clock.WaitUntil(deadlines.Next(), stop)) {
        const uint64_t now = m_clock.NowUs();
        const uint64_t period = m_transport.OnReceiver() ? kReceiverPeriodUs : kCablePeriodUs;
        m_missed += deadlines.Advance(now, period);
        SendFrame(now);
    }
    Trace(kTraceStreamExit);
}

void KeyboardLiveStream::SendFrame(uint64_t nowUs) {
    if (m_quiet && nowUs - m_failedAtUs >= kFailureQuietUs) {
        m_quiet = false;
    }
    if (m_quiet || !m_transport.IsOpen() || (m_lightControl && !m_lightControl())) {
        return;
    }
    const size_t length = BuildFrame();
    if (length == 0) {
        return;
    }
    const int result = m_transport.SendLiveColours(m_frame.data(), uint16_t(length));
    ++m_frames;
    if (result != kResultOk) {
        ++m_failures;
        // A keyboard that stops answering costs a transfer time-out per
        // frame: give it a rest rather than retry at the frame rate.
        m_quiet = true;
        m_failedAtUs = nowUs;
    }
}

size_t KeyboardLiveStream::BuildFrame() {
    int positions = 0;
    {
        std::lock_guard lock(m_layoutMutex);
        m_frameMaps = m_maps;
        positions = m_positions;
    }
    if (positions <= 0 || size_t(positions) * 3 > m_frame.size()) {
        return 0;
    }
    // Copied into storage reserved once: a whole rendering, no allocation.
    bool direct = false;
    const bool streamed = m_leds.With([this, &direct](const LedFrame& frame) {
        const int effect = frame.light.selectItem;
        direct = frame.direct;
        if (!direct && effect != kAudioEffect && effect != kBandColourEffect) {
            return false;
        }
        m_ledCopy.assign(frame.leds.begin(), frame.leds.end());
        return true;
    });
    if (!streamed) {
        return 0;
    }
    FillColourFrame(m_frame, m_ledCopy, m_frameMaps, direct ? ColourFrameRule::Exact : ColourFrameRule::Scaled);
    return size_t(positions) * 3;
}

} // namespace velkor
