#include "update/HttpClient.h"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstring>

namespace velkor {
namespace {

using Clock = std::chrono::steady_clock;

// The longest the wait loop sleeps between its own checks (idle time-out);
// a stop wakes it at once.
constexpr int kPollSliceMs = 50;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = char(c - 'A' + 'a');
        }
    }
    return out;
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = char(c - 'a' + 'A');
        }
    }
    return out;
}

bool IsLoopbackHost(std::string host) {
    host = Lower(host);
    if (host == "localhost") {
        return true; // libcurl answers "localhost" itself, never through a resolver
    }
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        in6_addr v6{};
        return inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
    }
    in_addr v4{};
    return inet_pton(AF_INET, host.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127;
}

// Scheme and host of an absolute URL, as libcurl itself reads them.
bool SplitUrl(std::string_view url, std::string& scheme, std::string& host) {
    CURLU* handle = curl_url();
    if (handle == nullptr) {
        return false;
    }
    const std::string text(url);
    char* schemePart = nullptr;
    char* hostPart = nullptr;
    const bool ok =
        curl_url_set(handle, CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK &&
        curl_url_get(handle, CURLUPART_SCHEME, &schemePart, 0) == CURLUE_OK &&
        curl_url_get(handle, CURLUPART_HOST, &hostPart, 0) == CURLUE_OK;
    if (ok) {
        scheme = Lower(schemePart);
        host = hostPart;
    }
    curl_free(schemePart);
    curl_free(hostPart);
    curl_url_cleanup(handle);
    return ok;
}

bool IsRedirectStatus(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The response span as a sink: bytes go one after the other, never past its end.
class SpanSink final : public HttpBodySink {
public:
    explicit SpanSink(std::span<uint8_t> span) : m_span(span) {}
    bool Begin(int, int64_t) override { return true; }
    bool Write(std::span<const uint8_t> bytes) override {
        if (bytes.size() > m_span.size() - m_used) {
            m_tooLong = true;
            return false;
        }
        std::memcpy(m_span.data() + m_used, bytes.data(), bytes.size());
        m_used += bytes.size();
        return true;
    }
    bool TooLong() const override { return m_tooLong; }

private:
    std::span<uint8_t> m_span;
    size_t m_used = 0;
    bool m_tooLong = false;
};

} // namespace

HttpGlobalInit::HttpGlobalInit() : m_ok(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}

HttpGlobalInit::~HttpGlobalInit() {
    if (m_ok) {
        curl_global_cleanup();
    }
}

bool HttpUrlAllowed(std::string_view url, bool afterHttps, std::string* why) {
    std::string scheme;
    std::string host;
    std::string reason;
    if (!SplitUrl(url, scheme, host)) {
        reason = "not an absolute URL: " + std::string(url);
    } else if (scheme == "https") {
        return true;
    } else if (scheme != "http") {
        reason = "the scheme \"" + scheme + "\" is refused: only https is used";
    } else if (afterHttps) {
        reason = "a redirect from https to plain http is refused";
    } else if (!IsLoopbackHost(host)) {
        reason = "plain http is refused for " + host + ": only https, or http to a loopback address";
    } else {
        return true;
    }
    if (why != nullptr) {
        *why = reason;
    }
    return false;
}

struct HttpClient::Handles {
    CURLM* multi = curl_multi_init();
    CURL* easy = curl_easy_init();
    curl_slist* headers = nullptr;

    Handles() {
        for (const char* line :
             {"Content-Type: application/x-www-form-urlencoded", "Accept:application/prs.Ornic.v1+json",
              "Expect:"}) { // no 100-continue round trip for a body
            curl_slist* grown = curl_slist_append(headers, line);
            if (grown == nullptr) {
                curl_slist_free_all(headers);
                headers = nullptr;
                return;
            }
            headers = grown;
        }
    }
    ~Handles() {
        if (easy != nullptr) {
            curl_easy_cleanup(easy);
        }
        if (multi != nullptr) {
            curl_multi_cleanup(multi);
        }
        curl_slist_free_all(headers);
    }
    bool Ok() const { return multi != nullptr && easy != nullptr && headers != nullptr; }
};

// One request across its redirects, and the state of the hop that runs.
struct HttpClient::Transfer {
    enum class Abort { None, Stop, Idle, TooLong, Sink };

    std::string method;
    std::string url;
    std::span<const uint8_t> body;
    HttpBodySink& sink;
    const std::atomic<bool>& stopped;
    bool hasDeadline = false;
    Clock::time_point deadline;
    bool httpsSeen = false;
    bool answered = false; // some hop got a response
    CURL* easy = nullptr;

    // The hop that runs.
    bool discard = false; // the body of a redirect
    bool begun = false;
    int64_t taken = 0;
    bool connected = false;
    Clock::time_point lastActivity;
    curl_off_t lastDown = 0;
    curl_off_t lastUp = 0;
    Abort abort = Abort::None;
    long status = 0;
    std::string redirectUrl;
    char errorText[CURL_ERROR_SIZE] = {};

    void StartHop() {
        discard = false;
        begun = false;
        taken = 0;
        connected = false;
        lastActivity = Clock::now();
        lastDown = lastUp = 0;
        abort = Abort::None;
        status = 0;
        redirectUrl.clear();
        errorText[0] = '\0';
    }
};

namespace {

using Transfer = HttpClient::Transfer;

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const size_t total = size * count;
    t.lastActivity = Clock::now();
    if (!t.begun && !t.discard) {
        // The status is known once the first body byte arrives.
        curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &t.status);
        char* location = nullptr;
        curl_easy_getinfo(t.easy, CURLINFO_REDIRECT_URL, &location);
        if (IsRedirectStatus(t.status) && location != nullptr) {
            t.discard = true;
        } else {
            curl_off_t length = -1;
            curl_easy_getinfo(t.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            t.begun = true;
            if (!t.sink.Begin(int(t.status), length)) {
                t.abort = t.sink.TooLong() ? Transfer::Abort::TooLong : Transfer::Abort::Sink;
                return 0;
            }
        }
    }
    if (t.discard) {
        return total;
    }
    if (!t.sink.Write(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data), total))) {
        t.abort = t.sink.TooLong() ? Transfer::Abort::TooLong : Transfer::Abort::Sink;
        return 0; // libcurl ends the transfer with a write error
    }
    t.taken += int64_t(total);
    return total;
}

