#include "sdk/SdkServer.h"

#include "platform/Trace.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace velkor::sdk {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPollMs = 100;
constexpr size_t kReadChunk = 64 * 1024;
constexpr size_t kMaxNameBytes = 128;

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

uint32_t U32At(std::span<const uint8_t> bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

std::vector<uint8_t> U32Payload(uint32_t value) {
    return {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

// A listening socket on one loopback address; -1 with errno set otherwise.
int Listen(bool v6, uint16_t port) {
    const int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    int bound = -1;
    if (v6) {
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_loopback;
        address.sin6_port = htons(port);
        bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } else {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    if (bound != 0 || listen(fd, 16) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

uint16_t BoundPort(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return address.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port)
                                         : ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

std::string PeerText(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = {};
    uint16_t port = 0;
    if (address.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&address);
        inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
        port = ntohs(a->sin6_port);
        return "[" + std::string(text) + "]:" + std::to_string(port);
    }
    const auto* a = reinterpret_cast<const sockaddr_in*>(&address);
    inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
    port = ntohs(a->sin_port);
    return std::string(text) + ":" + std::to_string(port);
}

} // namespace

struct SdkServer::Client {
    int fd = -1;
    ClientInfo info;
    std::vector<uint8_t> in;
    std::vector<uint8_t> out;
    size_t outSent = 0;
    int64_t partialSinceMs = 0; // an unfinished packet waits since then
    int64_t stalledSinceMs = 0; // answers wait unread since then
};

SdkServer::SdkServer(SdkHost& host) : m_host(host) {}

SdkServer::~SdkServer() {
    Stop();
}

bool SdkServer::Start(uint16_t port) {
    Stop();
    const int v4 = Listen(false, port);
    if (v4 < 0) {
        const std::string reason =
            errno == EADDRINUSE
                ? "port " + std::to_string(port) + " is in use"
                : "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        TraceF("SDK server: %s", reason.c_str());
        std::lock_guard lock(m_mutex);
        m_error = reason;
        m_port = 0;
        return false;
    }
    const uint16_t bound = BoundPort(v4);
    m_listeners = {v4};
    // ::1 as well when the system has it; the same port, so clients find it by either name.
    if (const int v6 = Listen(true, bound); v6 >= 0) {
        m_listeners.push_back(v6);
    } else {
        TraceF("SDK server: not on [::1]:%u (%s)", unsigned(bound), std::strerror(errno));
    }
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    {
        std::lock_guard lock(m_mutex);
        m_error.clear();
        m_port = bound;
        m_listChanged = false;
    }
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    TraceF("SDK server: listening on port %u", unsigned(bound));
    return true;
}

void SdkServer::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    m_stop = true;
    Wake();
    m_thread.join();
    for (int fd : m_listeners) {
        close(fd);
    }
    m_listeners.clear();
    close(m_wakeFd);
    m_wakeFd = -1;
    std::lock_guard lock(m_mutex);
    m_port = 0;
    m_clientInfo.clear();
}

bool SdkServer::Running() const {
    std::lock_guard lock(m_mutex);
    return m_port != 0;
}

uint16_t SdkServer::Port() const {
    std::lock_guard lock(m_mutex);
    return m_port;
}

std::string SdkServer::Error() const {
    std::lock_guard lock(m_mutex);
    return m_error;
}

std::vector<ClientInfo> SdkServer::Clients() const {
    std::lock_guard lock(m_mutex);
    return m_clientInfo;
}

void SdkServer::Publish(std::vector<Controller> controllers, bool listChanged) {
    {
        std::lock_guard lock(m_mutex);
        m_controllers = std::move(controllers);
        m_listChanged = m_listChanged || listChanged;
    }
    if (listChanged) {
        Wake();
    }
}

void SdkServer::PublishProfiles(std::vector<std::string> names) {
    std::lock_guard lock(m_mutex);
    m_profiles = std::move(names);
}

void SdkServer::Wake() {
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
    }
}

void SdkServer::Run() {
    std::vector<pollfd> fds;
    while (!m_stop) {
        fds.clear();
        fds.push_back({m_wakeFd, POLLIN, 0});
        for (int fd : m_listeners) {
            fds.push_back({fd, POLLIN, 0});
        }
        const size_t firstClient = fds.size();
        for (const auto& client : m_clients) {
            const short events = short(POLLIN | (client->out.size() > client->outSent ? POLLOUT : 0));
            fds.push_back({client->fd, events, 0});
        }
        if (poll(fds.data(), fds.size(), kPollMs) < 0 && errno != EINTR) {
            Trace("SDK server: poll failed; the server stops");
            break;
        }
        if (fds[0].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = read(m_wakeFd, &count, sizeof count);
        }
        bool listChanged = false;
        {
            std::lock_guard lock(m_mutex);
            listChanged = std::exchange(m_listChanged, false);
        }
        // Clients first (by index, from the back, so closing one keeps the others' places).
        for (size_t i = m_clients.size(); i-- > 0;) {
            Client& client = *m_clients[i];
            const short revents = fds[firstClient + i].revents;
            bool keep = true;
            if (revents & (POLLIN | POLLHUP | POLLERR)) {
                keep = ReadFrom(client);
            }
            if (keep && listChanged) {
                Answer(client, 0, kDeviceListUpdated, {});
            }
            if (keep && client.out.size() > client.outSent) {
                keep = WriteTo(client);
            }
            const int64_t now = NowMs();
            if (keep && client.partialSinceMs != 0 && now - client.partialSinceMs > m_timeoutMs) {
                Close(i, "left a packet unfinished");
            } else if (keep && client.stalledSinceMs != 0 && now - client.stalledSinceMs > m_timeoutMs) {
                Close(i, "does not read its answers");
            } else if (!keep) {
                Close(i, "closed or sent what is not a packet");
            }
        }
        for (size_t l = 0; l < m_listeners.size(); ++l) {
            if (fds[1 + l].revents & POLLIN) {
                AcceptFrom(m_listeners[l]);
            }
        }
    }
    while (!m_clients.empty()) {
        Close(m_clients.size() - 1, "the server stops");
    }
}

void SdkServer::AcceptFrom(int listener) {
    while (true) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        const int fd =
            accept4(listener, reinterpret_cast<sockaddr*>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        const std::string peer = PeerText(address);
        if (m_clients.size() >= kMaxClients) {
            TraceF("SDK server: %s refused, %zu clients are connected", peer.c_str(), m_clients.size());
            close(fd);
            continue;
        }
        auto client = std::make_unique<Client>();
        client->fd = fd;
        client->info.id = m_nextClient++;
        client->info.address = peer;
        TraceF("SDK server: client %u from %s", client->info.id, peer.c_str());
        m_clients.push_back(std::move(client));
        std::lock_guard lock(m_mutex);
        m_clientInfo.push_back(m_clients.back()->info);
    }
}

bool SdkServer::ReadFrom(Client& client) {
    uint8_t chunk[kReadChunk];
    while (true) {
        const ssize_t got = recv(client.fd, chunk, sizeof chunk, 0);
        if (got == 0) {
            return false;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                break;
            }
            return false;
        }
        client.in.insert(client.in.end(), chunk, chunk + got);
        // Whole packets as soon as they are in: a flood is parsed as it comes, never stored whole.
        size_t at = 0;
        while (client.in.size() - at >= kHeaderSize) {
            Header header;
            const std::span<const uint8_t> rest(client.in.data() + at, client.in.size() - at);
            if (const HeaderCheck check = ReadHeader(rest, header); check != HeaderCheck::Ok) {
                TraceF("SDK server: client %u sent %s", client.info.id,
                       check == HeaderCheck::TooLarge ? "a packet larger than any request" : "a bad header");
                return false;
            }
            if (rest.size() < kHeaderSize + header.size) {
                break;
            }
            if (!Handle(client, header, rest.subspan(kHeaderSize, header.size))) {
                return false;
            }
            at += kHeaderSize + header.size;
        }
        client.in.erase(client.in.begin(), client.in.begin() + std::ptrdiff_t(at));
        if (client.out.size() - client.outSent > kMaxQueuedBytes) {
            TraceF("SDK server: client %u lets its answers pile up", client.info.id);
            return false;
        }
    }
    client.partialSinceMs =
        client.in.empty() ? 0 : (client.partialSinceMs != 0 ? client.partialSinceMs : NowMs());
    return true;
}

bool SdkServer::WriteTo(Client& client) {
    bool progressed = false;
    while (client.outSent < client.out.size()) {
        const ssize_t sent = send(client.fd, client.out.data() + client.outSent,
                                  client.out.size() - client.outSent, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                break;
            }
            return false;
        }
        client.outSent += size_t(sent);
        progressed = true;
    }
    if (client.outSent == client.out.size()) {
        client.out.clear();
        client.outSent = 0;
        client.stalledSinceMs = 0;
    } else if (progressed || client.stalledSinceMs == 0) {
        client.stalledSinceMs = NowMs();
    }
    return true;
}

