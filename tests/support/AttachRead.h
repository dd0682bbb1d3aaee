#pragma once
// The read at attach in a test: ReadDevice, then its answer taken on this
// thread (the dispatcher's), as the window's loop would take it. The wait is
// a bound against a hang.
#include "devices/TolvanicUSBDevice.h"
#include "ui/Dispatcher.h"

#include <chrono>
#include <memory>
#include <thread>

namespace velkor::test {

inline bool ReadAtAttach(CTolvanicUSBDevice& device, ui::Dispatcher& dispatcher) {
    auto done = std::make_shared<bool>(false);
    device.ReadDevice([done] { *done = true; });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!*done && std::chrono::steady_clock::now() < deadline) {
        dispatcher.ProcessPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return *done;
}

} // namespace velkor::test
