#pragma once
// Hands work to the user-interface thread from any thread.
//
// Post queues a function; Send queues it and waits until it ran. Once shut-down
// has begun, both refuse: Post drops the function, Send returns false at once,
// and a Send already waiting returns false and its function never runs, so a
// thread that is being stopped never dead-locks against the window that waits
// for it. Functions still queued at shut-down are dropped, never run.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace velkor::ui {

class Dispatcher {
public:
    using Task = std::function<void()>;

    // The constructing thread is the user-interface thread. `wake` is called from
    // the queuing thread, without a lock held, after each Post or Send, so that
    // the toolkit can run ProcessPending on its loop soon.
    explicit Dispatcher(std::function<void()> wake = {});
    // Begins shut-down. Destroy the dispatcher only after every thread that may
    // call it has ended; BeginShutdown first lets threads blocked in Send end.
    ~Dispatcher();
    Dispatcher(const Dispatcher&) = delete;
    Dispatcher& operator=(const Dispatcher&) = delete;

    // Any thread. False once shut-down has begun (the task is dropped).
    bool Post(Task task);
    // Any thread. On the user-interface thread the task runs at once. Elsewhere
    // the call waits until the user-interface thread ran it (true) or shut-down
    // began before it ran (false; it will never run).
    bool Send(Task task);

    // User-interface thread: runs the tasks queued before the call, in order, and
    // returns how many ran. Runs nothing once shut-down has begun, or when called
    // on another thread (returns 0).
    int ProcessPending();

    // Any thread, idempotent.
    void BeginShutdown();
    bool IsShuttingDown() const;
    bool IsUiThread() const { return std::this_thread::get_id() == m_uiThread; }
    size_t PendingCount() const;

private:
    struct Pending {
        Task task;
        std::shared_ptr<int> sendState; // null for posts; 0 waiting, 1 ran, 2 dropped
    };

    const std::thread::id m_uiThread;
    std::function<void()> m_wake;
    mutable std::mutex m_mutex;
    std::condition_variable m_done;
    std::deque<Pending> m_queue;
    bool m_shuttingDown = false;
};

} // namespace velkor::ui