size_t OnHeader(char*, size_t size, size_t count, void* user) {
    static_cast<Transfer*>(user)->lastActivity = Clock::now();
    return size * count;
}

int OnProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
    auto& t = *static_cast<Transfer*>(user);
    if (t.stopped.load()) {
        t.abort = Transfer::Abort::Stop;
        return 1;
    }
    if (down != t.lastDown || up != t.lastUp) {
        t.lastDown = down;
        t.lastUp = up;
        t.lastActivity = Clock::now();
    }
    return 0;
}

} // namespace

HttpClient::HttpClient(HttpClientSettings settings)
    : m_settings(std::move(settings)), m_handles(std::make_unique<Handles>()) {}

HttpClient::~HttpClient() = default;

void HttpClient::Reset() {
    m_lastError = 0;
    m_lastErrorText.clear();
    m_lastStatus = 0;
    m_lastNotSent = false;
}

void HttpClient::Stop() {
    m_stopped.store(true);
    if (m_handles->multi != nullptr) {
        curl_multi_wakeup(m_handles->multi);
    }
}

int64_t HttpClient::Fail(uint32_t error, std::string text) {
    m_lastError = error;
    m_lastErrorText = std::move(text);
    return -1;
}

int64_t HttpClient::Request(std::string_view method, std::string_view url, std::span<const uint8_t> body,
                            std::span<uint8_t> response) {
    SpanSink sink(response);
    const int64_t result = Request(method, url, body, sink);
    if (result == 0 && m_lastNotSent && response.size() > kNoLinkServer.size()) {
        std::memcpy(response.data(), kNoLinkServer.data(), kNoLinkServer.size());
        response[kNoLinkServer.size()] = 0;
    }
    return result;
}

