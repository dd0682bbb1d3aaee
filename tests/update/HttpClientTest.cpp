// The HTTP client against a server in the test's own process (plain http on
// 127.0.0.1 and https with a certificate authority made for the test).
#include "update/HttpClient.h"
#include "support/LocalHttpServer.h"
#include "support/ScratchFolder.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

namespace velkor::test {
namespace {

constexpr size_t kBuffer = 102400;

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// What the server saw of the last request.
struct Seen {
    std::mutex mutex;
    int hits = 0;
    std::string method, contentType, accept, contentLength, body;
};

void Serve(LocalHttpServer& server, Seen& seen) {
    auto& routes = server.Routes();
    const auto record = [&seen](const httplib::Request& request) {
        std::lock_guard lock(seen.mutex);
        ++seen.hits;
        seen.method = request.method;
        seen.contentType = request.get_header_value("Content-Type");
        seen.accept = request.get_header_value("Accept");
        seen.contentLength = request.get_header_value("Content-Length");
        seen.body = request.body;
    };
    routes.Post("/echo", [record](const httplib::Request& request, httplib::Response& response) {
        record(request);
        response.set_content("ok", "text/plain");
    });
    routes.Get(R"(/size/(\d+))", [record](const httplib::Request& request, httplib::Response& response) {
        record(request);
        response.set_content(std::string(std::stoul(request.matches[1]), 'x'), "text/plain");
    });
    routes.Get("/blocks", [record](const httplib::Request& request, httplib::Response& response) {
        record(request);
        response.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink& sink) {
            if (offset >= 25) {
                sink.done();
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return sink.write(std::string(5, char('a' + offset / 5)).data(), 5);
        });
    });
    routes.Get("/trickle", [record](const httplib::Request& request, httplib::Response& response) {
        record(request);
        response.set_chunked_content_provider("text/plain", [](size_t, httplib::DataSink& sink) {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            return sink.write("x", 1);
        });
    });
    routes.Get("/loop", [record](const httplib::Request& request, httplib::Response& response) {
        record(request);
        response.set_redirect("/loop");
    });
    routes.Get("/file", [record](const httplib::Request& request, httplib::Response& response) {
        record(request);
        response.set_redirect("file:///etc/passwd");
    });
}

struct Case {
    const char* label;
    const char* method;
    const char* url; // a path on the server, or a whole URL; "" stays empty
    int64_t result;
    uint32_t error;
    const char* starts; // what the response buffer starts with
    int hits;           // requests the server saw
    int totalMs = 0;    // the whole-request limit, when the case sets one
};

class HttpClientCases : public ::testing::TestWithParam<Case> {};

TEST_P(HttpClientCases, ResultErrorAndWhatTheServerSaw) {
    const Case& c = GetParam();
    Seen seen;
    LocalHttpServer server;
    Serve(server, seen);
    ASSERT_TRUE(server.Start());
    std::string url = c.url;
    if (url.starts_with("/")) {
        url = server.Url(url);
    } else if (url == "closed") {
        url = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/api/updates";
    }
    HttpClientSettings settings;
    if (c.totalMs > 0) {
        settings.limits.totalTimeoutMs = c.totalMs;
    }
    HttpClient client(settings);
    std::vector<uint8_t> buffer(kBuffer, 0);
    const std::vector<uint8_t> body = Bytes("app_key=a");
    EXPECT_EQ(client.Request(c.method, url, body, buffer), c.result) << client.LastErrorText();
    EXPECT_EQ(client.LastError(), c.error) << client.LastErrorText();
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + std::strlen(c.starts)), c.starts);
    std::lock_guard lock(seen.mutex);
    EXPECT_EQ(seen.hits, c.hits);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HttpClientCases,
    ::testing::Values(
        Case{"lower_case_post", "post", "/echo", 2, 0, "ok", 1},
        Case{"put_refused_offline", "PUT", "/echo", -1, kHttpErrorBadMethod, "", 0},
        Case{"empty_url", "GET", "", -1, kHttpErrorEmptyUrl, "", 0},
        Case{"nobody_listens", "POST", "closed", 0, CURLE_COULDNT_CONNECT, "NO_LINK_SERVER", 0},
        Case{"fills_the_buffer", "GET", "/size/102400", 102400, 0, "xxxx", 1},
        Case{"one_byte_too_long", "GET", "/size/102401", -1, kHttpErrorTooLong, "", 1},
        Case{"reply_in_blocks", "GET", "/blocks", 25, 0, "aaaaabbbbbcccccdddddeeeee", 1},
        Case{"redirect_loop", "GET", "/loop", -1, kHttpErrorRedirects, "", 6},
        Case{"redirect_to_file", "GET", "/file", -1, kHttpErrorRefusedUrl, "", 1},
        Case{"plain_http_elsewhere", "GET", "http://update.example/api/", -1, kHttpErrorRefusedUrl, "", 0},
        Case{"ftp_refused", "GET", "ftp://127.0.0.1/x", -1, kHttpErrorRefusedUrl, "", 0},
        Case{"trickle_hits_the_total_limit", "GET", "/trickle", -1, CURLE_OPERATION_TIMEDOUT, "", 1, 300}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.label); });

