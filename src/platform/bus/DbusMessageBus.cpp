#include "platform/bus/DbusMessageBus.h"
#include "platform/bus/SessionBusOpen.h"

#include "platform/Trace.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace velkor {
namespace {

// A call to the running instance waits at most this long for its answer (microseconds).
constexpr uint64_t kCallTimeoutUsec = 5'000'000;
constexpr uint64_t kStartProgramTimeoutUsec = 25'000'000;
// Messages read per turn of the bus thread before the handlers run, so that a
// flood from another program cannot keep deliveries waiting or the queue growing.
constexpr int kProcessBatch = 32;

std::string ErrnoText(int negativeErrno) {
    return std::strerror(-negativeErrno);
}

// Reads the arguments of `m` (a call or a signal of `info`) into `message`.
// False with the reason when they do not fit; copy-data is checked before it is copied.
bool ReadArguments(sd_bus_message* m, const BusMessageInfo& info, BusMessage& message, std::string& why) {
    message.kind = info.kind;
    if (!info.carriesData) {
        if (sd_bus_message_read(m, "ii", &message.wParam, &message.lParam) <= 0) {
            why = std::string(info.member) + " takes two 32-bit integers";
            return false;
        }
        return true;
    }
    uint32_t id = 0;
    const void* bytes = nullptr;
    size_t size = 0;
    if (sd_bus_message_read(m, "u", &id) <= 0 || sd_bus_message_read_array(m, 'y', &bytes, &size) < 0) {
        why = std::string(info.member) + " takes an id and a byte array";
        return false;
    }
    if (!CheckCopyData(info.kind, id, size, why)) {
        return false;
    }
    message.copyDataId = id;
    const auto* first = static_cast<const uint8_t*>(bytes);
    message.data.assign(first, first + size);
    return true;
}

int AppendArguments(sd_bus_message* m, const BusMessage& message) {
    if (!BusMessageInfoOf(message.kind).carriesData) {
        return sd_bus_message_append(m, "ii", message.wParam, message.lParam);
    }
    const int r = sd_bus_message_append(m, "u", message.copyDataId);
    if (r < 0) {
        return r;
    }
    return sd_bus_message_append_array(m, 'y', message.data.data(), message.data.size());
}

void TraceMessage(const char* what, const BusMessage& message) {
    if (!TraceEnabled()) {
        return;
    }
    const BusMessageInfo& info = BusMessageInfoOf(message.kind);
    if (info.carriesData) {
        TraceF("bus: %s %s id %u, %zu bytes, from %s", what, info.member, message.copyDataId,
               message.data.size(), message.sender.c_str());
    } else {
        TraceF("bus: %s %s (%d, %d) from %s", what, info.member, message.wParam, message.lParam,
               message.sender.c_str());
    }
}

// sd-bus gives an absolute CLOCK_MONOTONIC time in microseconds; poll wants milliseconds from now.
int PollTimeout(uint64_t untilUsec) {
    if (untilUsec == UINT64_MAX) {
        return -1;
    }
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t nowUsec =
        static_cast<uint64_t>(now.tv_sec) * 1'000'000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
    if (untilUsec <= nowUsec) {
        return 0;
    }
    return static_cast<int>(std::min<uint64_t>((untilUsec - nowUsec + 999) / 1000, INT_MAX));
}

bool HasErrorName(const sd_bus_error& error, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(),
                       [&](const char* name) { return sd_bus_error_has_name(&error, name); });
}

} // namespace

// The sd-bus callbacks; they run inside sd_bus_process on the bus thread, with m_mutex held.
struct DbusCallbacks {
    static const sd_bus_vtable* Vtable();
    static int OnMethod(sd_bus_message* call, void* userdata, sd_bus_error* error);
    static int OnSignal(sd_bus_message* signal, void* userdata, sd_bus_error* error);
    static int OnNameOwnerChanged(sd_bus_message* signal, void* userdata, sd_bus_error* error);
};