int64_t HttpClient::Request(std::string_view method, std::string_view url, std::span<const uint8_t> body,
                            HttpBodySink& sink) {
    m_lastStatus = 0;
    m_lastNotSent = false;
    const std::string verb = Upper(method);
    if (verb != "GET" && verb != "POST") {
        return Fail(kHttpErrorBadMethod, "the method must be GET or POST");
    }
    if (url.empty()) {
        return Fail(kHttpErrorEmptyUrl, "no URL");
    }
    if (m_stopped.load()) {
        return Fail(kHttpErrorStopped, "stopped");
    }
    if (!m_handles->Ok()) {
        return Fail(kHttpErrorNoMemory, "libcurl could not be set up");
    }
    Transfer t{.method = verb, .url = std::string(url), .body = body, .sink = sink, .stopped = m_stopped};
    t.easy = m_handles->easy;
    if (m_settings.limits.totalTimeoutMs > 0) {
        t.hasDeadline = true;
        t.deadline = Clock::now() + std::chrono::milliseconds(m_settings.limits.totalTimeoutMs);
    }
    for (int hop = 0;; ++hop) {
        std::string why;
        if (!HttpUrlAllowed(t.url, t.httpsSeen, &why)) {
            return Fail(kHttpErrorRefusedUrl, why);
        }
        t.httpsSeen = t.httpsSeen || Lower(t.url.substr(0, 6)) == "https:";
        switch (RunHop(t)) {
        case HopEnd::Done:
            return t.taken;
        case HopEnd::NotSent:
            m_lastNotSent = true;
            return 0;
        case HopEnd::Failed:
            return -1;
        case HopEnd::Redirect:
            break;
        }
        if (hop >= m_settings.limits.maxRedirects) {
            return Fail(kHttpErrorRedirects,
                        "more than " + std::to_string(m_settings.limits.maxRedirects) + " redirects");
        }
        // As browsers do: 303, and 301/302 after a POST, continue as GET without the body.
        if (t.status == 303 || ((t.status == 301 || t.status == 302) && t.method == "POST")) {
            t.method = "GET";
            t.body = {};
        }
        t.url = t.redirectUrl;
    }
}

bool HttpClient::Configure(Transfer& t) {
    CURL* easy = t.easy;
    curl_easy_reset(easy);
    const HttpLimits& limits = m_settings.limits;
    long totalMs = 0;
    if (t.hasDeadline) {
        totalMs =
            long(std::chrono::duration_cast<std::chrono::milliseconds>(t.deadline - Clock::now()).count());
        if (totalMs <= 0) {
            totalMs = 1; // spent by earlier hops: libcurl reports the time-out
        }
    }
    bool ok = curl_easy_setopt(easy, CURLOPT_URL, t.url.c_str()) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(limits.connectTimeoutMs)) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, totalMs) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_USERAGENT, m_settings.userAgent.c_str()) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_handles->headers) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, t.errorText) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, OnProgress) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t) == CURLE_OK;
    // A stop during name resolution must not wait for the resolver thread.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    if (ok && !m_settings.caFile.empty()) {
        ok = curl_easy_setopt(easy, CURLOPT_CAINFO, m_settings.caFile.c_str()) == CURLE_OK;
    }
    if (ok && t.method == "POST") {
        static const char kEmpty[] = "";
        const char* bytes = t.body.empty() ? kEmpty : reinterpret_cast<const char*>(t.body.data());
        ok = curl_easy_setopt(easy, CURLOPT_POST, 1L) == CURLE_OK &&
             curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(t.body.size())) == CURLE_OK &&
             curl_easy_setopt(easy, CURLOPT_POSTFIELDS, bytes) == CURLE_OK;
    } else if (ok) {
        ok = curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L) == CURLE_OK;
    }
    return ok;
}