TEST(HttpClient, SendsTheFormHeadersAndLengthAndNothingElse) {
    Seen seen;
    LocalHttpServer server;
    Serve(server, seen);
    ASSERT_TRUE(server.Start());
    HttpClient client;
    std::vector<uint8_t> buffer(16);
    ASSERT_EQ(client.Request("POST", server.Url("/echo"), {}, buffer), 2);
    {
        std::lock_guard lock(seen.mutex);
        EXPECT_EQ(seen.method, "POST");
        EXPECT_EQ(seen.contentType, "application/x-www-form-urlencoded");
        EXPECT_EQ(seen.accept, "application/prs.Ornic.v1+json");
        EXPECT_EQ(seen.contentLength, "0");
        EXPECT_EQ(seen.body, "") << "a blank line in the headers would have turned them into a body";
    }
    const std::vector<uint8_t> form = Bytes("app_key=A_1&version=103");
    ASSERT_EQ(client.Request("POST", server.Url("/echo"), form, buffer), 2);
    std::lock_guard lock(seen.mutex);
    EXPECT_EQ(seen.contentLength, "23");
    EXPECT_EQ(seen.body, "app_key=A_1&version=103") << "no terminating zero goes out";
    EXPECT_EQ(client.LastStatus(), 200);
}

class HttpsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_certs.Ok()) << "openssl could not make the test certificates"; }
    ScratchFolder m_folder{"velkor_https_"};
    TestCertificates m_certs{m_folder.Path()};
};

TEST_F(HttpsTest, CertificatesAreVerifiedAgainstTheCaFile) {
    Seen seen;
    LocalHttpServer signedServer(m_certs.serverCert, m_certs.serverKey);
    LocalHttpServer selfSigned(m_certs.selfCert, m_certs.selfKey);
    Serve(signedServer, seen);
    Serve(selfSigned, seen);
    ASSERT_TRUE(signedServer.Start());
    ASSERT_TRUE(selfSigned.Start());
    std::vector<uint8_t> buffer(64, 0);

    HttpClient trusting({.caFile = m_certs.caFile});
    EXPECT_EQ(trusting.Request("GET", signedServer.Url("/size/3"), {}, buffer), 3)
        << trusting.LastErrorText();

    HttpClient systemStore;
    EXPECT_EQ(systemStore.Request("GET", selfSigned.Url("/size/3"), {}, buffer), 0);
    EXPECT_EQ(systemStore.LastError(), uint32_t(CURLE_PEER_FAILED_VERIFICATION))
        << systemStore.LastErrorText();
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data())), "NO_LINK_SERVER");
    EXPECT_EQ(trusting.Request("GET", selfSigned.Url("/size/3"), {}, buffer), 0)
        << "another authority's server";

    HttpClient privateServer({.caFile = m_certs.selfCert});
    EXPECT_EQ(privateServer.Request("GET", selfSigned.Url("/size/3"), {}, buffer), 3)
        << privateServer.LastErrorText();
    std::lock_guard lock(seen.mutex);
    EXPECT_EQ(seen.hits, 2) << "no request reached a server it did not trust";
}

TEST_F(HttpsTest, NoRedirectLeadsFromHttpsToHttp) {
    Seen seen;
    LocalHttpServer plain;
    LocalHttpServer secure(m_certs.serverCert, m_certs.serverKey);
    Serve(plain, seen);
    ASSERT_TRUE(plain.Start());
    const std::string target = plain.Url("/size/3");
    secure.Routes().Get("/down", [&target](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(target);
    });
    ASSERT_TRUE(secure.Start());
    HttpClient client({.caFile = m_certs.caFile});
    std::vector<uint8_t> buffer(64);
    EXPECT_EQ(client.Request("GET", secure.Url("/down"), {}, buffer), -1);
    EXPECT_EQ(client.LastError(), kHttpErrorRefusedUrl);
    EXPECT_NE(client.LastErrorText().find("https to plain http"), std::string::npos)
        << client.LastErrorText();
    std::lock_guard lock(seen.mutex);
    EXPECT_EQ(seen.hits, 0);
}

// A server that never answers: a stop ends the request (the client's own
// limits are a minute and more, so only the stop can end it); the 100 ms
// bound is measured in bench/update.
class SilentServerStop : public ::testing::TestWithParam<const char*> {};

TEST_P(SilentServerStop, AStopEndsTheRequest) {
    SilentListener silent;
    ASSERT_GT(silent.Port(), 0);
    HttpClient client;
    std::vector<uint8_t> buffer(64);
    const std::string url = std::string(GetParam()) + "://127.0.0.1:" + std::to_string(silent.Port()) + "/";
    auto request = std::async(std::launch::async, [&] { return client.Request("GET", url, {}, buffer); });
    EXPECT_EQ(request.wait_for(std::chrono::milliseconds(150)), std::future_status::timeout);
    client.Stop();
    ASSERT_EQ(request.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "hang guard";
    EXPECT_EQ(request.get(), -1);
    EXPECT_EQ(client.LastError(), kHttpErrorStopped);
    EXPECT_EQ(client.Request("GET", url, {}, buffer), -1) << "a stopped client sends nothing more";
}

INSTANTIATE_TEST_SUITE_P(AnyStage, SilentServerStop, ::testing::Values("http", "https"));

TEST(HttpClient, ASilentConnectionEndsAfterTheIdleLimit) {
    SilentListener silent;
    HttpClient client({.limits = {.idleTimeoutMs = 200}});
    std::vector<uint8_t> buffer(64);
    EXPECT_EQ(client.Request("GET", "http://127.0.0.1:" + std::to_string(silent.Port()) + "/", {}, buffer),
              -1);
    EXPECT_EQ(client.LastError(), kHttpErrorIdle) << client.LastErrorText();
}

} // namespace
} // namespace velkor::test
