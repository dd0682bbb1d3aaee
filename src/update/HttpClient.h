#pragma once
// HttpClient: the update check's one small HTTP client, on libcurl's multi
// interface. One object per thread; nothing is shared between objects and
// nothing is process-wide except libcurl's own start-up (HttpGlobalInit, once
// in each main).
//
// What a request promises:
// - The method is GET or POST in any case and goes out in upper case; any other
//   method gives -1 with last error 87, an empty URL -1 with last error 3, both
//   without any network activity.
// - Only https, or plain http to a loopback address (127.0.0.0/8, ::1,
//   "localhost"), is contacted; any other address, file:// included, is
//   refused with a clear message (-1). Certificates are always verified, against
//   the CA file when one is given. At most five redirects are followed, each
//   checked by the same rule, and never from https back to http.
// - Every request carries "Content-Type: application/x-www-form-urlencoded" and
//   "Accept:application/prs.Ornic.v1+json"; a POST carries the body's
//   Content-Length (0 for an empty body) and no other body bytes.
// - No connection made (the server cannot be reached, refused the TLS
//   handshake or its certificate): 0, with "NO_LINK_SERVER" written at the start
//   of a response span that can hold it. Any failure after the request was sent
//   (time-out, a body longer than the span or refused by the sink, a stop) is -1.
//   Otherwise the number of body bytes of the final response; its HTTP status is
//   LastStatus() and is not judged here.
// - Time-outs: connecting (resolving included) 60 s, 30 s without any data,
//   120 s in all (HttpLimits). Stop() from any thread ends a request within
//   100 ms at whatever stage it is, and makes every later request fail at once.
//
// Request, Reset and the accessors run on the owning thread; Stop on any thread.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace velkor {

// Last errors besides libcurl's own result codes (CURLcode, all below 1000).
inline constexpr uint32_t kHttpErrorBadMethod = 87;
inline constexpr uint32_t kHttpErrorEmptyUrl = 3;
inline constexpr uint32_t kHttpErrorRefusedUrl = 10001;  // not https, nor http to a loopback address
inline constexpr uint32_t kHttpErrorTooLong = 10002;     // the body does not fit its span or limit
inline constexpr uint32_t kHttpErrorStopped = 10003;     // Stop() was called
inline constexpr uint32_t kHttpErrorIdle = 10004;        // no data for the idle time
inline constexpr uint32_t kHttpErrorRedirects = 10005;   // more redirects than allowed
inline constexpr uint32_t kHttpErrorSinkRefused = 10006; // the body sink refused the answer
inline constexpr uint32_t kHttpErrorNoMemory = 10007;    // libcurl could not set up the request

// The text a response span receives when no connection was made.
inline constexpr std::string_view kNoLinkServer = "NO_LINK_SERVER";

struct HttpLimits {
    int connectTimeoutMs = 60000; // resolving, connecting and the TLS handshake
    int idleTimeoutMs = 30000;    // once connected: the longest gap without data
    int totalTimeoutMs = 120000;  // the whole request, redirects included; 0: none
    int maxRedirects = 5;
};

struct HttpClientSettings {
    // PEM file of the certificate authorities to trust; empty: the system's.
    std::string caFile;
    HttpLimits limits;
    std::string userAgent = "velkor-update/1.0";
};

// Receives the final response's body as it arrives (downloads). Returning
// false ends the transfer as a failure (kHttpErrorSinkRefused, or
// kHttpErrorTooLong when the sink says so through TooLong()).
class HttpBodySink {
public:
    virtual ~HttpBodySink() = default;
    // Once, before the first byte (also for an empty body): the HTTP status and
    // the announced body length, -1 when the server announced none.
    virtual bool Begin(int status, int64_t contentLength) = 0;
    virtual bool Write(std::span<const uint8_t> bytes) = 0;
    // Whether the last refusal was for length (the error reported differs).
    virtual bool TooLong() const { return false; }
};

// libcurl's process-wide start-up and clean-up; one object at the top of main,
// before any thread starts.
class HttpGlobalInit {
public:
    HttpGlobalInit();
    ~HttpGlobalInit();
    HttpGlobalInit(const HttpGlobalInit&) = delete;
    HttpGlobalInit& operator=(const HttpGlobalInit&) = delete;
    bool Ok() const { return m_ok; }

private:
    bool m_ok = false;
};

// Whether `url` may be contacted: https, or http to a loopback address (and
// then only when `afterHttps` is false). False with the reason otherwise.
bool HttpUrlAllowed(std::string_view url, bool afterHttps, std::string* why = nullptr);

class HttpClient {
public:
    explicit HttpClient(HttpClientSettings settings = {});
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // The last error, its text and the last status become 0 / empty. A stop stays.
    void Reset();

    // One request; the body of the final response goes into `response` from its
    // start, nothing past its end. Returns the byte count, 0 or -1 as above.
    int64_t Request(std::string_view method, std::string_view url, std::span<const uint8_t> body,
                    std::span<uint8_t> response);
    // The same, handing the body to `sink`; returns the bytes it took.
    int64_t Request(std::string_view method, std::string_view url, std::span<const uint8_t> body,
                    HttpBodySink& sink);

    uint32_t LastError() const { return m_lastError; }
    // What went wrong, in words, for messages and traces.
    const std::string& LastErrorText() const { return m_lastErrorText; }
    // The HTTP status of the final response; 0 when none arrived.
    int LastStatus() const { return m_lastStatus; }

    // Any thread: ends the running request and refuses every later one.
    void Stop();
    bool Stopped() const { return m_stopped.load(); }

    // The state of one request (HttpClient.cpp only).
    struct Transfer;

private:
    enum class HopEnd { Done, Redirect, NotSent, Failed };

    int64_t Fail(uint32_t error, std::string text);
    HopEnd RunHop(Transfer& transfer);
    bool Configure(Transfer& transfer);
    bool Wait(Transfer& transfer, int& code);

    const HttpClientSettings m_settings;
    struct Handles;
    std::unique_ptr<Handles> m_handles;
    std::atomic<bool> m_stopped{false};
    uint32_t m_lastError = 0;
    std::string m_lastErrorText;
    int m_lastStatus = 0;
    bool m_lastNotSent = false;
};

} // namespace velkor