void SdkServer::Answer(Client& client, uint32_t device, uint32_t packetId, std::span<const uint8_t> payload) {
    if (client.out.size() - client.outSent > kMaxQueuedBytes) {
        return; // ReadFrom or the stall time-out closes it
    }
    AppendHeader(client.out, device, packetId, uint32_t(payload.size()));
    client.out.insert(client.out.end(), payload.begin(), payload.end());
}

bool SdkServer::Handle(Client& client, const Header& header, std::span<const uint8_t> payload) {
    Command command;
    command.client = client.info.id;
    command.clientName = client.info.name;
    command.controller = header.deviceIndex;
    switch (header.packetId) {
    case kRequestProtocolVersion: {
        const uint32_t asked = payload.size() >= 4 ? U32At(payload) : 0;
        client.info.protocol = std::min(asked, kSdkProtocolVersion);
        const auto answer = U32Payload(kSdkProtocolVersion);
        Answer(client, header.deviceIndex, kRequestProtocolVersion, answer);
        break;
    }
    case kSetClientName: {
        std::string name = ReadTextPayload(payload).substr(0, kMaxNameBytes);
        for (char& c : name) {
            c = (static_cast<unsigned char>(c) < 0x20) ? '?' : c;
        }
        client.info.name = name;
        TraceF("SDK server: client %u is \"%s\"", client.info.id, name.c_str());
        std::lock_guard lock(m_mutex);
        for (ClientInfo& info : m_clientInfo) {
            if (info.id == client.info.id) {
                info = client.info;
            }
        }
        break;
    }
    case kRequestControllerCount: {
        uint32_t count = 0;
        {
            std::lock_guard lock(m_mutex);
            count = uint32_t(m_controllers.size());
        }
        Answer(client, 0, kRequestControllerCount, U32Payload(count));
        break;
    }
    case kRequestControllerData: {
        const uint32_t version = std::min(payload.size() >= 4 ? U32At(payload) : 0u, kSdkProtocolVersion);
        std::vector<uint8_t> answer;
        {
            std::lock_guard lock(m_mutex);
            if (header.deviceIndex < m_controllers.size()) {
                answer = DescribeController(m_controllers[header.deviceIndex], version);
            }
        }
        if (answer.empty()) {
            TraceF("SDK server: client %u asked for controller %u, which is not there", client.info.id,
                   header.deviceIndex);
        } else {
            Answer(client, header.deviceIndex, kRequestControllerData, answer);
        }
        break;
    }
    case kRequestProfileList: {
        std::vector<uint8_t> answer;
        {
            std::lock_guard lock(m_mutex);
            answer = DescribeProfiles(m_profiles);
        }
        Answer(client, 0, kRequestProfileList, answer);
        break;
    }
    case kSaveProfile:
    case kLoadProfile:
    case kDeleteProfile:
        TraceF("SDK server: profiles belong to each device here; packet %u from client %u ignored",
               header.packetId, client.info.id);
        break;
    case kResizeZone:
        TraceF("SDK server: zones have a fixed size; resize from client %u refused", client.info.id);
        break;
    case kUpdateLeds:
        if (auto colours = ReadLedsRequest(payload)) {
            command.kind = Command::Kind::UpdateLeds;
            command.colours = std::move(*colours);
            m_host.OnCommand(std::move(command));
        }
        break;
    case kUpdateZoneLeds:
        if (auto request = ReadZoneLedsRequest(payload)) {
            command.kind = Command::Kind::UpdateZoneLeds;
            command.zone = request->zone;
            command.colours = std::move(request->colours);
            m_host.OnCommand(std::move(command));
        }
        break;
    case kUpdateSingleLed:
        if (auto request = ReadSingleLedRequest(payload)) {
            command.kind = Command::Kind::UpdateSingleLed;
            command.led = request->led;
            command.colours = {request->colour};
            m_host.OnCommand(std::move(command));
        }
        break;
    case kSetCustomMode:
        command.kind = Command::Kind::SetCustomMode;
        m_host.OnCommand(std::move(command));
        break;
    case kUpdateMode:
    case kSaveMode: {
        // A client below version 3 sends modes without brightness.
        const uint32_t version = client.info.protocol;
        if (auto request = ReadModeRequest(payload, version)) {
            command.kind = header.packetId == kSaveMode ? Command::Kind::SaveMode : Command::Kind::UpdateMode;
            command.mode = std::move(*request);
            m_host.OnCommand(std::move(command));
        } else {
            TraceF("SDK server: client %u sent a malformed mode", client.info.id);
        }
        break;
    }
    default:
        TraceF("SDK server: packet %u from client %u is not served", header.packetId, client.info.id);
        break;
    }
    return true;
}

void SdkServer::Close(size_t index, const char* why) {
    const uint32_t id = m_clients[index]->info.id;
    TraceF("SDK server: client %u goes: %s", id, why);
    close(m_clients[index]->fd);
    m_clients.erase(m_clients.begin() + std::ptrdiff_t(index));
    {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_clientInfo, [id](const ClientInfo& info) { return info.id == id; });
    }
    m_host.OnClientGone(id);
}

} // namespace velkor::sdk
