#include "support/LocalHttpServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velkor::test {
namespace {

int BoundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return -1;
    }
    return ntohs(address.sin_port);
}

int ListenOnLoopback(int backlog) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        (backlog > 0 && listen(fd, backlog) != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

bool Openssl(const std::string& arguments) {
    const std::string command = "openssl " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

} // namespace

TestCertificates::TestCertificates(const std::string& folder) {
    const std::string ec = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const std::string names = "subjectAltName=IP:127.0.0.1,DNS:localhost";
    caFile = folder + "/ca.pem";
    serverCert = folder + "/server.pem";
    serverKey = folder + "/server.key";
    selfCert = folder + "/self.pem";
    selfKey = folder + "/self.key";
    std::ofstream(folder + "/server.ext") << names << "\n";
    m_ok = Openssl("req -x509 " + ec + " -keyout " + folder + "/ca.key -out " + caFile +
                   " -days 2 -subj /CN=velkor-test-ca -addext basicConstraints=critical,CA:TRUE"
                   " -addext keyUsage=critical,keyCertSign,cRLSign") &&
           Openssl("req " + ec + " -keyout " + serverKey + " -out " + folder +
                   "/server.csr -subj /CN=localhost") &&
           Openssl("x509 -req -in " + folder + "/server.csr -CA " + caFile + " -CAkey " + folder +
                   "/ca.key -CAcreateserial -out " + serverCert + " -days 2 -extfile " + folder +
                   "/server.ext") &&
           Openssl("req -x509 " + ec + " -keyout " + selfKey + " -out " + selfCert +
                   " -days 2 -subj /CN=localhost -addext " + names);
}

LocalHttpServer::LocalHttpServer() : m_server(std::make_unique<httplib::Server>()) {}

LocalHttpServer::LocalHttpServer(const std::string& cert, const std::string& key)
    : m_server(std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str())), m_secure(true) {}

LocalHttpServer::~LocalHttpServer() {
    Stop();
}

bool LocalHttpServer::Start() {
    if (!m_server->is_valid()) {
        return false;
    }
    // Answers go out at once: with Nagle's delay the loopback server, not the
    // client under test, would set the pace.
    m_server->set_tcp_nodelay(true);
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
        return false;
    }
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    for (int i = 0; i < 500 && !m_server->is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return m_server->is_running();
}

void LocalHttpServer::Stop() {
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}

std::string LocalHttpServer::Url(const std::string& path) const {
    return std::string(m_secure ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port) + path;
}

SilentListener::SilentListener() : m_fd(ListenOnLoopback(16)) {
    m_port = m_fd >= 0 ? BoundPort(m_fd) : -1;
}

SilentListener::~SilentListener() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

int ClosedPort() {
    // Bound, never listening, then released: a connection there is refused.
    const int fd = ListenOnLoopback(0);
    const int port = fd >= 0 ? BoundPort(fd) : -1;
    if (fd >= 0) {
        close(fd);
    }
    return port;
}

} // namespace velkor::test
