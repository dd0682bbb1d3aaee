#pragma once
// The main window's table of 20 thread slots. Slot 0 carries the scan thread,
// slot 8 the lighting synchronisation thread; the others stay empty. Shut-down
// stops every slot in order with a bounded wait and traces each outcome; a
// thread that does not end in time is never killed (it ends by itself on its
// stop event and is joined by its owner later).
#include "devices/DeviceThread.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

namespace velkor {

inline constexpr std::string_view kTraceSlotEnded = "所有对象处于激发状态\n";
inline constexpr std::string_view kTraceSlotAbandoned = "所有对象处于激发状态，但其中有未释放的Mutex 对象\n";
inline constexpr std::string_view kTraceSlotTimedOut = "所有对象处于非激发状态，超时\n";
inline constexpr std::string_view kTraceSlotFailed = "错误\n";

class ThreadSlots {
public:
    static constexpr int kCount = 20;
    static constexpr int kScanSlot = 0;
    static constexpr int kLightSyncSlot = 8;
    static constexpr uint32_t kStopWaitMs = 1000;

    // Sets the stop event of the slot's thread and waits up to the given bound.
    using Stopper = std::function<ThreadStopOutcome(uint32_t waitMs)>;

    // False for a slot outside the table or one that is taken.
    bool Assign(int slot, Stopper stopper);
    bool IsAssigned(int slot) const;
    // Stops every slot in order and empties the table. Returns the outcomes by
    // slot; an empty slot reports Failed (as a wait on no thread does).
    std::array<ThreadStopOutcome, kCount> StopAll(uint32_t waitMs = kStopWaitMs);

private:
    std::array<Stopper, kCount> m_slots;
};

} // namespace velkor
