#include "app/CommandLine.h"

#include "sdk/SdkWire.h"

#include <string_view>
#include <utility>

#ifndef VELKOR_VERSION
#define VELKOR_VERSION "unknown"
#endif

namespace velkor {

namespace {

// "keyboard", "mouse", "mousepad" or "headset", optionally ":" and a tab type 1..8.
bool ParsePageRequest(std::string_view value, DeviceClass& kind, int& tab) {
    const size_t colon = value.find(':');
    const std::string_view name = value.substr(0, colon);
    kind = DeviceClass::None;
    for (DeviceClass named :
         {DeviceClass::Keyboard, DeviceClass::Mouse, DeviceClass::MousePad, DeviceClass::Headset}) {
        kind = name == ClassWord(named) ? named : kind;
    }
    tab = 0;
    if (colon != std::string_view::npos) {
        const std::string_view digits = value.substr(colon + 1);
        if (digits.size() != 1 || digits[0] < '1' || digits[0] > '8') {
            return false;
        }
        tab = digits[0] - '0';
    }
    return kind != DeviceClass::None;
}

} // namespace

CommandLineAction ParseCommandLine(int argc, const char* const* argv, ProgramOptions& options,
                                   std::string& error, AutostartChoice* autostart) {
    options = ProgramOptions{};
    if (argc >= 2 && argv[1] != nullptr && std::string_view(argv[1]) == "--autostart") {
        const std::string_view value = argc == 3 && argv[2] != nullptr ? argv[2] : "";
        if (value != "on" && value != "off") {
            error = "--autostart takes on or off and nothing else";
            return CommandLineAction::Error;
        }
        if (autostart != nullptr) {
            *autostart = value == "on" ? AutostartChoice::On : AutostartChoice::Off;
        }
        return CommandLineAction::Autostart;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] != nullptr ? argv[i] : "";
        if (arg == "--help" || arg == "-h") {
            return CommandLineAction::Help;
        }
        if (arg == "--version") {
            return CommandLineAction::Version;
        }
        if (arg == "--simulate") {
            options.simulate = true;
        } else if (arg.starts_with("--simulate=")) {
            options.simulate = true;
            options.scenario = arg.substr(std::string_view("--simulate=").size());
            if (options.scenario.empty()) {
                error = "--simulate= needs a scenario file";
                return CommandLineAction::Error;
            }
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--background") {
            options.background = true;
        } else if (arg == "--headless") {
            options.headless = true;
        } else if (arg.starts_with("--screenshot=")) {
            options.screenshot = arg.substr(std::string_view("--screenshot=").size());
            if (options.screenshot.empty()) {
                error = "--screenshot= needs a file name";
                return CommandLineAction::Error;
            }
        } else if (arg.starts_with("--page=")) {
            if (!ParsePageRequest(arg.substr(std::string_view("--page=").size()), options.pageKind,
                                  options.pageTab)) {
                error = "--page= needs keyboard, mouse, mousepad or headset, optionally :TAB (1..8)";
                return CommandLineAction::Error;
            }
        } else if (arg.starts_with("--update-server=") || arg.starts_with("--update-ca=")) {
            const size_t equals = arg.find('=');
            std::string& value =
                arg.starts_with("--update-server=") ? options.updateServer : options.updateCaFile;
            value = arg.substr(equals + 1);
            if (value.empty()) {
                error = std::string(arg.substr(0, equals + 1)) + " needs a value";
                return CommandLineAction::Error;
            }
        } else if (arg == "--autostart") {
            error = "--autostart on|off must be the only argument";
            return CommandLineAction::Error;
        } else if (arg == "--sdk-server") {
            options.sdkPort = sdk::kSdkDefaultPort;
        } else if (arg.starts_with("--sdk-server=")) {
            const std::optional<uint16_t> port =
                sdk::ParsePort(arg.substr(std::string_view("--sdk-server=").size()));
            if (!port) {
                error = "--sdk-server= needs a port number 1..65535";
                return CommandLineAction::Error;
            }
            options.sdkPort = *port;
        } else if (arg == "--exit-after-start") {
            options.exitAfterStart = true;
        } else {
            error = "unknown argument '" + std::string(arg) + "'";
            return CommandLineAction::Error;
        }
    }
    if (options.headless && !options.screenshot.empty()) {
        error = "--headless has no window to take a screenshot of";
        return CommandLineAction::Error;
    }
    return CommandLineAction::Run;
}

void PrintUsage(std::FILE* out) {
    std::fputs("Usage: velkor [OPTIONS]\n"
               "The configuration centre of the family's keyboards, mice, mouse pad and headset.\n"
               "\n"
               "  --simulate            use the built-in simulated devices instead of hardware\n"
               "  --simulate=SCENARIO   the same, driven by a scenario file (JSON)\n"
               "  --trace               write the trace lines to standard error (also VELKOR_TRACE=1)\n"
               "  --background          start hidden in the notification area (login autostart); the\n"
               "                        window shows when the desktop has no notification area\n"
               "  --headless            no display, window or tray: the devices, profiles and the\n"
               "                        device API on the session bus only (velkorctl, scripts)\n"
               "  --exit-after-start    quit once the main window is shown; print the start-up time\n"
               "  --screenshot=FILE     once the devices are listed, save the main window as PNG and quit\n"
               "  --page=NAME[:TAB]     show the page of the first keyboard, mouse, mousepad or\n"
               "                        headset once it is listed, and its option tab TAB (1..8)\n"
               "  --update-server=URL   the update server (its base URL ends in /api/; also\n"
               "                        VELKOR_UPDATE_SERVER or \"UpdateServer\" in the settings file)\n"
               "  --update-ca=FILE      the certificate authorities of a private update server\n"
               "  --sdk-server[=PORT]   let other lighting programs (OpenRGB SDK clients) use the\n"
               "                        devices, on 127.0.0.1 and ::1, port PORT (6742 without one)\n"
               "  --autostart on|off    start in the notification area at login, or not (writes or\n"
               "                        removes $XDG_CONFIG_HOME/autostart/org.velkor.VELKOR01.desktop)\n"
               "  --help                show this text\n"
               "  --version             show the version\n"
               "\n"
               "A second start brings the running program's window to the front and ends. A window\n"
               "started while a headless instance runs takes the devices over from it; the headless\n"
               "instance stands by and takes them back once the window has ended.\n",
               out);
}

std::string VersionText() {
    return std::string("velkor ") + VELKOR_VERSION;
}

} // namespace velkor
