#include "app/ThreadSlots.h"

#include "platform/Trace.h"

#include <string>

namespace velkor {

bool ThreadSlots::Assign(int slot, Stopper stopper) {
    if (slot < 0 || slot >= kCount || m_slots[size_t(slot)] || !stopper) {
        return false;
    }
    m_slots[size_t(slot)] = std::move(stopper);
    return true;
}

bool ThreadSlots::IsAssigned(int slot) const {
    return slot >= 0 && slot < kCount && bool(m_slots[size_t(slot)]);
}

std::array<ThreadStopOutcome, ThreadSlots::kCount> ThreadSlots::StopAll(uint32_t waitMs) {
    std::array<ThreadStopOutcome, kCount> outcomes{};
    for (int slot = 0; slot < kCount; ++slot) {
        Stopper stopper = std::move(m_slots[size_t(slot)]);
        m_slots[size_t(slot)] = nullptr;
        ThreadStopOutcome outcome = stopper ? stopper(waitMs) : ThreadStopOutcome::Failed;
        // A thread that had already ended counts as ended, as its handle would be signalled.
        if (outcome == ThreadStopOutcome::NotRunning) {
            outcome = ThreadStopOutcome::Ended;
        }
        outcomes[size_t(slot)] = outcome;
        switch (outcome) {
        case ThreadStopOutcome::Ended:
        case ThreadStopOutcome::NotRunning:
            Trace(kTraceSlotEnded);
            break;
        case ThreadStopOutcome::Abandoned:
            Trace(kTraceSlotAbandoned);
            break;
        case ThreadStopOutcome::TimedOut:
            Trace(kTraceSlotTimedOut);
            break;
        case ThreadStopOutcome::Failed:
            Trace(std::string(kTraceSlotFailed) + std::to_string(slot));
            break;
        }
    }
    return outcomes;
}

} // namespace velkor
