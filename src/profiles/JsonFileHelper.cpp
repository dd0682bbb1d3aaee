#include "profiles/JsonFileHelper.h"

#include "platform/Trace.h"

#include <json/reader.h>
#include <json/writer.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkor {
namespace {

class FdGuard {
public:
    explicit FdGuard(int fd) : m_fd(fd) {}
    ~FdGuard() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int Get() const { return m_fd; }
    // Closes now and reports the result (close can report a delayed write error).
    bool Close() {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool IsBlank(std::string_view text) {
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            return false;
        }
    }
    return true;
}

bool WriteAll(int fd, std::string_view text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// A symbolic link is replaced through its target, so the link stays a link.
bool ResolveTarget(const std::string& path, std::string& target) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
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

FileSignature SignatureFromStat(const struct stat& st) {
    FileSignature signature;
    signature.device = static_cast<uint64_t>(st.st_dev);
    signature.inode = static_cast<uint64_t>(st.st_ino);
    signature.size = static_cast<int64_t>(st.st_size);
    signature.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return signature;
}

void TraceWriteFailure(const std::string& path, const char* step, int error) {
    TraceF("WriteJsonFile %s: %s failed: %s", path.c_str(), step, std::strerror(error));
}

// Produces exactly the text of Json::StyledWriter (indent 3, right margin 74,
// members in map order, short scalar arrays on one line) without its
// intermediate copies, which dominate the time of a save. Comments are not
// written (our reader never keeps them). Unlike StyledWriter, member names
// holding a NUL byte are written whole instead of cut at the NUL.
class StyledEmitter {
public:
    explicit StyledEmitter(std::string& out) : m_out(out) {}

    void Write(const Json::Value& root) {
        WriteValue(root);
        m_out.push_back('\n');
    }

private:
    static constexpr size_t kIndentSize = 3;
    static constexpr size_t kRightMargin = 74;

    void Push(std::string_view text) {
        if (m_collecting) {
            m_children.emplace_back(text);
        } else {
            m_out.append(text);
        }
    }

    // Same digits as Json::valueToString for 64-bit integers.
    template <typename Integer> void PushInteger(Integer value) {
        char buffer[24];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        Push(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)));
    }

    // Text that jsoncpp writes unescaped: printable ASCII without quote or backslash.
    static bool NeedsNoEscaping(const char* begin, const char* end) {
        for (const char* c = begin; c != end; ++c) {
            const auto byte = static_cast<unsigned char>(*c);
            if (byte < 0x20 || byte >= 0x7F || byte == '"' || byte == '\\') {
                return false;
            }
        }
        return true;
    }

    void PushQuoted(const char* begin, const char* end) {
        if (NeedsNoEscaping(begin, end)) {
            std::string& target = m_collecting ? m_children.emplace_back() : m_out;
            target.push_back('"');
            target.append(begin, end);
            target.push_back('"');
            return;
        }
        Push(Quote(begin, end));
    }

    void WriteIndent() {
        if (!m_out.empty()) {
            const char last = m_out.back();
            if (last == ' ') {
                return; // already indented, e.g. after "name" :
            }
            if (last != '\n') {
                m_out.push_back('\n');
            }
        }
        m_out.append(m_indent);
    }

    void WriteWithIndent(std::string_view text) {
        WriteIndent();
        m_out.append(text);
    }

    // jsoncpp's quoting works on NUL-terminated text; a string holding NUL
    // bytes is quoted piece by piece with the NULs as \u0000.
    static std::string Quote(const char* begin, const char* end) {
        if (std::memchr(begin, '\0', static_cast<size_t>(end - begin)) == nullptr) {
            return Json::valueToQuotedString(std::string(begin, end).c_str());
        }
        std::string quoted = "\"";
        const char* piece = begin;
        for (;;) {
            const char* nul =
                static_cast<const char*>(std::memchr(piece, '\0', static_cast<size_t>(end - piece)));
            const char* pieceEnd = nul != nullptr ? nul : end;
            const std::string inner = Json::valueToQuotedString(std::string(piece, pieceEnd).c_str());
            quoted.append(inner, 1, inner.size() - 2);
            if (nul == nullptr) {
                break;
            }
            quoted.append("\\u0000");
            piece = nul + 1;
        }
        quoted.push_back('"');
        return quoted;
    }

