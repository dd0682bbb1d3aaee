#pragma once
// Where the update server is: its base URL (ending in "/api/") and the CA file
// that vouches for a private server. There is no built-in server: without a
// configured one nothing is ever sent.
//
// Each value is taken from the first source that gives one: the command line
// (velkor --update-server=URL --update-ca=FILE, velkorctl --server --ca), the
// environment (VELKOR_UPDATE_SERVER, VELKOR_UPDATE_CA), the settings file
// ("UpdateServer", "UpdateCaFile"). Pure functions; any thread.
#include <string>

namespace velkor {

struct UpdateConfigSources {
    std::string commandLineServer;
    std::string commandLineCaFile;
    std::string environmentServer;
    std::string environmentCaFile;
    // The settings file (profiles/SettingsFile.h); empty: none.
    std::string settingsPath;
};

struct UpdateServerConfig {
    std::string baseUrl; // empty: no server configured
    std::string caFile;  // empty: the system's authorities
    std::string source;  // where the base URL came from, for messages
};

// False, with the reason and an empty base URL, when the chosen URL is not
// https (or http to a loopback address) or its path does not end in "/api/".
// True with an empty base URL when no source names a server.
bool ResolveUpdateServer(const UpdateConfigSources& sources, UpdateServerConfig& config,
                         std::string* why = nullptr);

} // namespace velkor
