#include "platform/SharedLibrary.h"

#include <dlfcn.h>

namespace velkor {

SharedLibrary::~SharedLibrary() {
    dlclose(m_handle);
}

std::unique_ptr<SharedLibrary> SharedLibrary::Open(const std::string& path, std::string* error) {
    // A path without a slash would be looked up in the system's library path.
    if (path.find('/') == std::string::npos) {
        if (error != nullptr) {
            *error = "not a path: " + path;
        }
        return nullptr;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        if (error != nullptr) {
            const char* reason = dlerror();
            *error = reason != nullptr ? reason : "cannot be loaded";
        }
        return nullptr;
    }
    return std::unique_ptr<SharedLibrary>(new SharedLibrary(handle, path));
}

void* SharedLibrary::Symbol(const std::string& name) const {
    return dlsym(m_handle, name.c_str());
}

} // namespace velkor
