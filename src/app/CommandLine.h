#pragma once
// The program's command line:
//   velkor [--simulate[=SCENARIO]] [--trace] [--background] [--headless] [--exit-after-start]
//   [--screenshot=FILE]
//          [--update-server=URL] [--update-ca=FILE] [--sdk-server[=PORT]] [--help] [--version]
//   velkor --autostart on|off
#include "devices/DeviceModels.h"
#include <cstdint>
#include <cstdio>
#include <string>

namespace velkor {

struct ProgramOptions {
    bool simulate = false;
    std::string scenario; // with --simulate=SCENARIO: a scenario file
    bool trace = false;
    // Start hidden in the notification area, as the close button leaves the
    // window (login autostart).
    bool background = false;
    // No display: the in-memory toolkit runs every panel as the window would,
    // nothing is shown, and the program is driven through its device API.
    bool headless = false;
    // Quit as soon as the main window is shown and print the start-up time
    // (start-up measurements, smoke tests).
    bool exitAfterStart = false;
    // Save the main window as a PNG file once the devices are listed, then quit
    // (documentation pictures); empty: no picture.
    std::string screenshot;
    // --page=NAME[:TAB]: once a device of that kind is listed, its page is
    // selected and, with TAB, that option tab (1..8). 0: no such request.
    DeviceClass pageKind = DeviceClass::None;
    int pageTab = 0;
    // The update server's base URL (ending in "/api/") and its CA file; empty:
    // the environment's or the settings file's (update/UpdateConfig.h).
    std::string updateServer;
    std::string updateCaFile;
    // --sdk-server[=PORT]: serve other lighting programs on that port (6742
    // without one) for this run, whatever the settings file says. 0: as the
    // settings file says.
    uint16_t sdkPort = 0;
};

enum class AutostartChoice { On, Off };

enum class CommandLineAction {
    Run,
    Help,      // print the usage and end with 0
    Version,   // print the version and end with 0
    Autostart, // turn start at login on or off (the choice in `autostart`) and end
    Error,     // print the error and the usage to standard error and end with 2
};

// Reads argv[1..argc-1]. `error` names the offending argument for Error.
// `autostart` (may be null) receives the choice of --autostart, which must be
// the only argument.
CommandLineAction ParseCommandLine(int argc, const char* const* argv, ProgramOptions& options,
                                   std::string& error, AutostartChoice* autostart = nullptr);

void PrintUsage(std::FILE* out);
// "velkor 0.1.0".
std::string VersionText();

} // namespace velkor
