#pragma once
// The device API's calls on their way from the bus thread to the window.
//
// The program exports the API's members before it requests its bus name, so
// that nobody who finds the name finds it without them; a call that arrives
// before the window serves it waits here, in order, instead of meeting
// UnknownMethod. Open hands the waiting calls and every later one through
// the dispatcher to the runner on the user-interface thread. At most
// `capacity` calls wait before Open; beyond that Take refuses (the service
// answers Failed). Calls still waiting at Close are answered by the service
// when it stops.
#include "platform/bus/DeviceBusService.h"
#include "ui/Dispatcher.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace velkor {

class DeviceCallGate {
public:
    using Runner = std::function<void(const DeviceCall& call, DeviceBusService::ReplyFn reply)>;

    explicit DeviceCallGate(size_t capacity = 64) : m_capacity(capacity) {}
    DeviceCallGate(const DeviceCallGate&) = delete;
    DeviceCallGate& operator=(const DeviceCallGate&) = delete;

    // The bus thread: takes a call. False (the call not taken) when too many
    // wait, after Close, or when the dispatcher refuses it.
    bool Take(DeviceCall call, DeviceBusService::ReplyFn reply);
    // The user-interface thread: from now on calls go through `dispatcher` to
    // `run`, the waiting ones first. Both must stay alive until Close.
    void Open(ui::Dispatcher& dispatcher, Runner run);
    // The user-interface thread: nothing more is taken or handed on; waiting
    // calls are dropped, posted ones find no runner.
    void Close();
    size_t Waiting() const;

private:
    using Entry = std::pair<DeviceCall, DeviceBusService::ReplyFn>;
    bool PostLocked(Entry entry);

    const size_t m_capacity;
    mutable std::mutex m_mutex;
    ui::Dispatcher* m_dispatcher = nullptr;
    // Shared with the posted tasks, which may run after Close: they check it.
    std::shared_ptr<Runner> m_run;
    std::deque<Entry> m_waiting;
    bool m_closed = false;
};

} // namespace velkor
