#pragma once
// The live colour stream of the keyboard's host-driven effects (29, 30): a
// thread of its own sends the LED buffer, scaled by each key's level, to
// the keyboard with SendLiveColours every 10 ms on the cable and every 50 ms
// through the receiver.
//
// Promises:
//   - frames go out on absolute deadlines: the next deadline is the previous
//     one plus the period; a frame that starts late skips the deadlines it
//     missed and counts them, so the stream never bunches frames up;
//   - every frame is one whole rendering (the buffer is copied under the LED
//     lock) and is built without allocating;
//   - nothing is sent while the light-control flag is clear, the transport
//     is closed or neither the effect is 29 or 30 nor Direct is on; chunks are dropped (never
//     queued) while the transport is busy with another exchange;
//   - after a frame that failed, nothing is sent for 200 ms;
//   - no other thread waits for a frame: Stop waits at most 50 ms (a thread
//     still inside a transfer then ends by itself and is joined at the next
//     Start or at destruction).
//
// Start, Stop and SetLayout are called by the owner (the user-interface
// thread); Stats from any thread.
#include "devices/DeviceThread.h"
#include "devices/KeyboardLayout.h"
#include "devices/LedState.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace velkor {

class DeviceTransport;

// The stream's time: microseconds, and a wait until a deadline that the
// stop event ends early.
class StreamClock {
public:
    virtual ~StreamClock() = default;
    virtual uint64_t NowUs() const = 0;
    // Waits until `deadlineUs` (at once when it has passed); true when `stop` is set.
    virtual bool WaitUntil(uint64_t deadlineUs, const StopEvent& stop) const = 0;
};

class SteadyStreamClock final : public StreamClock {
public:
    uint64_t NowUs() const override;
    bool WaitUntil(uint64_t deadlineUs, const StopEvent& stop) const override;
};

// Deadlines on a fixed grid of one period.
class StreamDeadlines {
public:
    // The first deadline is `nowUs`.
    void Start(uint64_t nowUs) { m_next = nowUs; }
    uint64_t Next() const { return m_next; }
    // The frame of deadline Next() starts at `nowUs`: the next deadline is
    // Next() + period, or the first of the grid after `nowUs` when that has
    // passed too. Returns the deadlines skipped.
    uint32_t Advance(uint64_t nowUs, uint64_t periodUs);

private:
    uint64_t m_next = 0;
};

class KeyboardLiveStream {
public:
    static constexpr uint64_t kCablePeriodUs = 10'000;
    static constexpr uint64_t kReceiverPeriodUs = 50'000;
    static constexpr uint64_t kFailureQuietUs = 200'000;
    static constexpr int kAudioEffect = 29;
    static constexpr int kBandColourEffect = 30;
    static constexpr uint32_t kStopWaitMs = 50;

    struct Stats {
        uint64_t frames = 0;      // frames sent whole or in part (chunks dropped while busy)
        uint64_t failures = 0;    // frames the transport refused
        uint64_t missedTicks = 0; // deadlines skipped because a frame started late
    };

    // `lightControl` tells whether this program drives the keyboard's LEDs
    // (called on the stream thread). The arguments must outlive the stream.
    KeyboardLiveStream(DeviceTransport& transport, LedState& leds, std::function<bool()> lightControl,
                       const StreamClock& clock);
    // Stops the thread and waits until it has ended.
    ~KeyboardLiveStream();
    KeyboardLiveStream(const KeyboardLiveStream&) = delete;
    KeyboardLiveStream& operator=(const KeyboardLiveStream&) = delete;

    // Where each key's colour goes in the frame and how long the frame is
    // (`positions` x 3 bytes; nothing is sent for 0). Any thread.
    void SetLayout(const KeyboardKeyMaps& maps, int positions);
    // Starts the thread unless it runs. False when it could not be started,
    // or after Shutdown.
    bool Start();
    // Asks the thread to end; waits at most kStopWaitMs for it.
    void Stop();
    // Stop, then waits until the thread has ended.
    void Join();
    // Join, and no start from now on (the owner is going).
    void Shutdown();
    bool Running() const { return m_thread.IsRunning(); }
    Stats Statistics() const;

private:
    void Run(const StopEvent& stop);
    // The frame of one deadline at `nowUs`.
    void SendFrame(uint64_t nowUs);
    // Copies the buffer and, in effects 29 and 30, builds the frame; the
    // frame's length, or 0 when nothing is to be sent.
    size_t BuildFrame();

    DeviceTransport& m_transport;
    LedState& m_leds;
    std::function<bool()> m_lightControl;
    const StreamClock& m_clock;

    mutable std::mutex m_layoutMutex;
    KeyboardKeyMaps m_maps;
    int m_positions = 0;

    // Stream thread only.
    std::vector<uint32_t> m_ledCopy;
    KeyboardKeyMaps m_frameMaps;
    KeyTransferBuffer m_frame{};
    bool m_quiet = false;
    uint64_t m_failedAtUs = 0;

    bool m_shutDown = false;
    std::atomic<uint64_t> m_frames{0};
    std::atomic<uint64_t> m_failures{0};
    std::atomic<uint64_t> m_missed{0};

    DeviceThread m_thread; // last: it goes first
};

} // namespace velkor
