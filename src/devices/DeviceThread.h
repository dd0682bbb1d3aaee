#pragma once
// The worker threads of a device (its light thread and its event threads):
// a std::thread with a manual-reset stop event.
//
// A thread is never ended by force. Its body waits only on its stop event,
// on transfers with a short time-out or on a wait that the stopper ends (the
// wake of Stop), so once the event is set it ends by itself soon; a stop
// that does not see it end within its bound reports the time-out and stops
// waiting, and the thread is joined later (JoinStopped, the next start, or
// when the DeviceThread goes away). So no thread can die while it holds a
// transport lock.
//
// Start, Stop and JoinStopped are called by the owner, one thread at a time.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace velkor {

// A manual-reset event: once set it stays set until reset. Thread-safe.
class StopEvent {
public:
    void Set();
    void Reset();
    bool IsSet() const;
    // Waits up to `ms` for the event. True when it is set (at once if it already was).
    bool WaitFor(uint32_t ms) const;
    // Waits until `deadline` for the event. True when it is set.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline) const;

    // A wait without a time limit (WaitForWake only).
    static constexpr uint32_t kNoTimeLimit = UINT32_MAX;
    // Ends a WaitForWake now or the next one at once, without setting the event.
    void Wake();
    // Waits up to `ms` (kNoTimeLimit: until woken or set) for the event or a
    // Wake, and takes the wake. True when the event is set.
    bool WaitForWake(uint32_t ms) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_set = false;
    mutable bool m_woken = false;
};

enum class ThreadStopOutcome {
    NotRunning, // there was no thread; nothing traced
    Ended,      // it ended within the bound
    Abandoned,  // kept for the trace contract; std::thread cannot produce it
    TimedOut,   // it had not ended within the bound; it will end by itself and is joined later
    Failed,     // the wait itself failed (a thread asked to stop itself)
};

// Trace lines of a stop, by outcome (each ends with a line feed).
inline constexpr std::string_view kTraceThreadEnded = "线程退出：：对象处于激发状态\n";
inline constexpr std::string_view kTraceThreadAbandoned =
    "线程退出：：对象处于激发状态，但其中有未释放的Mutex 对象\n";
inline constexpr std::string_view kTraceThreadTimedOut = "线程退出：：对象处于非激发状态，超时\n";
inline constexpr std::string_view kTraceThreadFailed = "线程退出：：错误\n";
std::string_view StopOutcomeTrace(ThreadStopOutcome outcome);

class DeviceThread {
public:
    // The body runs until it returns; it must watch the stop event.
    using Body = std::function<void(const StopEvent& stop)>;

    DeviceThread() = default;
    // Sets the stop event of every thread still alive and joins them.
    ~DeviceThread();
    DeviceThread(const DeviceThread&) = delete;
    DeviceThread& operator=(const DeviceThread&) = delete;

    // Stops a running thread first (waiting up to `stopWaitMs`), waits for any
    // earlier thread that has not ended yet, then runs `body` on a new thread
    // with a new, unsignalled stop event. False when the thread could not be
    // created (nothing runs then).
    bool Start(Body body, uint32_t stopWaitMs);
    // Sets the stop event, runs `wake` (it ends a wait the event cannot end,
    // such as a read without a time-out) and waits up to `waitMs` for the
    // body to return; emits the trace line of the outcome (none for
    // NotRunning, when `wake` does not run either).
    ThreadStopOutcome Stop(uint32_t waitMs, const std::function<void()>& wake = {});
    // A thread was started and not stopped since.
    bool IsRunning() const { return m_current != nullptr; }
    // Waits for the stopped threads that had not ended within their bound.
    // They all end: their stop event is set and every wait in them ends on it.
    void JoinStopped();
    // Wakes the running body's WaitForWake (StopEvent::Wake). Any thread.
    void Wake();
    // Threads that were stopped but had not ended yet.
    size_t LingeringCount() const { return m_lingering.size(); }

private:
    struct Shared {
        StopEvent stop;
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
    };
    struct Record {
        std::shared_ptr<Shared> shared;
        std::thread thread;
    };

    std::unique_ptr<Record> m_current;
    std::vector<Record> m_lingering;
    // The running body's shared state for Wake, which other threads may call.
    std::mutex m_wakeMutex;
    std::shared_ptr<Shared> m_wakeTarget;
};

} // namespace velkor
