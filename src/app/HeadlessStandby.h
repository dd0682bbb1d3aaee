#pragma once
// A headless instance that handed the devices to a window, or found a window
// running at its start, waits here until that window has ended; then the entry
// point starts it again. Wait runs on the entry point's thread; Cancel on any
// (the signal watcher), so that SIGTERM also ends a waiting instance.
#include "platform/bus/MessageBus.h"

#include <condition_variable>
#include <mutex>

namespace velkor {

class HeadlessStandby {
public:
    // How long a freed name may stay without an owner before the devices are
    // taken back (the window that asked for them never came).
    static constexpr int kClaimWaitMs = 15000;

    // Watches the program's name on `watcher` until it has had an owner and
    // has none again. True: start again; false: cancelled or no bus.
    bool Wait(MessageBus& watcher);
    // Makes the current and every later Wait return false at once.
    void Cancel();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_cancelled = false;
    bool m_owned = false;
    bool m_seenOwner = false;
    int m_reports = 0; // owner changes heard since Wait began
};

} // namespace velkor
