#pragma once
// The worker of one device for long transfers (a macro block through the
// receiver is over a thousand frames, seconds of transfer), so that they
// never run on the user-interface thread. Jobs run one at a time, in the
// order they were posted; the thread starts with the first job.
//
// A job may wait only on transfers with their time-out and on its stop event.
// Shutdown sets the event, drops the jobs not started and waits for the
// running one, which ends within its transfer time-out: a stopped write
// stops at its next frame, and an unplugged device fails its frame at once.
//
// Post and Shutdown are called by the owner's thread; Busy from any thread.
#include "devices/DeviceThread.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace velkor {

class TransferWorker {
public:
    using Job = std::function<void(const StopEvent& stop)>;

    TransferWorker() = default;
    ~TransferWorker() { Shutdown(); }
    TransferWorker(const TransferWorker&) = delete;
    TransferWorker& operator=(const TransferWorker&) = delete;

    // Queues `job`. False (it never runs) after Shutdown or when the thread
    // cannot be created.
    bool Post(Job job);
    // A job is running or waiting.
    bool Busy() const;
    // Idempotent; later posts are refused.
    void Shutdown();

private:
    void Loop();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_running = false;
    bool m_shutDown = false;
    StopEvent m_stop;
    std::thread m_thread;
};

} // namespace velkor
