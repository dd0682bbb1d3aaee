#include "tools/UpdateCommands.h"

#include "devices/SupportedDevices.h"
#include "profiles/ProfileFolders.h"
#include "profiles/SettingsFile.h"
#include "transport/HidInterface.h"
#include "update/UpdateCheck.h"
#include "update/UpdateConfig.h"

namespace velkor {
namespace {

constexpr int kExitAnswered = 0;
constexpr int kExitNoServer = 2;
constexpr int kExitSomeFailed = 4;

// The command interface of every supported device present, with its release number.
std::vector<AttachedInterface> AttachedInterfaces(HidBackend& backend) {
    std::vector<AttachedInterface> attached;
    HidInterface enumerator(backend);
    if (!enumerator.Enumerate()) {
        return attached;
    }
    while (const char* path = enumerator.NextPath()) {
        HidInterface hid(backend);
        if (!hid.Open(path, false, false, false, false)) {
            continue;
        }
        const int row = FindSupportedRow(PathVendorId(path), PathProductId(path), PathInterfaceNumber(path),
                                         PathCollectionNumber(path), hid.Caps().usagePage, hid.Caps().usage);
        if (row >= 0 && SupportedDeviceTable()[size_t(row)].role == kRoleCommand) {
            const HidAttributes& attributes = hid.Attributes();
            attached.push_back({attributes.vendorId, attributes.productId, attributes.versionNumber});
        }
    }
    return attached;
}

} // namespace

int RunUpdateCheck(HidBackend& backend, const UpdateCheckOptions& options, const UpdateCheckProcess& process,
                   std::FILE* out, std::FILE* err) {
    const Environment& environment = process.environment;
    const std::string home = environment.Get("HOME");
    const std::string configHome = environment.Get("XDG_CONFIG_HOME");
    const std::string settings = SettingsFilePath(configHome.empty() ? nullptr : configHome.c_str(),
                                                  home.empty() ? nullptr : home.c_str());
    UpdateServerConfig config;
    std::string why;
    if (!ResolveUpdateServer({.commandLineServer = options.server,
                              .commandLineCaFile = options.caFile,
                              .environmentServer = environment.Get("VELKOR_UPDATE_SERVER"),
                              .environmentCaFile = environment.Get("VELKOR_UPDATE_CA"),
                              .settingsPath = settings},
                             config, &why)) {
        std::fprintf(err, "velkorctl: %s\n", why.c_str());
        return kExitNoServer;
    }
    if (config.baseUrl.empty()) {
        std::fprintf(err,
                     "velkorctl: no update server is configured (--server URL, VELKOR_UPDATE_SERVER or "
                     "\"UpdateServer\" in %s): nothing is asked\n",
                     settings.empty() ? "the settings file" : settings.c_str());
        return kExitNoServer;
    }
    std::vector<UpdateItem> table;
    const std::string tablePath = DefaultDataFolder(process.programFolder) + kUpdateItemsFileName;
    if (!ReadUpdateItems(tablePath, table, &why)) {
        std::fprintf(err, "velkorctl: %s\n", why.c_str());
        return kExitSomeFailed;
    }
    const std::vector<UpdateItem> rows =
        BuildUpdateList(table, AttachedInterfaces(backend), ReadInstalledVersion(), InstalledVersionText());
    HttpClient client({.caFile = config.caFile});
    bool allAnswered = true;
    for (const UpdateItem& row : rows) {
        const UpdateResult result = CheckForUpdate(client, config.baseUrl, row);
        std::fprintf(out, "%s %s %s %d%s\n", row.displayName.c_str(), result.currentText.c_str(),
                     result.latestText.empty() ? "-" : result.latestText.c_str(), result.status,
                     result.failed ? " failed" : "");
        if (result.failed) {
            std::fprintf(err, "velkorctl: %s: %s\n", row.displayName.c_str(), result.why.c_str());
            allAnswered = false;
        }
    }
    std::fflush(out);
    return allAnswered ? kExitAnswered : kExitSomeFailed;
}

void PrintUpdateCommandUsage(std::FILE* out) {
    std::fputs("  update-check [--server URL] [--ca FILE]\n"
               "                            ask the update server about each attached model and the\n"
               "                            program: NAME CURRENT LATEST STATUS[ failed] per row\n"
               "                            (exit 0 all answered, 4 some not, 2 no server configured)\n",
               out);
}

} // namespace velkor
