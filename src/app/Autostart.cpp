#include "app/Autostart.h"

#include "platform/JsonFileHelper.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace velkor {

namespace fs = std::filesystem;

namespace {

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

// One argument of an Exec line: plain when it holds only characters that need
// no quoting, else in double quotes with ", `, $ and \ escaped; then the
// string-level escape of the key file doubles every backslash, and % stands
// for itself as %%.
std::string ExecArgument(const std::string& argument) {
    const bool plain =
        !argument.empty() && argument.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                        "0123456789/._+-,:@") == std::string::npos;
    std::string quoted;
    if (!plain) {
        quoted += '"';
    }
    for (const char c : argument) {
        if (!plain && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            quoted += '\\';
        }
        quoted += c;
    }
    if (!plain) {
        quoted += '"';
    }
    std::string escaped;
    for (const char c : quoted) {
        escaped += c == '\\' ? "\\\\" : c == '%' ? "%%" : std::string(1, c);
    }
    return escaped;
}

} // namespace

std::string AutostartFilePath(const std::string& xdgConfigHome, const std::string& home) {
    std::string base;
    if (IsAbsolute(xdgConfigHome)) {
        base = xdgConfigHome;
    } else if (IsAbsolute(home)) {
        base = home + "/.config";
    } else {
        return {};
    }
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    return base + "/autostart/" + kAutostartFileName;
}

std::string AutostartEntryText(const std::string& program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Velkor\n"
           "Comment=Starts the configuration centre in the notification area\n"
           "Exec=" +
           ExecArgument(program) +
           " --background\n"
           "Icon=org.velkor.VELKOR01\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool AutostartEnabled(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    std::string text;
    if (CJsonFileHelper().ReadTextFile(path, text) != FileReadStatus::Ok) {
        return false;
    }
    return text.find("\nHidden=true") == std::string::npos;
}

bool SetAutostart(const std::string& path, bool on, const std::string& program, std::string* error) {
    const auto fail = [error](const std::string& why) {
        if (error != nullptr) {
            *error = why;
        }
        return false;
    };
    if (path.empty()) {
        return fail("no configuration folder: neither XDG_CONFIG_HOME nor HOME is an absolute path");
    }
    std::error_code ec;
    if (!on) {
        if (!fs::remove(path, ec) && ec) {
            return fail("cannot remove " + path + ": " + ec.message());
        }
        return true;
    }
    if (!IsAbsolute(program)) {
        return fail("the program's own path is unknown, so no entry can start it");
    }
    const fs::path folder = fs::path(path).parent_path();
    // create_directories reports a file in the way as "File exists"; say what is wrong.
    for (fs::path step = folder; !step.empty() && step != step.root_path(); step = step.parent_path()) {
        if (fs::exists(step, ec) && !fs::is_directory(step, ec)) {
            return fail("cannot create " + folder.string() + ": " + step.string() + " is not a folder");
        }
    }
    if (!fs::create_directories(folder, ec) && ec) {
        return fail("cannot create " + folder.string() + ": " + ec.message());
    }
    errno = 0;
    if (!CJsonFileHelper().WriteTextFile(AutostartEntryText(program), path)) {
        const int saved = errno;
        return fail("cannot write " + path + (saved != 0 ? std::string(": ") + std::strerror(saved) : ""));
    }
    return true;
}

} // namespace velkor
