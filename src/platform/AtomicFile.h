#pragma once
// Whole-file reads and the one atomic file writer of the system.
//
// Reading never trusts the file: a missing, unreadable, oversized or special
// file gives a status, never an exception. Writing is atomic: the bytes go to
// a temporary file in the same folder, which is flushed to disk, renamed over
// the target, and the folder is synced; the target holds either its old or its
// new content, even after a crash or a full disk. A failed write leaves the
// old file whole, removes the temporary one and is reported (false, a trace
// line and Error()). No state is shared: any thread may call, each object is
// used by one thread at a time. Paths are UTF-8.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velkor {

// Why a read produced nothing (or Ok).
enum class FileReadStatus {
    Ok,         // the file was read (and, for JSON reads, parsed)
    Missing,    // no such file
    Empty,      // the file holds nothing but white space
    Unreadable, // the file exists but could not be opened or read whole
    TooLarge,   // bigger than the reader's limit; left alone
    NotJson,    // read, but not a JSON text (or nested too deeply)
};

// Identifies one version of a file: any rewrite (ours are renames, so a new
// inode) or in-place edit changes it.
struct FileSignature {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = -1;
    int64_t modifiedNs = 0;

    bool operator==(const FileSignature&) const = default;
};

// The signature of the file at `path` now; size -1 when there is none.
FileSignature SignatureOf(const std::string& path);

// Largest file ReadWholeFile loads unless told otherwise.
inline constexpr int64_t kMaxReadFileSize = 64 * 1024 * 1024;

// The bytes of a regular file; `out` is empty unless the result is Ok or
// Empty. `signature` (may be null) receives the signature of the version read.
FileReadStatus ReadWholeFile(const std::string& path, std::string& out, FileSignature* signature = nullptr,
                             int64_t maxSize = kMaxReadFileSize);

struct AtomicWriteOptions {
    // A symbolic link at the path is replaced through its target (the link
    // stays a link); off: the link itself is replaced by the new file.
    bool followLink = true;
    // Permissions of the new file; negative: those of the file it replaces,
    // else 0644.
    int mode = -1;
};

// One atomic replacement, for writers that stream their bytes (Fd) as well as
// for whole texts (Write). Nothing is visible at the path until Commit.
class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string path, AtomicWriteOptions options = {});
    // Removes the temporary file unless committed.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file beside the target.
    bool Open();
    // The temporary file's descriptor while open (-1 otherwise).
    int Fd() const { return m_fd; }
    // Appends bytes, retrying short writes.
    bool Write(std::string_view bytes);
    // Flushes, renames over the target and syncs the folder. `written` (may be
    // null) receives the signature of the new file.
    bool Commit(FileSignature* written = nullptr);
    // Drops the temporary file; the target stays as it was.
    void Abandon();

    // "STEP: reason" of the first failure; empty while none.
    const std::string& Error() const { return m_error; }

private:
    bool Fail(const char* step, int error);

    std::string m_path;
    AtomicWriteOptions m_options;
    std::string m_target; // the path, or the link's target
    std::string m_folder;
    std::string m_temporary;
    int m_fd = -1;
    std::string m_error;
};

// Removes what writes cut short (the process killed before Commit) left in
// `folder`, not below it: regular files named "." + a name + ".tmp-" + six
// letters or digits, the temporary names AtomicFileWriter makes. Nothing
// else is touched. Returns how many went. With `olderThan` only files last
// written longer ago go (a write at work takes milliseconds); without it,
// call only while no writer of the program can be at work there (at start,
// as the single instance).
std::size_t RemoveAbandonedTemporaries(const std::string& folder,
                                       std::chrono::seconds olderThan = std::chrono::seconds(0));

// Replaces the file at `path` with `bytes` as above. True once the new content
// is in place and flushed; on false the previous file is unchanged.
bool WriteFileAtomically(std::string_view bytes, const std::string& path, FileSignature* written = nullptr,
                         AtomicWriteOptions options = {});

} // namespace velkor
