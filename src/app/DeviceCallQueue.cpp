#include "app/DeviceCallQueue.h"

#include <algorithm>
#include <deque>
#include <mutex>

namespace velkor {

namespace {

bool IsRead(DeviceMethod method) {
    return method == DeviceMethod::ListDevices || method == DeviceMethod::GetSettings ||
           method == DeviceMethod::SdkStatus;
}

// Writes with the same slot set the same thing: the newer one makes the older needless.
std::string SlotOf(const DeviceCall& call) {
    std::string slot = std::to_string(int(call.method)) + '\n' + call.id + '\n';
    switch (call.method) {
    case DeviceMethod::SetLighting:
    case DeviceMethod::SetEqualiser: {
        std::vector<std::string> names;
        for (const auto& [name, value] : call.fields) {
            names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            slot += name + '\n';
        }
        break;
    }
    case DeviceMethod::SetKeyColour:
    case DeviceMethod::SetDpiStage:
        slot += std::to_string(call.first);
        break;
    case DeviceMethod::SetOption:
        slot += call.name;
        break;
    default:
        break;
    }
    return slot;
}

} // namespace

struct DeviceCallQueue::State {
    // One call waiting, with every caller that hears its answer.
    struct Waiting {
        DeviceCall call;
        std::string slot; // writes only
        std::vector<ReplyFn> replies;
        std::vector<std::string> senders; // one per reply
    };

    std::mutex mutex;
    Post post;
    Runner runner;
    bool open = false;
    bool closed = false;
    bool published = false;
    std::vector<DeviceListEntry> devices;
    std::map<std::string, BusDict> settings;
    std::deque<Waiting> reads;
    std::deque<Waiting> writes;
    std::map<std::string, std::size_t> waitingBy; // calls not answered, by caller
    std::size_t waitingAll = 0;                   // the sum of waitingBy
    bool turnPosted = false;
    std::weak_ptr<State> self;

    // Answers every caller of `waiting`; any thread, without the lock.
    static void Answer(const std::weak_ptr<State>& weak, const Waiting& waiting, const DeviceReply& reply);
    // Runs on the user-interface thread: the waiting reads, then one write.
    static void Turn(const std::shared_ptr<State>& state);
    // Queues the next turn when there is work and none is queued (the lock is
    // held); true when the caller must post it after unlocking.
    bool NeedTurnLocked() {
        if (!open || closed || turnPosted || (reads.empty() && writes.empty())) {
            return false;
        }
        turnPosted = true;
        return true;
    }
    // Posts a turn; when the loop takes none, everything waiting fails.
    static void PostTurn(const std::shared_ptr<State>& state);
    // Answers every caller of `dropped` Failed: the program is going.
    static void FailAll(const std::shared_ptr<State>& state, const std::vector<Waiting>& dropped);
    // Takes everything waiting out (the lock is held).
    std::vector<Waiting> TakeAllLocked() {
        std::vector<Waiting> all(std::make_move_iterator(reads.begin()),
                                 std::make_move_iterator(reads.end()));
        all.insert(all.end(), std::make_move_iterator(writes.begin()), std::make_move_iterator(writes.end()));
        reads.clear();
        writes.clear();
        return all;
    }
};

void DeviceCallQueue::State::Answer(const std::weak_ptr<State>& weak, const Waiting& waiting,
                                    const DeviceReply& reply) {
    if (const std::shared_ptr<State> state = weak.lock()) {
        std::lock_guard lock(state->mutex);
        for (const std::string& sender : waiting.senders) {
            const auto found = state->waitingBy.find(sender);
            if (found != state->waitingBy.end() && --found->second == 0) {
                state->waitingBy.erase(found);
            }
            --state->waitingAll;
        }
    }
    for (const ReplyFn& each : waiting.replies) {
        each(reply);
    }
}

void DeviceCallQueue::State::FailAll(const std::shared_ptr<State>& state,
                                     const std::vector<Waiting>& dropped) {
    for (const Waiting& waiting : dropped) {
        Answer(state, waiting, DeviceReply::Error(DeviceCallStatus::Failed, "the program is shutting down"));
    }
}

void DeviceCallQueue::State::PostTurn(const std::shared_ptr<State>& state) {
    std::weak_ptr<State> weak = state;
    if (state->post([weak] {
            if (const std::shared_ptr<State> alive = weak.lock()) {
                Turn(alive);
            }
        })) {
        return;
    }
    std::vector<Waiting> dropped;
    {
        std::lock_guard lock(state->mutex);
        state->turnPosted = false;
        dropped = state->TakeAllLocked();
    }
    FailAll(state, dropped);
}

void DeviceCallQueue::State::Turn(const std::shared_ptr<State>& state) {
    std::vector<Waiting> now;
    {
        std::lock_guard lock(state->mutex);
        state->turnPosted = false;
        now.assign(std::make_move_iterator(state->reads.begin()),
                   std::make_move_iterator(state->reads.end()));
        state->reads.clear();
        if (!state->writes.empty()) {
            now.push_back(std::move(state->writes.front()));
            state->writes.pop_front();
        }
    }
    for (Waiting& waiting : now) {
        auto shared = std::make_shared<Waiting>(std::move(waiting));
        state->runner(shared->call,
                      [weak = state->self, shared](DeviceReply reply) { Answer(weak, *shared, reply); });
    }
    bool again = false;
    {
        std::lock_guard lock(state->mutex);
        again = state->NeedTurnLocked();
    }
    if (again) {
        PostTurn(state);
    }
}

DeviceCallQueue::DeviceCallQueue() : m_state(std::make_shared<State>()) {
    m_state->self = m_state;
}

DeviceCallQueue::DeviceCallQueue(Post post, Runner runner) : DeviceCallQueue() {
    Open(std::move(post), std::move(runner));
}

void DeviceCallQueue::Open(Post post, Runner runner) {
    bool postTurn = false;
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->open || m_state->closed) {
            return;
        }
        m_state->post = std::move(post);
        m_state->runner = std::move(runner);
        m_state->open = true;
        postTurn = m_state->NeedTurnLocked();
    }
    if (postTurn) {
        State::PostTurn(m_state);
    }
}

