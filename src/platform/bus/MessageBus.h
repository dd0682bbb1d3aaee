#pragma once
// MessageBus: how this program talks to other programs, and how it makes sure
// that it runs once.
//
// The single instance is whoever owns the program's well-known bus name. At
// start the program calls Claim(): the owner receives every message other
// programs send it (an announce from a second start, lighting requests, game
// events, the audio tool's data) through the handler it supplies; a second
// start learns OtherInstance, sends the announce with Send() and ends. When no
// bus can be reached Claim() says NoBus and the program runs on as the only
// instance without messages from other programs.
//
// Two implementations: DbusMessageBus (the D-Bus session bus through sd-bus)
// and InProcessMessageBus (several endpoints on one in-process bus, for tests).
// Each says on which thread its handlers run. A handler must not throw and
// should return quickly: it normally hands the message to the user-interface
// thread.
#include "platform/bus/BusMessage.h"

#include <functional>
#include <string>

namespace velkor {

enum class BusClaim {
    Owner,         // this program is the single instance; messages reach the handler
    OtherInstance, // another process owns the name; announce to it and end
    NoBus,         // no bus reachable: run as the only instance, messages from others are off
};

enum class BusSendStatus {
    Delivered,  // the running instance accepted the message
    NoInstance, // nobody owns the program's name
    Refused,    // the message breaks a rule (checked here or by the receiver); see error
    NoBus,      // no bus reachable
    Failed,     // the bus failed on the way (time-out, connection lost); see error
    Busy,       // Post only: too many messages wait to be written; this one was not queued
};

struct BusSendResult {
    BusSendStatus status = BusSendStatus::Failed;
    std::string error; // empty when delivered
};

const char* BusSendStatusName(BusSendStatus status);

using BusHandler = std::function<void(BusMessage message)>;
// Told whether a watched bus name has an owner now.
using NameHandler = std::function<void(bool owned)>;

// Post refuses a message while more than this many wait to be written.
inline constexpr uint64_t kPostQueueLimit = 8;

class MessageBus {
public:
    virtual ~MessageBus() = default;

    // Tries to become the single instance. On Owner, `handler` receives every
    // message sent to the program from then on, each exactly once, with its
    // sender filled in; messages that break the rules of BusMessage.h are
    // refused before they reach it. A later Claim after Owner returns Owner
    // and keeps the first handler; after OtherInstance or NoBus it tries again.
    virtual BusClaim Claim(BusHandler handler) = 0;

    // Sends a message of the program (a method kind) to the running instance.
    // Delivered means the instance's handler has taken it. Broadcast kinds and
    // messages that fail ValidateBusMessage are Refused without touching the bus.
    virtual BusSendResult Send(const BusMessage& message) = 0;

    // Sends like Send but never waits: the message is queued for the running
    // instance without asking for an answer, so Delivered only means it went
    // to the bus (a message the instance refuses, or one sent while nobody
    // owns the name, is lost without a word). Busy, and nothing queued, while
    // more than kPostQueueLimit messages of this endpoint wait to be written,
    // so a stopped receiver can neither block the sender nor make it grow.
    virtual BusSendResult Post(const BusMessage& message) = 0;

    // Broadcasts a message of the program (a signal kind) to every watcher.
    // Only the owner broadcasts; false when this endpoint is not the owner,
    // the message is not a valid broadcast, or the bus failed (see LastError).
    virtual bool Broadcast(const BusMessage& message) = 0;

    // From now on `handler` receives the broadcasts of whoever owns the
    // program's name (this endpoint's own included when it is the owner).
    // Broadcasts that break the rules are dropped. False when no bus is reachable.
    virtual bool WatchBroadcasts(BusHandler handler) = 0;

    // Owns the further well-known name `name` (not the program's own) for as
    // long as this endpoint is open: Owner, OtherInstance when another
    // endpoint owns it, NoBus when no bus is reachable (see LastError).
    virtual BusClaim ClaimName(const std::string& name) = 0;

    // From now on `handler` learns each time the bus name `name` gains or
    // loses its owner (on the endpoint's delivery thread). Returns whether it
    // is owned now (1 yes, 0 no), or -1 when no bus is reachable. A change
    // racing the call may also be reported once more, so the handler should
    // act on changes of the state only. When the bus connection is lost the
    // handler is told that the name has no owner. One handler per name; a
    // later call replaces it.
    virtual int WatchName(const std::string& name, NameHandler handler) = 0;

    // Gives up the name and stops every delivery; when it returns no handler
    // of this endpoint runs any more. Idempotent; must not be called from a
    // handler of this endpoint. Later calls fail (NoBus, false).
    virtual void Close() = 0;

    // Whether this endpoint owns the program's name now.
    virtual bool IsOwner() const = 0;

    // Why the last operation failed (connection, claim, broadcast), for messages to the user.
    virtual std::string LastError() const = 0;
};

} // namespace velkor
