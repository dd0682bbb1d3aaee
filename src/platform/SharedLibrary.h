#pragma once
// A shared library loaded at run time (dlopen) and its symbols (dlsym).
//
// The library is loaded with its symbols kept to itself (RTLD_LOCAL) and
// resolved at once (RTLD_NOW), so that a library with a missing dependency
// fails here and not at its first call. It stays loaded while the object
// lives. Any thread; one object is used by one thread at a time.
#include <memory>
#include <string>
#include <string_view>

namespace velkor {

class SharedLibrary {
public:
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // The loaded library, or null with the loader's reason in `error`.
    static std::unique_ptr<SharedLibrary> Open(const std::string& path, std::string* error = nullptr);

    // The address of an exported symbol, or null when it has none of that name.
    void* Symbol(const std::string& name) const;
    const std::string& Path() const { return m_path; }

private:
    SharedLibrary(void* handle, std::string path) : m_handle(handle), m_path(std::move(path)) {}
    void* m_handle;
    std::string m_path;
};

} // namespace velkor
