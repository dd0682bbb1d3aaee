#pragma once
// Work for the user-interface thread on behalf of one device: what was posted
// is dropped when the device is gone by the time it would run. The device
// owns it; its driver and presenter post through it. Any thread.
#include "ui/Dispatcher.h"

#include <functional>
#include <memory>

namespace velkor {

class DeviceUiPost {
public:
    explicit DeviceUiPost(ui::Dispatcher& dispatcher) : m_dispatcher(dispatcher) {}
    DeviceUiPost(const DeviceUiPost&) = delete;
    DeviceUiPost& operator=(const DeviceUiPost&) = delete;

    bool OnUiThread() const { return m_dispatcher.IsUiThread(); }
    // Runs `work` on the user-interface thread later, unless the owner is gone by then.
    void Post(std::function<void()> work) {
        std::weak_ptr<int> alive = m_alive;
        m_dispatcher.Post([alive, work = std::move(work)] {
            if (!alive.expired()) {
                work();
            }
        });
    }

private:
    ui::Dispatcher& m_dispatcher;
    // Dies with the owner: work posted for it checks it first.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace velkor
