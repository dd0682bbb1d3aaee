#include "platform/AtomicFile.h"

#include "platform/Trace.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkor {
namespace {

constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr size_t kTemporarySuffix = 6; // mkostemp's XXXXXX

// "." + name + ".tmp-" + six of mkostemp's letters and digits.
bool IsTemporaryName(std::string_view name) {
    const size_t tail = kTemporaryMark.size() + kTemporarySuffix;
    if (name.size() < 2 + tail || name.front() != '.' ||
        name.substr(name.size() - tail, kTemporaryMark.size()) != kTemporaryMark) {
        return false;
    }
    const std::string_view suffix = name.substr(name.size() - kTemporarySuffix);
    return std::all_of(suffix.begin(), suffix.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

FileSignature SignatureFromStat(const struct stat& st) {
    FileSignature signature;
    signature.device = static_cast<uint64_t>(st.st_dev);
    signature.inode = static_cast<uint64_t>(st.st_ino);
    signature.size = static_cast<int64_t>(st.st_size);
    signature.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return signature;
}

// A symbolic link is replaced through its target, so the link stays a link.
bool ResolveTarget(const std::string& path, bool followLink, std::string& target) {
    struct stat st {};
    if (!followLink || ::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        target = path;
        return true;
    }
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return false;
    }
    target = resolved;
    std::free(resolved);
    return true;
}

} // namespace

FileSignature SignatureOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return FileSignature{};
    }
    return SignatureFromStat(st);
}

FileReadStatus ReadWholeFile(const std::string& path, std::string& out, FileSignature* signature,
                             int64_t maxSize) {
    out.clear();
    if (signature != nullptr) {
        *signature = FileSignature{};
    }
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int error = path.empty() ? ENOENT : errno;
        return (error == ENOENT || error == ENOTDIR) ? FileReadStatus::Missing : FileReadStatus::Unreadable;
    }
    struct stat st {};
    FileReadStatus status = FileReadStatus::Unreadable;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        if (signature != nullptr) {
            *signature = SignatureFromStat(st);
        }
        status = st.st_size > maxSize ? FileReadStatus::TooLarge : FileReadStatus::Ok;
    }
    const size_t size = status == FileReadStatus::Ok ? static_cast<size_t>(st.st_size) : 0;
    out.resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, out.data() + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    if (status != FileReadStatus::Ok || done != size) {
        out.clear();
        return status == FileReadStatus::Ok ? FileReadStatus::Unreadable : status;
    }
    return IsBlank(out) ? FileReadStatus::Empty : FileReadStatus::Ok;
}

AtomicFileWriter::AtomicFileWriter(std::string path, AtomicWriteOptions options)
    : m_path(std::move(path)), m_options(options) {}

AtomicFileWriter::~AtomicFileWriter() {
    Abandon();
}

bool AtomicFileWriter::Fail(const char* step, int error) {
    if (m_error.empty()) {
        m_error = std::string(step) + ": " + std::strerror(error);
        TraceF("atomic write of %s: %s", m_path.c_str(), m_error.c_str());
    }
    Abandon();
    return false;
}

void AtomicFileWriter::Abandon() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.empty()) {
        ::unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

size_t RemoveAbandonedTemporaries(const std::string& folder, std::chrono::seconds olderThan) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return 0;
    }
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    size_t removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        struct stat st {};
        // Not followed: a link of that name is not a file this program wrote.
        if (!IsTemporaryName(entry->d_name) ||
            ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            now - std::chrono::seconds(st.st_mtim.tv_sec) < olderThan) {
            continue;
        }
        if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) {
            ++removed;
            TraceF("removed %s/%s, left by a write cut short", folder.c_str(), entry->d_name);
        }
    }
    ::closedir(dir);
    return removed;
}

bool AtomicFileWriter::Open() {
    Abandon();
    m_error.clear();
    if (m_path.empty() || !ResolveTarget(m_path, m_options.followLink, m_target)) {
        return Fail("resolve", m_path.empty() ? ENOENT : errno);
    }
    const size_t slash = m_target.rfind('/');
    m_folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : m_target.substr(0, slash));
    const std::string name = slash == std::string::npos ? m_target : m_target.substr(slash + 1);
    if (name.empty()) {
        return Fail("name", EISDIR);
    }
    // Same folder, so the rename cannot cross file systems; the name is cut so
    // the temporary name stays within NAME_MAX.
    std::string temporary = m_folder + "/." + name.substr(0, 200) + std::string(kTemporaryMark) + "XXXXXX";
    m_fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (m_fd < 0) {
        return Fail("create", errno);
    }
    m_temporary = std::move(temporary);
    struct stat old {};
    const bool replacesFile = ::stat(m_target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    const mode_t mode = m_options.mode >= 0 ? mode_t(m_options.mode)
                        : replacesFile      ? (old.st_mode & 07777)
                                            : 0644;
    ::fchmod(m_fd, mode); // mkostemp makes 0600; a failure here only leaves that
    return true;
}

bool AtomicFileWriter::Write(std::string_view bytes) {
    if (m_fd < 0) {
        return Fail("write", EBADF);
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return Fail("write", n == 0 ? EIO : errno);
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool AtomicFileWriter::Commit(FileSignature* written) {
    if (m_fd < 0) {
        return Fail("commit", EBADF);
    }
    // The data must be on disk before the rename makes it the file.
    if (::fsync(m_fd) != 0) {
        return Fail("fsync", errno);
    }
    struct stat done {};
    if (::fstat(m_fd, &done) != 0) {
        return Fail("fstat", errno);
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) { // close can report a delayed write error
        return Fail("close", errno);
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        return Fail("rename", errno);
    }
    m_temporary.clear();
    // Make the rename itself durable. The new content is already in place, so
    // a folder that cannot be synced is only traced.
    const int folderFd = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0 || ::fsync(folderFd) != 0) {
        TraceF("atomic write of %s: folder fsync failed: %s", m_path.c_str(), std::strerror(errno));
    }
    if (folderFd >= 0) {
        ::close(folderFd);
    }
    if (written != nullptr) {
        *written = SignatureFromStat(done); // a rename keeps inode and modification time
    }
    return true;
}

bool WriteFileAtomically(std::string_view bytes, const std::string& path, FileSignature* written,
                         AtomicWriteOptions options) {
    AtomicFileWriter writer(path, options);
    return writer.Open() && writer.Write(bytes) && writer.Commit(written);
}

} // namespace velkor
