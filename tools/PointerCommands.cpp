#include "tools/PointerCommands.h"
#include "tools/ExitCodes.h"

#include "devices/SupportedDevices.h"
#include "platform/desktop/DesktopPointerSettings.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace velkor {
namespace {

using namespace exitcode;
constexpr int kNotOffered = 4;

bool ParseValue(const std::string& text, int& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < -1'000'000 || parsed > 1'000'000) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

int Usage(std::FILE* err, const std::string& problem) {
    std::fprintf(err, "velkorctl: %s\n", problem.c_str());
    PrintPointerCommandUsage(err);
    return kUsage;
}

void PrintResult(std::FILE* file, const char* prefix, PointerSetting setting, const PointerResult& result) {
    const char* name = PointerSettingInfoOf(setting).name;
    switch (result.status) {
    case PointerStatus::Ok:
        std::fprintf(file, "%s%s: %d\n", prefix, name, result.value);
        break;
    case PointerStatus::NotOffered:
        std::fprintf(file, "%s%s: not offered by this desktop (%s)\n", prefix, name, result.reason.c_str());
        break;
    case PointerStatus::Failed:
        std::fprintf(file, "%s%s: failed (%s)\n", prefix, name, result.reason.c_str());
        break;
    }
}

int Show(DesktopPointerSettings& settings, std::FILE* out) {
    std::fprintf(out, "back end: %s\n", settings.BackendName().c_str());
    int rc = kOk;
    const PointerResults results = settings.Read();
    for (PointerSetting setting : kPointerSettings) {
        const PointerResult& result = results[static_cast<size_t>(setting)];
        PrintResult(out, "", setting, result);
        if (result.status == PointerStatus::Failed) {
            rc = kFailed;
        }
    }
    return rc;
}

int Set(DesktopPointerSettings& settings, const std::string& name, const std::string& text, std::FILE* out,
        std::FILE* err) {
    const std::optional<PointerSetting> setting = PointerSettingNamed(name);
    if (!setting) {
        return Usage(err, "unknown pointer setting " + name);
    }
    const PointerSettingInfo& info = PointerSettingInfoOf(*setting);
    int value = 0;
    if (!ParseValue(text, value) || !InPointerRange(*setting, value)) {
        return Usage(err, name + " takes a whole number from " + std::to_string(info.minimum) + " to " +
                              std::to_string(info.maximum));
    }
    const PointerResult result = settings.Apply(*setting, value);
    switch (result.status) {
    case PointerStatus::Ok:
        PrintResult(out, "", *setting, result);
        return kOk;
    case PointerStatus::NotOffered:
        PrintResult(err, "velkorctl: ", *setting, result);
        return kNotOffered;
    case PointerStatus::Failed:
        break;
    }
    PrintResult(err, "velkorctl: ", *setting, result);
    return kFailed;
}

} // namespace

void PrintPointerCommandUsage(std::FILE* out) {
    std::fputs("  pointer                   the desktop's pointer settings (GNOME or KDE Plasma):\n"
               "                            speed 1..20, precision 0|1, double-click 200..900 (ms),\n"
               "                            wheel-lines 1..20, page-scroll 0|1\n"
               "  pointer set NAME VALUE    apply one of them and read it back (exit 4: the desktop\n"
               "                            does not offer it)\n",
               out);
}

int RunPointerCommand(const std::vector<std::string>& words, DesktopPointerSettings& settings, std::FILE* out,
                      std::FILE* err) {
    if (words.empty() || words[0] != "pointer") {
        return kNotThisCommand;
    }
    if (words.size() == 1) {
        return Show(settings, out);
    }
    if (words[1] == "set" && words.size() == 4) {
        return Set(settings, words[2], words[3], out, err);
    }
    return Usage(err, "pointer takes nothing, or set NAME VALUE");
}

int RunPointerCommand(const std::vector<std::string>& words, const Environment& environment) {
    if (words.empty() || words[0] != "pointer") {
        return kNotThisCommand; // decided before the desktop is asked
    }
    DesktopPointerSettings settings(
        DesktopPointerSettings::OptionsFromEnvironment(environment, FamilyMouseIds()));
    return RunPointerCommand(words, settings, stdout, stderr);
}

} // namespace velkor
