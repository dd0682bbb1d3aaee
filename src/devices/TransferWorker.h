#pragma once
// The worker of one device: the exchanges with the device that the window,
// the bus API, a timer or an event ask for run here, one at a time, in the
// order asked, so that none of them blocks the user-interface thread. There
// are two kinds of job:
//   - long transfers (a macro block through the receiver is over a thousand
//     frames, seconds of transfer), posted with Post;
//   - writes of one record of the device (its settings record, which carries
//     the light record), posted with PostLatest under the record's key. They
//     coalesce: while a write of a record waits (not started), a newer write of
//     the same record replaces it, so that whatever runs, at most one write of
//     a record is in flight and one waits, and the last value asked is the
//     last one written. The writes that run keep the order they were asked in
//     (a replaced one is dropped, its replacement joins the end of the queue).
//
// A job may wait only on transfers with their time-out and on its stop event.
// Shutdown sets the event, drops the jobs not started and waits for the
// running one, which ends within its transfer time-out: a stopped write
// stops at its next frame, and an unplugged device fails its frame at once.
//
// Who runs where: Shutdown is called by the owner's thread (the
// user-interface thread), Post and PostLatest by any thread (a device's event
// thread queues its events behind a re-read under way); jobs and the Done functions of a write
// run on the worker thread, those of writes dropped at Shutdown on the thread
// calling Shutdown; Busy and Idle from any thread. WriteTally is thread-safe.
#include "devices/DeviceThread.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace velkor {

class TransferWorker {
public:
    using Job = std::function<void(const StopEvent& stop)>;
    // A write returns the device's result (the transport's codes, 1 success).
    using Write = std::function<int(const StopEvent& stop)>;
    // Hears the result of the write that carried its value (itself or the
    // newer write that replaced it); kResultNoReply (0) when it was dropped at
    // Shutdown. Exactly once.
    using Done = std::function<void(int result)>;

    TransferWorker() = default;
    ~TransferWorker() { Shutdown(); }
    TransferWorker(const TransferWorker&) = delete;
    TransferWorker& operator=(const TransferWorker&) = delete;

    // Queues `job`. False (it never runs) after Shutdown or when the thread
    // cannot be created.
    bool Post(Job job);
    // Queues `write` of the record `key`, replacing a write of that record
    // that has not started (its Done functions move to `write`). False (it
    // never runs, `done` is not called) after Shutdown or when the thread
    // cannot be created.
    bool PostLatest(uint32_t key, Write write, Done done);
    // A long transfer (Post) is running or waiting.
    bool Busy() const;
    // Nothing is running or waiting.
    bool Idle() const;
    // Idempotent; later posts are refused.
    void Shutdown();

private:
    struct Entry {
        Write run;
        uint32_t key = 0;
        bool transfer = false; // a long transfer (no record, never replaced)
        std::vector<Done> dones;
    };
    bool StartThread();
    void Loop();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Entry> m_jobs;
    bool m_running = false;
    bool m_runningTransfer = false;
    bool m_shutDown = false;
    StopEvent m_stop;
    std::thread m_thread;
};

// Counts the writes a caller waits for and tells it once every one of them
// has ended: kResultOk when all succeeded, else the first failure's result.
class WriteTally {
public:
    using Done = std::function<void(int result)>;
    // One more write to wait for (before it is queued).
    void Expect();
    // One write ended (its Done). Any thread.
    void Finish(int result);
    // No more writes come: `done` runs once every expected write has ended, on
    // the thread of the last Finish (or at once, on this one). Once.
    void Seal(Done done);
    // Writes expected so far; the result so far (kResultOk until one failed).
    int Expected() const;
    int Result() const;

private:
    void FireLocked(std::unique_lock<std::mutex>& lock);

    mutable std::mutex m_mutex;
    int m_expected = 0;
    int m_open = 0;
    int m_result = 1;
    bool m_sealed = false;
    Done m_done;
};

} // namespace velkor
