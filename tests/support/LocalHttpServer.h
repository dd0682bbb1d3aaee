#pragma once
// A local HTTP or HTTPS server for one test or benchmark: cpp-httplib on
// 127.0.0.1, a port of its own, its own threads. TestCertificates makes a
// private certificate authority, a server certificate it signed and a
// self-signed one with openssl at run time (nothing is fetched or kept).
#include <httplib.h>

#include <memory>
#include <string>
#include <thread>

namespace velkor::test {

class TestCertificates {
public:
    // Writes the files into `folder`; Ok() tells whether openssl made them all.
    explicit TestCertificates(const std::string& folder);
    bool Ok() const { return m_ok; }

    std::string caFile;     // the private authority (pass as the client's CA file)
    std::string serverCert; // signed by it, for 127.0.0.1 and localhost
    std::string serverKey;
    std::string selfCert; // self-signed, for 127.0.0.1 and localhost
    std::string selfKey;

private:
    bool m_ok = false;
};

class LocalHttpServer {
public:
    // Plain http.
    LocalHttpServer();
    // https with the certificate and key given.
    LocalHttpServer(const std::string& cert, const std::string& key);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    // Register handlers before Start.
    httplib::Server& Routes() { return *m_server; }
    // Binds a free port and serves on a thread; false when it cannot.
    bool Start();
    void Stop();
    int Port() const { return m_port; }
    // "http://127.0.0.1:PORT" + path (https for a secure server).
    std::string Url(const std::string& path) const;

private:
    std::unique_ptr<httplib::Server> m_server;
    bool m_secure = false;
    int m_port = -1;
    std::thread m_thread;
};

// A port on 127.0.0.1 that accepts connections into its backlog and never
// reads or answers: a server that stays silent at any stage.
class SilentListener {
public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    int Port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = -1;
};

// A port on 127.0.0.1 where nobody listens.
int ClosedPort();

} // namespace velkor::test