DeviceCallQueue::~DeviceCallQueue() {
    Close();
}

bool DeviceCallQueue::Take(DeviceCall call, ReplyFn reply) {
    DeviceReply now;
    bool answerNow = false;
    bool postTurn = false;
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->closed) {
            return false;
        }
        const auto known = m_state->settings.find(call.id);
        if (call.method == DeviceMethod::ListDevices && m_state->published) {
            now.devices = m_state->devices;
            answerNow = true;
        } else if (call.method == DeviceMethod::GetSettings && known != m_state->settings.end()) {
            now.settings = known->second;
            answerNow = true;
        } else if (const auto by = m_state->waitingBy.find(call.sender);
                   by != m_state->waitingBy.end() && by->second >= kMaxWaitingPerCaller) {
            now = DeviceReply::Error(DeviceCallStatus::Busy,
                                     "more than " + std::to_string(kMaxWaitingPerCaller) +
                                         " calls of this caller wait; try again later");
            answerNow = true;
        } else if (m_state->waitingAll >= kMaxWaiting) {
            now = DeviceReply::Error(DeviceCallStatus::Busy, "too many calls wait; try again later");
            answerNow = true;
        } else {
            ++m_state->waitingBy[call.sender];
            ++m_state->waitingAll;
            State::Waiting waiting{std::move(call), {}, {std::move(reply)}, {}};
            waiting.senders.push_back(waiting.call.sender);
            if (IsRead(waiting.call.method)) {
                m_state->reads.push_back(std::move(waiting));
            } else {
                waiting.slot = SlotOf(waiting.call);
                auto& writes = m_state->writes;
                const auto older = std::find_if(writes.begin(), writes.end(), [&](const State::Waiting& w) {
                    return w.slot == waiting.slot;
                });
                if (older != writes.end()) {
                    waiting.replies.insert(waiting.replies.begin(),
                                           std::make_move_iterator(older->replies.begin()),
                                           std::make_move_iterator(older->replies.end()));
                    waiting.senders.insert(waiting.senders.begin(), older->senders.begin(),
                                           older->senders.end());
                    writes.erase(older);
                }
                writes.push_back(std::move(waiting));
            }
            postTurn = m_state->NeedTurnLocked();
        }
    }
    if (answerNow) {
        reply(std::move(now));
    }
    if (postTurn) {
        State::PostTurn(m_state);
    }
    return true;
}

void DeviceCallQueue::Publish(std::vector<DeviceListEntry> devices, std::map<std::string, BusDict> settings) {
    std::lock_guard lock(m_state->mutex);
    m_state->devices = std::move(devices);
    m_state->settings = std::move(settings);
    m_state->published = true;
}

void DeviceCallQueue::Close() {
    std::vector<State::Waiting> dropped;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->closed = true;
        dropped = m_state->TakeAllLocked();
    }
    State::FailAll(m_state, dropped);
}

} // namespace velkor