const sd_bus_vtable* DbusCallbacks::Vtable() {
    // Any program of the user may call the methods, as the program admits its
    // registered messages from less privileged processes. Keep in step with
    // BusMessageTable() and packaging/dbus/org.velkor.VELKOR01.xml (a test compares them).
    static const sd_bus_vtable vtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD_WITH_NAMES("Announce", "ii", SD_BUS_PARAM(wparam) SD_BUS_PARAM(lparam), "", , &OnMethod,
                                 SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("InstallerReport", "ii", SD_BUS_PARAM(report) SD_BUS_PARAM(value), "", ,
                                 &OnMethod, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("LightingControlRequest", "ii", SD_BUS_PARAM(wparam) SD_BUS_PARAM(control),
                                 "", , &OnMethod, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("AudioToolLink", "ii", SD_BUS_PARAM(wparam) SD_BUS_PARAM(lparam), "", ,
                                 &OnMethod, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("GameStart", "ii", SD_BUS_PARAM(kind) SD_BUS_PARAM(mode), "", , &OnMethod,
                                 SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("GameEnd", "ii", SD_BUS_PARAM(kind) SD_BUS_PARAM(mode), "", , &OnMethod,
                                 SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("GameKill", "ii", SD_BUS_PARAM(kind) SD_BUS_PARAM(mode), "", , &OnMethod,
                                 SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("GameDeath", "ii", SD_BUS_PARAM(kind) SD_BUS_PARAM(mode), "", , &OnMethod,
                                 SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("CopyData", "uay", SD_BUS_PARAM(id) SD_BUS_PARAM(data), "", , &OnMethod,
                                 SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD_WITH_NAMES("AudioToolStatus", "ii", SD_BUS_PARAM(state) SD_BUS_PARAM(detail), "", ,
                                 &OnMethod, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_SIGNAL_WITH_NAMES("LightingControl", "ii", SD_BUS_PARAM(wparam) SD_BUS_PARAM(control), 0),
        SD_BUS_SIGNAL_WITH_NAMES("AudioToolParameter", "ii", SD_BUS_PARAM(parameter) SD_BUS_PARAM(value), 0),
        SD_BUS_SIGNAL_WITH_NAMES("AudioToolData", "uay", SD_BUS_PARAM(id) SD_BUS_PARAM(data), 0),
        SD_BUS_VTABLE_END};
    return vtable;
}

DbusMessageBus::DbusMessageBus(std::string address) : m_address(std::move(address)) {}

DbusMessageBus::~DbusMessageBus() {
    Close();
}

bool DbusMessageBus::ConnectLocked() {
    if (m_bus != nullptr) {
        return true;
    }
    if (m_closed) {
        m_lastError = "the bus connection is closed";
        return false;
    }
    if (m_connectTried) {
        return false; // m_lastError still says why
    }
    m_connectTried = true;
    sd_bus* bus = nullptr;
    int r = OpenSessionBus(m_address, &bus);
    const char* unique = nullptr;
    if (r >= 0) {
        r = sd_bus_set_method_call_timeout(bus, kCallTimeoutUsec);
    }
    if (r >= 0) {
        r = sd_bus_get_unique_name(bus, &unique); // waits until the bus has said hello
    }
    if (r < 0) {
        // Name the address that was tried, so that the user can tell what is missing.
        const char* fromEnvironment = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        m_lastError = "cannot connect to the session bus";
        if (!m_address.empty()) {
            m_lastError += " at " + m_address;
        } else if (fromEnvironment != nullptr) {
            m_lastError += std::string(" at ") + fromEnvironment;
        } else if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
            m_lastError += " (neither DBUS_SESSION_BUS_ADDRESS nor XDG_RUNTIME_DIR is set)";
        }
        m_lastError += ": " + ErrnoText(r);
        sd_bus_close_unref(bus);
        TraceF("bus: %s", m_lastError.c_str());
        return false;
    }
    m_bus = bus;
    TraceF("bus: connected as %s", unique);
    return true;
}

bool DbusMessageBus::StartThreadLocked() {
    if (m_stop) {
        m_lastError = "the bus connection is closed";
        return false;
    }
    if (m_thread.joinable()) {
        return true;
    }
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        m_lastError = std::string("cannot create the bus thread's wake-up event: ") + std::strerror(errno);
        return false;
    }
    try {
        m_thread = std::thread(&DbusMessageBus::Loop, this);
    } catch (const std::system_error& e) {
        m_lastError = std::string("cannot start the bus thread: ") + e.what();
        close(m_wakeFd);
        m_wakeFd = -1;
        return false;
    }
    return true;
}

void DbusMessageBus::Wake() {
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t written = write(m_wakeFd, &one, sizeof one);
    }
}

BusClaim DbusMessageBus::Claim(BusHandler handler) {
    std::lock_guard lock(m_mutex);
    if (m_owner) {
        return BusClaim::Owner;
    }
    if (!ConnectLocked()) {
        return BusClaim::NoBus;
    }
    m_handler = std::move(handler);
    int r = 0;
    if (m_objectSlot == nullptr) {
        r = sd_bus_add_object_vtable(m_bus, &m_objectSlot, kBusObjectPath, kBusInterface,
                                     DbusCallbacks::Vtable(), this);
    }
    if (r >= 0) {
        r = sd_bus_request_name(m_bus, kBusName, 0);
    }
    if (r == -EALREADY) {
        r = 1;
    }
    if (r < 0 || !StartThreadLocked()) {
        if (r == -EEXIST) {
            m_lastError = std::string(kBusName) + " is owned by another process";
        } else if (r < 0) {
            m_lastError = std::string("cannot own ") + kBusName + ": " + ErrnoText(r);
        } else {
            sd_bus_release_name(m_bus, kBusName); // nobody would take its messages
        }
        m_objectSlot = sd_bus_slot_unref(m_objectSlot);
        TraceF("bus: %s", m_lastError.c_str());
        return r == -EEXIST ? BusClaim::OtherInstance : BusClaim::NoBus;
    }
    m_owner = true;
    TraceF("bus: %s is ours", kBusName);
    return BusClaim::Owner;
}

// To itself: the bus thread delivers it like a message from elsewhere.
BusSendResult DbusMessageBus::DeliverToSelfLocked(const BusMessage& message) {
    Pending pending{message, nullptr, false, {}};
    const char* unique = nullptr;
    sd_bus_get_unique_name(m_bus, &unique);
    pending.message.sender = unique != nullptr ? unique : "";
    m_pending.push_back(std::move(pending));
    Wake();
    return {BusSendStatus::Delivered, {}};
}

// What settles a call before anything is written: a message that cannot be
// sent, no bus, or the owner's message to itself (m_mutex held).
std::optional<BusSendResult> DbusMessageBus::SettleLocally(const BusMessage& message) {
    std::string why;
    if (!CheckSendable(message, why)) {
        return BusSendResult{BusSendStatus::Refused, why};
    }
    if (!ConnectLocked()) {
        return BusSendResult{BusSendStatus::NoBus, m_lastError};
    }
    if (m_owner) {
        return DeliverToSelfLocked(message);
    }
    return std::nullopt;
}

BusSendResult DbusMessageBus::Send(const BusMessage& message) {
    std::lock_guard lock(m_mutex);
    if (std::optional<BusSendResult> settled = SettleLocally(message)) {
        return *settled;
    }
    const BusMessageInfo& info = BusMessageInfoOf(message.kind);
    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int r =
        sd_bus_message_new_method_call(m_bus, &call, kBusName, kBusObjectPath, kBusInterface, info.member);
    if (r >= 0) {
        r = sd_bus_message_set_auto_start(call, m_startProgram ? 1 : 0);
    }
    if (r >= 0) {
        r = AppendArguments(call, message);
    }
    if (r >= 0) {
        // A program started for the call needs its start-up time before it answers.
        r = sd_bus_call(m_bus, call, m_startProgram ? kStartProgramTimeoutUsec : kCallTimeoutUsec, &error,
                        &reply);
    }
    BusSendResult result{BusSendStatus::Delivered, {}};
    if (r < 0) {
        const std::string text = error.message != nullptr ? error.message : ErrnoText(r);
        if (HasErrorName(error, {SD_BUS_ERROR_NAME_HAS_NO_OWNER, SD_BUS_ERROR_SERVICE_UNKNOWN})) {
            result = {BusSendStatus::NoInstance, std::string(kBusName) + " is not running"};
        } else if (HasErrorName(error, {SD_BUS_ERROR_INVALID_ARGS, SD_BUS_ERROR_UNKNOWN_METHOD,
                                        SD_BUS_ERROR_UNKNOWN_OBJECT, SD_BUS_ERROR_UNKNOWN_INTERFACE,
                                        SD_BUS_ERROR_ACCESS_DENIED})) {
            result = {BusSendStatus::Refused, text};
        } else {
            result = {BusSendStatus::Failed, text};
        }
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    Wake(); // the call may have read messages that the bus thread has still to process
    return result;
}

BusSendResult DbusMessageBus::Post(const BusMessage& message) {
    std::lock_guard lock(m_mutex);
    if (std::optional<BusSendResult> settled = SettleLocally(message)) {
        return *settled;
    }
    const BusMessageInfo& info = BusMessageInfoOf(message.kind);
    uint64_t queued = 0;
    int r = sd_bus_get_n_queued_write(m_bus, &queued);
    if (r < 0) {
        return {BusSendStatus::Failed, "cannot read the write queue: " + ErrnoText(r)};
    }
    if (queued > kPostQueueLimit) {
        return {BusSendStatus::Busy, std::to_string(queued) + " messages wait to be written"};
    }
    if (!StartThreadLocked()) {
        return {BusSendStatus::Failed, m_lastError};
    }
    sd_bus_message* call = nullptr;
    r = sd_bus_message_new_method_call(m_bus, &call, kBusName, kBusObjectPath, kBusInterface, info.member);
    if (r >= 0) {
        r = sd_bus_message_set_auto_start(call, 0);
    }
    if (r >= 0) {
        r = sd_bus_message_set_expect_reply(call, 0);
    }
    if (r >= 0) {
        r = AppendArguments(call, message);
    }
    if (r >= 0) {
        r = sd_bus_send(m_bus, call, nullptr); // writes what the socket takes now, queues the rest
    }
    sd_bus_message_unref(call);
    // The bus thread writes what is left; a message written whole needs no
    // wake-up (a stream of posts would otherwise cost a thread switch each).
    if (r < 0 || sd_bus_get_n_queued_write(m_bus, &queued) < 0 || queued > 0) {
        Wake();
    }
    if (r < 0) {
        return {BusSendStatus::Failed, std::string("cannot post ") + info.member + ": " + ErrnoText(r)};
    }
    return {BusSendStatus::Delivered, {}};
}

namespace {

// Bus names are letters, digits, '_', '-', '.' and ':' (unique names); nothing
// else may reach a match rule.
bool PlainBusName(const std::string& name) {
    if (name.empty() || name.size() > 255) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-' || c == '.' || c == ':';
    });
}

} // namespace

BusClaim DbusMessageBus::ClaimName(const std::string& name) {
    std::lock_guard lock(m_mutex);
    if (name == kBusName || !PlainBusName(name)) {
        m_lastError = "ClaimName does not take \"" + name + "\"";
        return BusClaim::NoBus;
    }
    if (!ConnectLocked()) {
        return BusClaim::NoBus;
    }
    const int r = sd_bus_request_name(m_bus, name.c_str(), 0);
    if (r >= 0 || r == -EALREADY) {
        return BusClaim::Owner;
    }
    if (r == -EEXIST) {
        m_lastError = name + " is owned by another process";
        return BusClaim::OtherInstance;
    }
    m_lastError = "cannot own " + name + ": " + ErrnoText(r);
    return BusClaim::NoBus;
}

int DbusMessageBus::WatchName(const std::string& name, NameHandler handler) {
    std::lock_guard lock(m_mutex);
    if (!PlainBusName(name)) {
        m_lastError = "not a bus name: \"" + name + "\"";
        return -1;
    }
    if (!ConnectLocked()) {
        return -1;
    }
    auto watch = std::find_if(m_nameWatches.begin(), m_nameWatches.end(),
                              [&](const NameWatch& w) { return w.name == name; });
    if (watch == m_nameWatches.end()) {
        watch = m_nameWatches.insert(m_nameWatches.end(), NameWatch{this, name, {}, nullptr});
    }
    watch->handler = std::move(handler);
    int r = 0;
    if (watch->slot == nullptr) {
        // Added (and acknowledged by the daemon) before the question below, so no change is missed.
        const std::string rule = "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
                                 "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='" +
                                 name + "'";
        r = sd_bus_add_match(m_bus, &watch->slot, rule.c_str(), &DbusCallbacks::OnNameOwnerChanged, &*watch);
    }
    if (r < 0 || !StartThreadLocked()) {
        if (r < 0) {
            m_lastError = "cannot watch " + name + ": " + ErrnoText(r);
        }
        watch->slot = sd_bus_slot_unref(watch->slot);
        m_nameWatches.erase(watch);
        return -1;
    }
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int owned = 0;
    r = sd_bus_call_method(m_bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "NameHasOwner", &error, &reply, "s", name.c_str());
    if (r >= 0) {
        r = sd_bus_message_read(reply, "b", &owned);
    }
    if (r < 0) {
        m_lastError = "cannot ask for the owner of " + name + ": " +
                      (error.message != nullptr ? std::string(error.message) : ErrnoText(r));
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    Wake(); // the call may have read messages that the bus thread has still to process
    return r < 0 ? -1 : (owned != 0 ? 1 : 0);
}

bool DbusMessageBus::Broadcast(const BusMessage& message) {
    std::string why;
    const bool valid = ValidateBusMessage(message, why);
    std::lock_guard lock(m_mutex);
    const BusMessageInfo& info = BusMessageInfoOf(message.kind);
    if (!valid) {
        m_lastError = why;
        return false;
    }
    if (!info.broadcast) {
        m_lastError = std::string(info.member) + " is not a broadcast";
        return false;
    }
    if (!m_owner || m_bus == nullptr) {
        m_lastError = std::string("only the owner of ") + kBusName + " broadcasts";
        return false;
    }
    sd_bus_message* signal = nullptr;
    int r = sd_bus_message_new_signal(m_bus, &signal, kBusObjectPath, kBusInterface, info.member);
    if (r >= 0) {
        r = AppendArguments(signal, message);
    }
    if (r >= 0) {
        r = sd_bus_send(m_bus, signal, nullptr);
    }
    sd_bus_message_unref(signal);
    Wake(); // whatever could not be written at once goes out from the bus thread
    if (r < 0) {
        m_lastError = std::string("cannot broadcast ") + info.member + ": " + ErrnoText(r);
        return false;
    }
    return true;
}

bool DbusMessageBus::WatchBroadcasts(BusHandler handler) {
    std::lock_guard lock(m_mutex);
    if (!ConnectLocked()) {
        return false;
    }
    m_watchHandler = std::move(handler);
    if (m_matchSlot == nullptr) {
        // The bus resolves the well-known name, so only the owner's signals arrive.
        const int r = sd_bus_match_signal(m_bus, &m_matchSlot, kBusName, kBusObjectPath, kBusInterface,
                                          nullptr, &DbusCallbacks::OnSignal, this);
        if (r < 0) {
            m_lastError = "cannot watch the broadcasts: " + ErrnoText(r);
            return false;
        }
    }
    return StartThreadLocked();
}

int DbusCallbacks::OnMethod(sd_bus_message* call, void* userdata, sd_bus_error* error) {
    auto* self = static_cast<DbusMessageBus*>(userdata);
    const char* member = sd_bus_message_get_member(call);
    const BusMessageInfo* info = member != nullptr ? FindBusMessage(member) : nullptr;
    if (info == nullptr || info->broadcast) {
        return sd_bus_error_setf(error, SD_BUS_ERROR_UNKNOWN_METHOD, "unknown method %s",
                                 member != nullptr ? member : "(none)");
    }
    if (!self->m_owner) {
        return sd_bus_error_set(error, SD_BUS_ERROR_FAILED, "this process is not the running instance");
    }
    BusMessage message;
    std::string why;
    if (!ReadArguments(call, *info, message, why)) {
        TraceF("bus: refused %s", why.c_str());
        return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "%s", why.c_str());
    }
    const char* sender = sd_bus_message_get_sender(call);
    message.sender = sender != nullptr ? sender : "";
    TraceMessage("received", message);
    // Answered by DeliverAll once the handler has taken it.
    self->m_pending.push_back({std::move(message), sd_bus_message_ref(call), false, {}});
    return 1;
}

int DbusCallbacks::OnSignal(sd_bus_message* signal, void* userdata, sd_bus_error*) {
    auto* self = static_cast<DbusMessageBus*>(userdata);
    const char* member = sd_bus_message_get_member(signal);
    const BusMessageInfo* info = member != nullptr ? FindBusMessage(member) : nullptr;
    if (info == nullptr || !info->broadcast) {
        return 0;
    }
    BusMessage message;
    std::string why;
    if (sd_bus_message_has_signature(signal, info->carriesData ? "uay" : "ii") <= 0) {
        why = std::string(info->member) + " with the wrong arguments";
    }
    if (!why.empty() || !ReadArguments(signal, *info, message, why)) {
        TraceF("bus: dropped broadcast: %s", why.c_str());
        return 0;
    }
    const char* sender = sd_bus_message_get_sender(signal);
    message.sender = sender != nullptr ? sender : "";
    TraceMessage("broadcast", message);
    self->m_pending.push_back({std::move(message), nullptr, true, {}});
    return 0;
}

int DbusCallbacks::OnNameOwnerChanged(sd_bus_message* signal, void* userdata, sd_bus_error*) {
    auto* watch = static_cast<DbusMessageBus::NameWatch*>(userdata);
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (sd_bus_message_read(signal, "sss", &name, &oldOwner, &newOwner) < 0 || name == nullptr ||
        watch->name != name || !watch->handler) {
        return 0;
    }
    const bool owned = newOwner != nullptr && newOwner[0] != '\0';
    TraceF("bus: %s %s", watch->name.c_str(), owned ? "has an owner" : "has no owner");
    DbusMessageBus::Pending pending;
    pending.notify = [handler = watch->handler, owned] { handler(owned); };
    watch->self->m_pending.push_back(std::move(pending));
    return 0;
}

void DbusMessageBus::Loop() {
    for (;;) {
        std::vector<Pending> ready;
        BusHandler handler;
        BusHandler watcher;
        pollfd fds[2] = {};
        int timeoutMs = -1;
        bool lost = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop) {
                return;
            }
            int r = 1;
            for (int i = 0; i < kProcessBatch && r > 0; ++i) {
                r = sd_bus_process(m_bus, nullptr);
            }
            fds[0].fd = sd_bus_get_fd(m_bus);
            const int events = sd_bus_get_events(m_bus);
            uint64_t until = UINT64_MAX;
            if (r < 0 || fds[0].fd < 0 || events < 0 || sd_bus_get_timeout(m_bus, &until) < 0) {
                lost = true;
                m_owner = false;
                m_lastError = "the session bus connection was lost";
                Trace("bus: the session bus connection was lost; messages from other programs are off");
                // As far as this endpoint can tell, every watched name has lost its owner.
                for (const NameWatch& watch : m_nameWatches) {
                    if (watch.handler) {
                        Pending pending;
                        pending.notify = [handler = watch.handler] { handler(false); };
                        m_pending.push_back(std::move(pending));
                    }
                }
            }
            fds[0].events = static_cast<short>(events);
            timeoutMs = r > 0 ? 0 : PollTimeout(until);
            ready.swap(m_pending);
            handler = m_handler;
            watcher = m_watchHandler;
        }
        DeliverAll(ready, handler, watcher);
        if (lost) {
            return;
        }
        fds[1].fd = m_wakeFd;
        fds[1].events = POLLIN;
        poll(fds, 2, timeoutMs); // an error (EINTR) just means another turn
        uint64_t count = 0;
        [[maybe_unused]] ssize_t got = read(m_wakeFd, &count, sizeof count);
    }
}

void DbusMessageBus::DeliverAll(std::vector<Pending>& ready, const BusHandler& handler,
                                const BusHandler& watcher) {
    if (ready.empty()) {
        return;
    }
    std::vector<bool> failed(ready.size(), false);
    for (size_t i = 0; i < ready.size(); ++i) {
        if (ready[i].notify) {
            try {
                ready[i].notify();
            } catch (...) {
                Trace("bus: deferred work failed");
            }
            continue;
        }
        const BusHandler& target = ready[i].broadcast ? watcher : handler;
        if (!target) {
            continue;
        }
        // A throwing handler must not end the bus thread (and with it the process).
        try {
            target(ready[i].message);
        } catch (...) {
            failed[i] = true;
            TraceF("bus: the handler of %s failed", BusMessageInfoOf(ready[i].message.kind).member);
        }
    }
    std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < ready.size(); ++i) {
        if (ready[i].call == nullptr) {
            continue;
        }
        if (failed[i]) {
            sd_bus_reply_method_errorf(ready[i].call, SD_BUS_ERROR_FAILED, "the program could not take %s",
                                       BusMessageInfoOf(ready[i].message.kind).member);
        } else {
            sd_bus_reply_method_return(ready[i].call, nullptr);
        }
        ready[i].call = sd_bus_message_unref(ready[i].call);
    }
}

void DbusMessageBus::Close() {
    std::thread thread;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        Wake();
        if (m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id()) {
            Trace("bus: Close() from a handler only stops the deliveries");
            return;
        }
        thread = std::move(m_thread);
    }
    if (thread.joinable()) {
        thread.join();
    }
    TearDown();
}

void DbusMessageBus::TearDown() {
    std::lock_guard lock(m_mutex);
    for (Pending& pending : m_pending) {
        if (pending.call != nullptr) {
            sd_bus_reply_method_errorf(pending.call, SD_BUS_ERROR_FAILED, "the program is shutting down");
            sd_bus_message_unref(pending.call);
        }
    }
    m_pending.clear();
    m_objectSlot = sd_bus_slot_unref(m_objectSlot);
    m_matchSlot = sd_bus_slot_unref(m_matchSlot);
    for (NameWatch& watch : m_nameWatches) {
        watch.slot = sd_bus_slot_unref(watch.slot);
    }
    m_nameWatches.clear();
    if (m_bus != nullptr) {
        // Closing the connection gives up the name at once.
        m_bus = sd_bus_flush_close_unref(m_bus);
    }
    if (m_wakeFd >= 0) {
        close(m_wakeFd);
        m_wakeFd = -1;
    }
    m_owner = false;
    m_closed = true;
    m_handler = nullptr;
    m_watchHandler = nullptr;
}

bool DbusMessageBus::IsOwner() const {
    std::lock_guard lock(m_mutex);
    return m_owner;
}

std::string DbusMessageBus::LastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

std::string DbusMessageBus::UniqueName() const {
    std::lock_guard lock(m_mutex);
    const char* unique = nullptr;
    if (m_bus == nullptr || sd_bus_get_unique_name(m_bus, &unique) < 0 || unique == nullptr) {
        return {};
    }
    return unique;
}

void DbusMessageBus::Defer(std::function<void()> work) {
    Pending pending;
    pending.notify = std::move(work);
    m_pending.push_back(std::move(pending)); // the caller, a callback, holds m_mutex
}

bool DbusMessageBus::WithConnection(const std::function<void(sd_bus* bus)>& use) {
    std::lock_guard lock(m_mutex);
    if (m_closed || !ConnectLocked()) {
        return false;
    }
    use(m_bus);
    Wake();
    return true;
}

} // namespace velkor
