#pragma once
// The headset's LED frame on the wire: twelve 17-byte output reports (ID
// 0xFF) per frame, and the sender thread that writes them off the
// user-interface thread.
//
// Report layout: byte 1 the LED target (0x22 or 0x44, both get the same
// colours), byte 2 the block (0xAA/0xAB/0xAC red/green/blue of LEDs 0..6,
// 0xAD/0xAE/0xAF of LEDs 7..12), bytes 3..9 the channel values; in the
// 0xAD..0xAF blocks byte 9 repeats LED 6 of the same channel. Order: red to
// 0x22 (0xAA, 0xAD), red to 0x44, green to 0x22, green to 0x44, blue to 0x22,
// blue to 0x44.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>

namespace velkor {

inline constexpr size_t kHeadsetLedCount = 13;
inline constexpr size_t kHeadsetLedReportSize = 17;
inline constexpr size_t kHeadsetLedReportsPerFrame = 12;
inline constexpr uint8_t kHeadsetLedReportId = 0xFF;
// No channel value goes above this.
inline constexpr uint8_t kHeadsetChannelCap = 247;

using HeadsetLedReport = std::array<uint8_t, kHeadsetLedReportSize>;
using HeadsetLedFrame = std::array<HeadsetLedReport, kHeadsetLedReportsPerFrame>;

// The frame for packed LEDs (byte 0 red .. byte 3 level): each channel
// channel x level >> 8, capped at 247; LEDs past `leds` are 0.
HeadsetLedFrame BuildHeadsetLedFrame(std::span<const uint32_t> leds);

// Writes frames on a thread of its own, holding one pending frame: a frame
// submitted before the previous pending one started replaces it, so a slow
// interface never queues work. `write` sends one report and may block; a
// refused report does not stop the frame, it only marks it failed
// (LastFrameFailed), so that the caller may send it again.
class HeadsetLedSender {
public:
    using WriteReport = std::function<bool(const HeadsetLedReport& report)>;

    explicit HeadsetLedSender(WriteReport write);
    // Stops and joins the thread (after the report in progress).
    ~HeadsetLedSender();
    HeadsetLedSender(const HeadsetLedSender&) = delete;
    HeadsetLedSender& operator=(const HeadsetLedSender&) = delete;

    // Never blocks on a write. Starts the thread at the first frame. False
    // after Stop.
    bool Submit(const HeadsetLedFrame& frame);
    // Ends the thread after the report in progress; a pending frame is dropped.
    void Stop();
    // Frames written whole, and frames replaced before they started.
    uint64_t FramesSent() const;
    uint64_t FramesReplaced() const;
    // The last frame written had a report refused, or was cut short by Stop;
    // false before the first.
    bool LastFrameFailed() const;
    // Waits until no frame is pending or being written (tests).
    bool WaitIdle(uint32_t timeoutMs) const;

private:
    void Run();

    WriteReport m_write;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::optional<HeadsetLedFrame> m_pending;
    bool m_writing = false;
    bool m_stopping = false;
    bool m_lastFailed = false;
    uint64_t m_sent = 0;
    uint64_t m_replaced = 0;
    std::thread m_thread;
};

} // namespace velkor