    void WriteValue(const Json::Value& value) {
        switch (value.type()) {
        case Json::nullValue:
            Push("null");
            break;
        case Json::intValue:
            PushInteger(value.asLargestInt());
            break;
        case Json::uintValue:
            PushInteger(value.asLargestUInt());
            break;
        case Json::realValue:
            Push(Json::valueToString(value.asDouble()));
            break;
        case Json::stringValue: {
            const char* begin = nullptr;
            const char* end = nullptr;
            if (value.getString(&begin, &end)) {
                PushQuoted(begin, end);
            } else {
                Push("");
            }
            break;
        }
        case Json::booleanValue:
            Push(value.asBool() ? "true" : "false");
            break;
        case Json::arrayValue:
            WriteArray(value);
            break;
        case Json::objectValue:
            WriteObject(value);
            break;
        }
    }

    void WriteObject(const Json::Value& value) {
        if (value.empty()) {
            Push("{}");
            return;
        }
        WriteWithIndent("{");
        m_indent.append(kIndentSize, ' ');
        bool first = true;
        for (auto it = value.begin(); it != value.end(); ++it) {
            if (!first) {
                m_out.push_back(',');
            }
            first = false;
            const char* nameEnd = nullptr;
            const char* name = it.memberName(&nameEnd);
            WriteIndent();
            if (NeedsNoEscaping(name, nameEnd)) {
                m_out.push_back('"');
                m_out.append(name, nameEnd);
                m_out.push_back('"');
            } else {
                m_out.append(Quote(name, nameEnd));
            }
            m_out.append(" : ");
            WriteValue(*it);
        }
        m_indent.resize(m_indent.size() - kIndentSize);
        WriteWithIndent("}");
    }

    void WriteArray(const Json::Value& value) {
        const Json::ArrayIndex size = value.size();
        if (size == 0) {
            Push("[]");
            return;
        }
        if (IsMultiline(value)) {
            WriteWithIndent("[");
            m_indent.append(kIndentSize, ' ');
            const bool haveChildren = !m_children.empty();
            std::vector<std::string> children;
            children.swap(m_children);
            for (Json::ArrayIndex index = 0; index < size; ++index) {
                if (index > 0) {
                    m_out.push_back(',');
                }
                if (haveChildren) {
                    WriteWithIndent(children[index]);
                } else {
                    WriteIndent();
                    WriteValue(value[index]);
                }
            }
            m_indent.resize(m_indent.size() - kIndentSize);
            WriteWithIndent("]");
        } else {
            m_out.append("[ ");
            for (Json::ArrayIndex index = 0; index < size; ++index) {
                if (index > 0) {
                    m_out.append(", ");
                }
                m_out.append(m_children[index]);
            }
            m_out.append(" ]");
            m_children.clear();
        }
    }

    // One line for fewer than 25 elements that are scalars or empty
    // containers and fit within the margin.
    bool IsMultiline(const Json::Value& value) {
        const Json::ArrayIndex size = value.size();
        bool multiline = size * 3 >= kRightMargin;
        m_children.clear();
        for (Json::ArrayIndex index = 0; index < size && !multiline; ++index) {
            const Json::Value& child = value[index];
            multiline = (child.isArray() || child.isObject()) && !child.empty();
        }
        if (!multiline) {
            m_children.reserve(size);
            m_collecting = true;
            size_t lineLength = 4 + (size - 1) * 2;
            for (Json::ArrayIndex index = 0; index < size; ++index) {
                WriteValue(value[index]);
                lineLength += m_children[index].size();
            }
            m_collecting = false;
            multiline = lineLength >= kRightMargin;
        }
        return multiline;
    }

    std::string& m_out;
    std::string m_indent;
    std::vector<std::string> m_children;
    bool m_collecting = false;
};

} // namespace

FileSignature SignatureOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return FileSignature{};
    }
    return SignatureFromStat(st);
}

FileReadStatus CJsonFileHelper::ReadTextFile(const std::string& path, std::string& out,
                                             FileSignature* signature) const {
    out.clear();
    if (signature != nullptr) {
        *signature = FileSignature{};
    }
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    int error = fd < 0 ? (path.empty() ? ENOENT : errno) : 0;
    TraceF("readjsonFile 错误吗：：%d", error);
    if (fd < 0) {
        return (error == ENOENT || error == ENOTDIR) ? FileReadStatus::Missing : FileReadStatus::Unreadable;
    }
    FdGuard guard(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return FileReadStatus::Unreadable;
    }
    if (signature != nullptr) {
        *signature = SignatureFromStat(st);
    }
    if (st.st_size > kMaxJsonFileSize) {
        return FileReadStatus::TooLarge;
    }
    const size_t size = static_cast<size_t>(st.st_size);
    out.resize(size);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd, out.data() + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (done != size) {
        out.clear();
        return FileReadStatus::Unreadable;
    }
    return IsBlank(out) ? FileReadStatus::Empty : FileReadStatus::Ok;
}

