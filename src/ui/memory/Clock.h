#pragma once
// The clock of the in-memory toolkit: milliseconds that only move when the
// toolkit or a test moves them, so timers run deterministically.
#include <atomic>
#include <cstdint>

namespace velkor::ui {

class ManualClock {
public:
    explicit ManualClock(int64_t startMs = 0) : m_now(startMs) {}
    // Any thread.
    int64_t NowMs() const { return m_now.load(std::memory_order_acquire); }
    void Advance(int64_t ms) { m_now.fetch_add(ms > 0 ? ms : 0, std::memory_order_acq_rel); }
    // Moves forward only: an earlier time is ignored.
    void Set(int64_t ms) {
        int64_t now = m_now.load(std::memory_order_acquire);
        while (ms > now && !m_now.compare_exchange_weak(now, ms, std::memory_order_acq_rel)) {
        }
    }

private:
    std::atomic<int64_t> m_now;
};

} // namespace velkor::ui