bool HttpClient::Wait(Transfer& t, int& code) {
    CURLM* multi = m_handles->multi;
    if (curl_multi_add_handle(multi, t.easy) != CURLM_OK) {
        return false;
    }
    const auto idle = std::chrono::milliseconds(m_settings.limits.idleTimeoutMs);
    bool finished = false;
    code = CURLE_OK;
    while (!finished) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            code = CURLE_RECV_ERROR;
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                code = message->data.result;
                finished = true;
            }
        }
        if (finished || t.abort != Transfer::Abort::None) {
            break;
        }
        if (m_stopped.load()) {
            t.abort = Transfer::Abort::Stop;
            break;
        }
        const Clock::time_point now = Clock::now();
        if (!t.connected) {
            // The idle limit counts once the connection (and its handshake) is up.
            curl_off_t pretransfer = 0;
            if (curl_easy_getinfo(t.easy, CURLINFO_PRETRANSFER_TIME_T, &pretransfer) == CURLE_OK &&
                pretransfer > 0) {
                t.connected = true;
                t.lastActivity = now;
            }
        } else if (now - t.lastActivity > idle) {
            t.abort = Transfer::Abort::Idle;
            break;
        }
        curl_multi_poll(multi, nullptr, 0, kPollSliceMs, nullptr);
    }
    curl_multi_remove_handle(multi, t.easy);
    return true;
}

HttpClient::HopEnd HttpClient::RunHop(Transfer& t) {
    t.StartHop();
    if (!Configure(t)) {
        Fail(kHttpErrorNoMemory, "libcurl refused the request's options");
        return HopEnd::Failed;
    }
    int code = CURLE_OK;
    if (!Wait(t, code)) {
        Fail(kHttpErrorNoMemory, "libcurl could not start the request");
        return HopEnd::Failed;
    }
    switch (t.abort) {
    case Transfer::Abort::Stop:
        Fail(kHttpErrorStopped, "stopped");
        return HopEnd::Failed;
    case Transfer::Abort::Idle:
        Fail(kHttpErrorIdle, "no data for " + std::to_string(m_settings.limits.idleTimeoutMs) + " ms");
        return HopEnd::Failed;
    case Transfer::Abort::TooLong:
        Fail(kHttpErrorTooLong, "the answer is longer than allowed");
        return HopEnd::Failed;
    case Transfer::Abort::Sink:
        Fail(kHttpErrorSinkRefused, "the answer was refused");
        return HopEnd::Failed;
    case Transfer::Abort::None:
        break;
    }
    long status = 0;
    curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
    if (code != CURLE_OK) {
        long requestSize = 0;
        curl_easy_getinfo(t.easy, CURLINFO_REQUEST_SIZE, &requestSize);
        m_lastError = uint32_t(code);
        m_lastErrorText = t.errorText[0] != '\0' ? t.errorText : curl_easy_strerror(CURLcode(code));
        return requestSize == 0 && status == 0 && !t.answered ? HopEnd::NotSent : HopEnd::Failed;
    }
    t.answered = true;
    t.status = status;
    m_lastStatus = int(status);
    char* location = nullptr;
    curl_easy_getinfo(t.easy, CURLINFO_REDIRECT_URL, &location);
    if (IsRedirectStatus(status) && location != nullptr) {
        t.redirectUrl = location;
        return HopEnd::Redirect;
    }
    if (!t.begun) { // an empty body: the sink still hears of the answer
        t.begun = true;
        if (!t.sink.Begin(int(status), 0)) {
            Fail(kHttpErrorSinkRefused, "the answer was refused");
            return HopEnd::Failed;
        }
    }
    return HopEnd::Done;
}

} // namespace velkor