std::string CJsonFileHelper::ReadTextFile(const std::string& path) const {
    std::string text;
    ReadTextFile(path, text);
    return text;
}

bool CJsonFileHelper::ParseJson(std::string_view text, Json::Value& out) const {
    out = Json::Value();
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    builder["collectComments"] = false;
    builder["stackLimit"] = kMaxJsonDepth;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    bool ok = false;
    try {
        ok = reader->parse(text.data(), text.data() + text.size(), &out, &errors);
    } catch (const std::exception&) {
        // jsoncpp reports a too deep nesting (and allocation failures) by throwing.
        ok = false;
    }
    if (!ok) {
        out = Json::Value();
    }
    return ok;
}

JsonFileContents CJsonFileHelper::ReadJsonFileDetailed(const std::string& path) const {
    JsonFileContents contents;
    contents.status = ReadTextFile(path, contents.text, &contents.signature);
    if (contents.status != FileReadStatus::Ok) {
        TraceF("%s", path.c_str());
        return contents;
    }
    if (!ParseJson(contents.text, contents.value)) {
        contents.status = FileReadStatus::NotJson;
    }
    return contents;
}

Json::Value CJsonFileHelper::ReadJsonFile(const std::string& path) const {
    return ReadJsonFileDetailed(path).value;
}

std::string CJsonFileHelper::StyledText(const Json::Value& value, size_t sizeHint) const {
    std::string text;
    text.reserve(sizeHint + sizeHint / 8 + 256);
    StyledEmitter(text).Write(value);
    return text;
}

bool CJsonFileHelper::WriteJsonFile(const Json::Value& value, const std::string& path,
                                    FileSignature* written) const {
    return WriteTextFile(StyledText(value), path, written);
}

bool CJsonFileHelper::WriteTextFile(std::string_view text, const std::string& path,
                                    FileSignature* written) const {
    std::string target;
    if (path.empty() || !ResolveTarget(path, target)) {
        TraceWriteFailure(path, "resolve", path.empty() ? ENOENT : errno);
        return false;
    }
    const size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty()) {
        TraceWriteFailure(path, "name", EISDIR);
        return false;
    }
    // Same folder, so the rename cannot cross file systems; the name is cut so
    // the temporary name stays within NAME_MAX.
    std::string temp = folder + "/." + name.substr(0, 200) + ".tmp-XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        TraceWriteFailure(path, "create", errno);
        return false;
    }
    FdGuard guard(fd);
    auto fail = [&](const char* step) {
        int error = errno;
        ::unlink(temp.c_str());
        TraceWriteFailure(path, step, error);
        return false;
    };
    struct stat old {};
    mode_t mode = (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ? (old.st_mode & 07777) : 0644;
    ::fchmod(fd, mode); // mkostemp makes 0600; a failure here only leaves that
    if (!WriteAll(fd, text)) {
        return fail("write");
    }
    if (::fsync(fd) != 0) {
        return fail("fsync");
    }
    struct stat done {};
    if (::fstat(fd, &done) != 0) {
        return fail("fstat");
    }
    if (!guard.Close()) {
        return fail("close");
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        return fail("rename");
    }
    // Make the rename itself durable. The new content is already in place, so
    // a folder that cannot be synced is only traced.
    int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        if (::fsync(folderFd) != 0) {
            TraceWriteFailure(path, "folder fsync", errno);
        }
        ::close(folderFd);
    }
    if (written != nullptr) {
        *written = SignatureFromStat(done); // a rename keeps inode and modification time
    }
    return true;
}

std::string CJsonFileHelper::FormatTimeStamp(const std::tm& local, int millisecond) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d_%02d_%02d_%02d_%02d_%02d_%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millisecond);
    return buffer;
}

std::string CJsonFileHelper::MakeTimeStamp(std::chrono::system_clock::time_point when) const {
    using namespace std::chrono;
    const auto sinceEpoch = floor<milliseconds>(when.time_since_epoch());
    const auto wholeSeconds = floor<seconds>(sinceEpoch);
    const int millisecond = static_cast<int>((sinceEpoch - wholeSeconds).count());
    const std::time_t seconds = static_cast<std::time_t>(wholeSeconds.count());
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr) {
        local = std::tm{};
    }
    return FormatTimeStamp(local, millisecond);
}

std::string CJsonFileHelper::GetFileTitle(const std::string& path) const {
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    return name;
}

} // namespace velkor
