// One package download and the folder it goes to.
#include "platform/AtomicFile.h"
#include "platform/Trace.h"
#include "profiles/NameRules.h"
#include "update/UpdateThreads.h"

#include <openssl/evp.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace velkor {
namespace {

constexpr const char* kPackageExtension = ".pkg";
constexpr auto kProgressGap = std::chrono::milliseconds(100); // at most ten reports a second

// A folder this user alone owns: a real folder (not a link), our user, no access for others.
bool OwnPrivateFolder(const std::string& folder, std::string& why) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        why = folder + ": " + std::strerror(errno);
    } else if (!S_ISDIR(st.st_mode)) {
        why = folder + " is not a folder (a link or a file)";
    } else if (st.st_uid != ::geteuid()) {
        why = folder + " belongs to another user";
    } else if ((st.st_mode & 0077) != 0) {
        why = folder + " can be reached by other users";
    } else {
        return true;
    }
    return false;
}

// Creates each missing level below an existing absolute base (mode 0700).
bool MakeLevels(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string level = folder.substr(0, slash);
        if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

std::string Hex(const unsigned char* bytes, size_t length) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        out.push_back(kHex[bytes[i] >> 4]);
        out.push_back(kHex[bytes[i] & 15]);
    }
    return out;
}

// The body into an open file, checked on the way.
class PackageSink final : public HttpBodySink {
public:
    PackageSink(int fd, const DownloadJob& job, const std::function<void(int)>& progress)
        : m_fd(fd), m_job(job), m_progress(progress), m_digest(EVP_MD_CTX_new()) {
        m_ok = m_digest != nullptr && EVP_DigestInit_ex(m_digest.get(), EVP_sha256(), nullptr) == 1;
    }

    bool Begin(int status, int64_t contentLength) override {
        if (!m_ok) {
            return Refuse("SHA-256 cannot be computed");
        }
        if (status < 200 || status > 299) {
            return Refuse("the server answered with status " + std::to_string(status));
        }
        m_announced = contentLength;
        if (contentLength > kMaxPackageBytes) {
            m_tooLong = true;
            return Refuse("the package is larger than 512 MiB");
        }
        if (m_job.size >= 0 && contentLength >= 0 && contentLength != m_job.size) {
            return Refuse("the transfer length " + std::to_string(contentLength) +
                          " is not the announced size " + std::to_string(m_job.size));
        }
        m_expected = m_job.size >= 0 ? m_job.size : contentLength;
        return true;
    }

    bool Write(std::span<const uint8_t> bytes) override {
        const int64_t limit = m_expected >= 0 ? m_expected : kMaxPackageBytes;
        if (int64_t(bytes.size()) > limit - m_written) {
            m_tooLong = true;
            return Refuse("the package is longer than announced or than 512 MiB");
        }
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return Refuse(std::string("the package cannot be written: ") + std::strerror(errno));
            }
            done += size_t(n);
        }
        if (EVP_DigestUpdate(m_digest.get(), bytes.data(), bytes.size()) != 1) {
            return Refuse("SHA-256 failed");
        }
        m_written += int64_t(bytes.size());
        Report(false);
        return true;
    }

    bool TooLong() const override { return m_tooLong; }

    // After the transfer: length and checksum as announced.
    bool Verify() {
        if (m_expected >= 0 && m_written != m_expected) {
            return Refuse("received " + std::to_string(m_written) + " of " + std::to_string(m_expected) +
                          " bytes");
        }
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(m_digest.get(), digest, &length) != 1) {
            return Refuse("SHA-256 failed");
        }
        if (!m_job.sha256.empty() && Hex(digest, length) != m_job.sha256) {
            return Refuse("the SHA-256 of the package is not the announced one");
        }
        Report(true);
        return true;
    }

    const std::string& Why() const { return m_why; }

private:
    struct DigestFree {
        void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    };

    bool Refuse(std::string why) {
        if (m_why.empty()) {
            m_why = std::move(why);
        }
        return false;
    }

    void Report(bool last) {
        if (m_expected <= 0 || !m_progress) {
            return; // a percentage needs a known size
        }
        const int percent = int(m_written * 100 / m_expected);
        const auto now = std::chrono::steady_clock::now();
        if (percent != m_lastPercent && (last || now - m_lastReport >= kProgressGap)) {
            m_lastPercent = percent;
            m_lastReport = now;
            m_progress(percent);
        }
    }

    int m_fd;
    const DownloadJob& m_job;
    const std::function<void(int)>& m_progress;
    std::unique_ptr<EVP_MD_CTX, DigestFree> m_digest;
    bool m_ok = false;
    bool m_tooLong = false;
    int64_t m_announced = -1;
    int64_t m_expected = -1;
    int64_t m_written = 0;
    int m_lastPercent = -1;
    std::chrono::steady_clock::time_point m_lastReport{};
    std::string m_why;
};

} // namespace

std::string UpdateDownloadFolder(const std::string& tempFolder, const std::string& cacheHome,
                                 std::string* why) {
    std::string reasons;
    if (!tempFolder.empty() && tempFolder[0] == '/') {
        const std::string folder = tempFolder + "/UpdateData";
        std::string reason;
        ::mkdir(folder.c_str(), 0700);
        if (OwnPrivateFolder(folder, reason)) {
            return folder;
        }
        TraceF("download folder refused: %s", reason.c_str());
        reasons = reason;
    }
    if (!cacheHome.empty() && cacheHome[0] == '/') {
        const std::string folder = cacheHome + "/VELKOR01/UpdateData";
        std::string reason;
        if (MakeLevels(folder) && OwnPrivateFolder(folder, reason)) {
            return folder;
        }
        reasons += (reasons.empty() ? "" : "; ") + (reason.empty() ? folder + " cannot be made" : reason);
    }
    if (why != nullptr) {
        *why = reasons.empty() ? "no temporary or cache folder" : reasons;
    }
    return {};
}

DownloadOutcome DownloadPackage(HttpClient& client, const std::string& folder, const DownloadJob& job,
                                const std::function<void(int percent)>& progress) {
    DownloadOutcome outcome;
    if (folder.empty() || !IsPlainFileName(job.name)) {
        outcome.why = "no folder or no usable name for the package";
        return outcome;
    }
    const std::string target = folder + "/" + job.name + kPackageExtension;
    // Private, and whatever lies at the name (a link, say) is replaced, never followed.
    AtomicFileWriter file(target, {.followLink = false, .mode = 0600});
    if (!file.Open()) {
        outcome.why = target + ": " + file.Error();
        return outcome;
    }
    PackageSink sink(file.Fd(), job, progress);
    if (progress) {
        progress(-1); // started: the row shows it downloads, its percentage follows once the size is known
    }
    client.Reset();
    const int64_t received = client.Request("GET", job.url, {}, sink);
    if (received >= 0 && client.LastStatus() != 0 && sink.Verify() && file.Commit()) {
        outcome.ok = true;
        outcome.path = target;
        return outcome;
    }
    file.Abandon();
    outcome.why = !sink.Why().empty()               ? sink.Why()
                  : !client.LastErrorText().empty() ? client.LastErrorText()
                  : received == 0                   ? std::string(kNoLinkServer)
                  : !file.Error().empty()           ? "the package could not be stored: " + file.Error()
                                                    : "the package could not be stored";
    return outcome;
}

} // namespace velkor
