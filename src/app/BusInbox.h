#pragma once
// Carries the messages other programs send from the bus thread to the
// user-interface thread.
//
// The program claims its bus name before the toolkit exists, so a message may
// arrive before there is a window to take it: until Attach such messages wait
// here, in order. After Attach every message is posted through the toolkit's
// dispatcher and handed to the receiver on the user-interface thread, in the
// order received. At most `capacity` messages wait at a time (before Attach,
// or posted and not yet handled); further ones are dropped and counted, so a
// program flooding the bus cannot make this one grow without bound.
//
// Copy-data (the audio tool's frames, about a hundred a second) has a bound of
// its own and never counts against the one above: at most `copyDataCapacity`
// wait, and a new one pushes out the oldest, so a busy window sees the latest
// sound and the announces, game events and lighting requests still get in.
// Copy-data keeps its order, but may pass or be passed by the other messages.
#include "platform/bus/BusMessage.h"
#include "ui/Dispatcher.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace velkor {

class BusInbox {
public:
    using Receiver = std::function<void(const BusMessage& message)>;

    explicit BusInbox(size_t capacity = 64, size_t copyDataCapacity = 6);
    // Detaches; messages not yet handled are dropped.
    ~BusInbox();
    BusInbox(const BusInbox&) = delete;
    BusInbox& operator=(const BusInbox&) = delete;

    // Any thread (the bus handler): takes a message.
    void Receive(BusMessage message);
    // User-interface thread: from now on messages go through `dispatcher` to
    // `receiver`, the ones waiting first. The dispatcher must stay alive until Detach.
    void Attach(ui::Dispatcher& dispatcher, Receiver receiver);
    // User-interface thread: stops handing messages on; posted ones that have not
    // run yet are dropped. Later messages are dropped too.
    void Detach();

    // Messages dropped because too many waited or nobody takes them any more.
    size_t DroppedCount() const;

private:
    struct State {
        std::mutex mutex;
        ui::Dispatcher* dispatcher = nullptr;
        Receiver receiver;
        bool detached = false;
        size_t inFlight = 0; // posted, not yet handled
        size_t dropped = 0;
        std::deque<BusMessage> waiting;
        std::deque<BusMessage> copyData; // not yet handed to the receiver
        bool drainPosted = false;        // a task that hands copyData on is queued
    };

    // `state->mutex` is held.
    static void PostLocked(const std::shared_ptr<State>& state, BusMessage message);
    // `state->mutex` is held: queues the task that hands the waiting copy-data on.
    static void PostDrainLocked(const std::shared_ptr<State>& state);

    const size_t m_capacity;
    const size_t m_copyDataCapacity;
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace velkor
