#include "headset/HeadsetLedFrame.h"

#include <algorithm>
#include <chrono>

namespace velkor {

namespace {

uint8_t Channel(uint32_t led, int shift) {
    const uint32_t level = led >> 24;
    const uint32_t value = (((led >> shift) & 0xFF) * level) >> 8;
    return uint8_t(std::min<uint32_t>(value, kHeadsetChannelCap));
}

} // namespace

HeadsetLedFrame BuildHeadsetLedFrame(std::span<const uint32_t> leds) {
    std::array<std::array<uint8_t, kHeadsetLedCount>, 3> channels{};
    for (size_t i = 0; i < kHeadsetLedCount && i < leds.size(); ++i) {
        for (int c = 0; c < 3; ++c) {
            channels[size_t(c)][i] = Channel(leds[i], 8 * c);
        }
    }
    HeadsetLedFrame frame{};
    size_t n = 0;
    for (int c = 0; c < 3; ++c) {
        for (const uint8_t target : {uint8_t(0x22), uint8_t(0x44)}) {
            HeadsetLedReport& low = frame[n++];
            low[0] = kHeadsetLedReportId;
            low[1] = target;
            low[2] = uint8_t(0xAA + c);
            std::copy_n(channels[size_t(c)].begin(), 7, low.begin() + 3);
            HeadsetLedReport& high = frame[n++];
            high[0] = kHeadsetLedReportId;
            high[1] = target;
            high[2] = uint8_t(0xAD + c);
            std::copy_n(channels[size_t(c)].begin() + 7, 6, high.begin() + 3);
            // The byte the previous report left there: LED 6 of this channel.
            high[9] = channels[size_t(c)][6];
        }
    }
    return frame;
}

HeadsetLedSender::HeadsetLedSender(WriteReport write) : m_write(std::move(write)) {}

HeadsetLedSender::~HeadsetLedSender() {
    Stop();
}

bool HeadsetLedSender::Submit(const HeadsetLedFrame& frame) {
    std::lock_guard lock(m_mutex);
    if (m_stopping) {
        return false;
    }
    if (m_pending) {
        ++m_replaced;
    }
    m_pending = frame;
    if (!m_thread.joinable()) {
        m_thread = std::thread([this] { Run(); });
    }
    m_changed.notify_all();
    return true;
}

void HeadsetLedSender::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_pending.reset();
        m_changed.notify_all();
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

uint64_t HeadsetLedSender::FramesSent() const {
    std::lock_guard lock(m_mutex);
    return m_sent;
}

uint64_t HeadsetLedSender::FramesReplaced() const {
    std::lock_guard lock(m_mutex);
    return m_replaced;
}

bool HeadsetLedSender::LastFrameFailed() const {
    std::lock_guard lock(m_mutex);
    return m_lastFailed;
}

bool HeadsetLedSender::WaitIdle(uint32_t timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return !m_pending && !m_writing; });
}

void HeadsetLedSender::Run() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [this] { return m_stopping || m_pending.has_value(); });
        if (m_stopping) {
            return;
        }
        const HeadsetLedFrame frame = *m_pending;
        m_pending.reset();
        m_writing = true;
        lock.unlock();
        bool stopped = false;
        bool refused = false;
        for (const HeadsetLedReport& report : frame) {
            refused = !m_write(report) || refused;
            std::lock_guard check(m_mutex);
            if (m_stopping) {
                stopped = true;
                break;
            }
        }
        lock.lock();
        m_writing = false;
        m_lastFailed = stopped || refused;
        if (!stopped) {
            ++m_sent;
        }
        m_changed.notify_all();
    }
}

} // namespace velkor
