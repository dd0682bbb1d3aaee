#pragma once
// DeviceCallQueue: how the device API's calls get from the bus thread to the
// user-interface thread, fairly whatever other programs send.
//
//  - Reads are answered at once, on the bus thread, from the devices and
//    settings the API last published (it publishes whenever it notices a
//    change, and before any setter's answer, so a caller reads its own
//    writes). A device not published yet is asked on the user-interface
//    thread, ahead of every waiting write.
//  - Writes wait in one queue. A write of the same setting of the same device
//    (same method, same field names, key, stage or option) that has not
//    started is replaced by the newer one, which joins the end of the queue:
//    the latest value is written once and every caller of the replaced ones
//    hears its answer.
//  - A caller with kMaxWaitingPerCaller calls not answered yet gets Busy at
//    once, so that one program cannot fill the queue; so does every caller
//    while kMaxWaiting calls wait in all.
//  - Until Open, calls wait: the API is exported before the program owns its
//    name, so that nobody finds the name without the API, and the calls that
//    come before the window serves them are answered once it does.
//  - The user-interface thread takes the waiting reads and one write per turn
//    of its loop, so a flood never holds up its other work.
//
// Take and Publish: any thread (Take is the bus handler). The runner runs on
// the user-interface thread, through `post`.
#include "platform/bus/DeviceBusTypes.h"

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace velkor {

class DeviceCallQueue {
public:
    using ReplyFn = std::function<void(DeviceReply reply)>;
    // Runs one call on the user-interface thread; `reply` exactly once, now or later.
    using Runner = std::function<void(const DeviceCall& call, ReplyFn reply)>;
    // Queues a task for the user-interface thread; false when it will never run.
    using Post = std::function<bool(std::function<void()> task)>;

    static constexpr std::size_t kMaxWaitingPerCaller = 16;
    static constexpr std::size_t kMaxWaiting = 1024;

    // Takes calls and keeps them until Open.
    DeviceCallQueue();
    // Open at once.
    DeviceCallQueue(Post post, Runner runner);
    // Closes.
    ~DeviceCallQueue();
    DeviceCallQueue(const DeviceCallQueue&) = delete;
    DeviceCallQueue& operator=(const DeviceCallQueue&) = delete;

    // Takes a call: answers it now or queues it. False (`reply` not called)
    // once closed or when the loop takes no task.
    bool Take(DeviceCall call, ReplyFn reply);
    // From now on calls run through `post` on `runner`, the waiting ones
    // first. Once only; nothing after Close.
    void Open(Post post, Runner runner);
    // What reads answer from now on.
    void Publish(std::vector<DeviceListEntry> devices, std::map<std::string, BusDict> settings);
    // Calls still waiting are answered Failed; later ones are not taken.
    void Close();

    // What the shared state holds (DeviceCallQueue.cpp).
    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace velkor
