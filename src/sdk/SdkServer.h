#pragma once
// SdkServer: the OpenRGB SDK server of the program. It owns one thread that
// listens on the loopback addresses only (127.0.0.1 and ::1, never another
// address), serves at most kMaxClients clients, answers the requests that
// only read (protocol version, controller count and data, profile list)
// from the last picture of the controllers it was given, and hands every
// request that changes something to its host.
//
// Promises:
//   - nothing a client does can stall the host: sockets never block, the
//     host's Command is called on the server thread and must only post work;
//   - a client that sends a header without the magic, a packet larger than
//     kMaxPacketSize, or that leaves a packet unfinished or an answer unread
//     for kTimeoutMs (or lets kMaxQueuedBytes of answers pile up) is closed;
//     the other clients go on;
//   - the 9th client is closed at once;
//   - Stop ends the thread within one poll interval and closes every socket.
//
// Start, Stop, Publish and the status calls may come from any thread (the
// program calls them on its user-interface thread).
#include "sdk/SdkWire.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velkor::sdk {

// A request that changes something, with its payload already checked.
struct Command {
    enum class Kind { UpdateLeds, UpdateZoneLeds, UpdateSingleLed, SetCustomMode, UpdateMode, SaveMode };
    Kind kind = Kind::UpdateLeds;
    uint32_t client = 0;     // the server's number of the client (from 1)
    std::string clientName;  // as the client named itself; empty until it does
    uint32_t controller = 0; // index in the last published list
    uint32_t zone = 0;       // UpdateZoneLeds
    int32_t led = 0;         // UpdateSingleLed
    std::vector<Colour> colours;
    ModeRequest mode; // UpdateMode, SaveMode
};

class SdkHost {
public:
    virtual ~SdkHost() = default;
    // Server thread; must not wait for anything.
    virtual void OnCommand(Command command) = 0;
    // A client went (closed, refused or timed out). Server thread.
    virtual void OnClientGone(uint32_t client) { (void)client; }
};

struct ClientInfo {
    uint32_t id = 0;
    std::string name;
    std::string address;
    uint32_t protocol = 0;
};

class SdkServer {
public:
    static constexpr size_t kMaxClients = 8;
    static constexpr int kTimeoutMs = 5000;
    static constexpr size_t kMaxQueuedBytes = 4u << 20;

    explicit SdkServer(SdkHost& host);
    ~SdkServer();
    SdkServer(const SdkServer&) = delete;
    SdkServer& operator=(const SdkServer&) = delete;

    // Listens on `port` (0: a free port, for tests). False with the reason
    // in Error() (a port in use among them); a running server is stopped first.
    bool Start(uint16_t port);
    void Stop();
    bool Running() const;
    // The port listened on; 0 when not running.
    uint16_t Port() const;
    // Why the last Start failed; empty after a good one.
    std::string Error() const;
    std::vector<ClientInfo> Clients() const;

    // The controllers from now on. With `listChanged` (devices came or went)
    // every client hears that the list was updated.
    void Publish(std::vector<Controller> controllers, bool listChanged);
    // What the profile-list request answers.
    void PublishProfiles(std::vector<std::string> names);

    // The time-out of an unfinished packet or unread answer (tests shorten it).
    void SetTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    struct Client;
    void Run();
    void AcceptFrom(int listener);
    // False when the client must be closed.
    bool ReadFrom(Client& client);
    bool WriteTo(Client& client);
    bool Handle(Client& client, const Header& header, std::span<const uint8_t> payload);
    void Answer(Client& client, uint32_t device, uint32_t packetId, std::span<const uint8_t> payload);
    void Close(size_t index, const char* why);
    void Wake();

    SdkHost& m_host;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    int m_wakeFd = -1;
    std::vector<int> m_listeners;
    std::atomic<int> m_timeoutMs{kTimeoutMs};

    mutable std::mutex m_mutex; // what other threads read or publish
    uint16_t m_port = 0;
    std::string m_error;
    std::vector<Controller> m_controllers;
    std::vector<std::string> m_profiles;
    std::vector<ClientInfo> m_clientInfo;
    bool m_listChanged = false;

    // Server thread only.
    std::vector<std::unique_ptr<Client>> m_clients;
    uint32_t m_nextClient = 1;
};

} // namespace velkor::sdk
