// velkorctl: lists the family's HID interfaces, reads what a device stores, sends the running
// program messages, shows or applies the desktop's pointer settings and shows what the input hook reads.
#include "devices/SupportedDevices.h"
#include "headset/AudioLibrary.h"
#include "platform/Environment.h"
#include "platform/Trace.h"
#include "platform/hidraw/HidrawBackend.h"
#include "tools/AudioCommands.h"
#include "tools/BusCommands.h"
#include "tools/DeviceCommands.h"
#include "tools/InputCommands.h"
#include "tools/MacroCommands.h"
#include "tools/PointerCommands.h"
#include "tools/RecordCommands.h"
#include "tools/SimulatorOption.h"
#include "tools/UpdateCommands.h"
#include "transport/DeviceTransport.h"
#include "update/HttpClient.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace velkor {
namespace {

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitNoDevice = 3 };

void PrintUsage(FILE* out) {
    std::fputs("Usage: velkorctl [--trace] [--simulate[=SCENARIO]] COMMAND [ARGS]\n"
               "\n"
               "commands:\n"
               "  list                      the family's HID interfaces that are present\n"
               "  info PATH                 read and decode the device information block\n"
               "  params PATH [LEN] [OFF]   dump LEN bytes (default 128) of parameter memory from OFF\n"
               "  watch [SECONDS]           show interfaces arriving and leaving (until the scenario\n"
               "                            ends, SECONDS pass, or Ctrl-C)\n"
               "\n",
               out);
    PrintMacroCommandUsage(out);
    PrintInputCommandUsage(out);
    PrintMacroRecordUsage(out);
    PrintBusCommandUsage(out);
    PrintDeviceCommandUsage(out);
    PrintPointerCommandUsage(out);
    PrintAudioCommandUsage(out);
    PrintUpdateCommandUsage(out);
    std::fputs("\n"
               "options:\n"
               "  --trace                   show every frame sent and received\n"
               "  --simulate                use the built-in simulated devices instead of hardware\n"
               "  --simulate=SCENARIO       the same, driven by a scenario file (JSON)\n",
               out);
}

void HexDump(const uint8_t* data, size_t length, size_t baseOffset) {
    for (size_t line = 0; line < length; line += 16) {
        std::printf("%04zx:", baseOffset + line);
        for (size_t i = line; i < line + 16 && i < length; ++i) {
            std::printf(" %02x", data[i]);
        }
        std::printf("\n");
    }
}

// The table row an interface path belongs to (usage page and usage come from the open interface).
int RowOfInterface(const HidInterface& hid) {
    const std::string& path = hid.Path();
    return FindSupportedRow(PathVendorId(path), PathProductId(path), PathInterfaceNumber(path),
                            PathCollectionNumber(path), hid.Caps().usagePage, hid.Caps().usage);
}

int List(HidBackend& backend) {
    HidInterface enumerator(backend);
    if (!enumerator.Enumerate()) {
        std::fprintf(stderr, "velkorctl: the HID interfaces could not be enumerated\n");
        return kExitFailed;
    }
    int shown = 0;
    std::printf("%-58s %-6s %-6s %-3s %-3s %-6s %-5s %-18s %s\n", "PATH", "VENDOR", "PROD", "MI", "COL",
                "PAGE", "USAGE", "KIND", "ROLE");
    while (const char* path = enumerator.NextPath()) {
        const uint16_t vendor = PathVendorId(path);
        if (vendor != 0x320F && vendor != 0x0C76) {
            continue;
        }
        HidInterface hid(backend);
        if (!hid.Open(path, false, false, false, false)) {
            std::printf("%-58s %04x   %04x   %02x  %02x  (cannot open: %s)\n", path, vendor,
                        PathProductId(path), PathInterfaceNumber(path), PathCollectionNumber(path),
                        hid.LastOpenError().empty() ? "unknown error" : hid.LastOpenError().c_str());
            ++shown;
            continue;
        }
        const int row = RowOfInterface(hid);
        const char* kind = "(not used)";
        const char* role = "-";
        if (row >= 0) {
            const SupportedDevice& entry = SupportedDeviceTable()[static_cast<size_t>(row)];
            kind = DeviceKindName(entry.kind);
            role = entry.role == kRoleEvent ? "events" : "commands";
        }
        std::printf("%-58s %04x   %04x   %02x  %02x  %04x   %04x  %-18s %s\n", path,
                    hid.Attributes().vendorId, hid.Attributes().productId, PathInterfaceNumber(path),
                    PathCollectionNumber(path), hid.Caps().usagePage, hid.Caps().usage, kind, role);
        ++shown;
    }
    if (shown == 0) {
        std::printf("no device of the family is present\n");
    }
    return kExitOk;
}

// The family's interface paths that are present now.
std::set<std::string> FamilyPaths(HidInterface& enumerator) {
    std::set<std::string> paths;
    if (enumerator.Enumerate()) {
        while (const char* path = enumerator.NextPath()) {
            const uint16_t vendor = PathVendorId(path);
            if (vendor == 0x320F || vendor == 0x0C76) {
                paths.insert(path);
            }
        }
    }
    return paths;
}

int Watch(HidBackend& backend, bool scenarioPlaying, double seconds) {
    HidInterface enumerator(backend);
    std::set<std::string> present;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        std::set<std::string> now = FamilyPaths(enumerator);
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        for (const std::string& path : now) {
            if (!present.contains(path)) {
                std::printf("%8.3f + %s\n", elapsed, path.c_str());
            }
        }
        for (const std::string& path : present) {
            if (!now.contains(path)) {
                std::printf("%8.3f - %s\n", elapsed, path.c_str());
            }
        }
        std::fflush(stdout);
        present = std::move(now);
        if ((seconds > 0 && elapsed >= seconds) ||
            (seconds <= 0 && scenarioPlaying && ScenarioFinished(backend))) {
            return kExitOk;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

// Opens PATH on the channel the program would use for it.
int OpenDevice(DeviceTransport& transport, const std::string& path) {
    HidInterface probe(transport.Backend());
    if (!probe.Open(path, false, false, false, false)) {
        const std::string& why = probe.LastOpenError();
        std::fprintf(stderr, "velkorctl: cannot open %s: %s\n", path.c_str(),
                     why.empty() ? "not found" : why.c_str());
        if (why.find("ermission") != std::string::npos) {
            std::fprintf(stderr, "velkorctl: install packaging/70-velkor.rules into /etc/udev/rules.d/ "
                                 "(the package and cmake --install --prefix /usr put it in "
                                 "/lib/udev/rules.d) and plug the device in again\n");
        }
        return kExitNoDevice;
    }
    const int row = RowOfInterface(probe);
    if (row < 0 || SupportedDeviceTable()[static_cast<size_t>(row)].role != kRoleCommand) {
        std::fprintf(stderr, "velkorctl: %s is not the command interface of a supported device\n",
                     path.c_str());
        return kExitNoDevice;
    }
    const DeviceKind kind = SupportedDeviceTable()[static_cast<size_t>(row)].kind;
    const ChannelType channel = IsReceiverKind(kind) ? ChannelType::Receiver : ChannelType::Wired;
    if (!transport.Open(channel, path, SelectsChannel(kind))) {
        const std::string& why = transport.Channel(channel).LastOpenError();
        std::fprintf(stderr, "velkorctl: cannot open %s for reading and writing: %s\n", path.c_str(),
                     why.c_str());
        if (why.find("ermission") != std::string::npos) {
            std::fprintf(stderr, "velkorctl: install packaging/70-velkor.rules into /etc/udev/rules.d/ "
                                 "(the package and cmake --install --prefix /usr put it in "
                                 "/lib/udev/rules.d) and plug the device in again\n");
        }
        return kExitNoDevice;
    }
    return kExitOk;
}

int ReportFailure(const char* what, int result) {
    std::fprintf(stderr, "velkorctl: %s failed with result %d: %s\n", what, result, ResultMeaning(result));
    return kExitFailed;
}

int Info(HidBackend& backend, const std::string& path) {
    DeviceTransport transport(backend);
    if (int rc = OpenDevice(transport, path); rc != kExitOk) {
        return rc;
    }
    uint8_t info[kDeviceInfoSize] = {};
    if (int result = transport.ReadDeviceInfo(info); result != kResultOk) {
        return ReportFailure("reading the device information", result);
    }
    std::printf("key positions:   %u\n", info[5]);
    std::printf("macro slots:     %u\n", info[6]);
    std::printf("sensor:          0x%04x\n", info[9] | (info[10] << 8));
    std::printf("DPI step size:   %u\n", info[11]);
    std::printf("highest step:    %u\n", info[12] | (info[13] << 8));
    std::printf("DPI base value:  %u\n", info[14] | (info[15] << 8));
    std::printf("raw block:\n");
    HexDump(info, sizeof info, 0);
    return kExitOk;
}

bool ParseNumber(const char* text, unsigned long limit, unsigned long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text, &end, 0);
    return errno == 0 && end != text && *end == '\0' && value <= limit;
}

int Params(HidBackend& backend, const std::string& path, unsigned long length, unsigned long offset) {
    DeviceTransport transport(backend);
    if (int rc = OpenDevice(transport, path); rc != kExitOk) {
        return rc;
    }
    std::vector<uint8_t> memory(length, 0);
    if (int result =
            transport.ReadParams(memory.data(), static_cast<uint16_t>(length), static_cast<uint16_t>(offset));
        result != kResultOk) {
        return ReportFailure("reading the parameter memory", result);
    }
    HexDump(memory.data(), memory.size(), offset);
    return kExitOk;
}

int Run(int argc, char** argv, const Environment& environment) {
    InitTraceFromEnvironment(environment);
    SimulatorOption simulate;
    UpdateCheckOptions update;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--trace") {
            SetTraceEnabled(true);
        } else if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return kExitOk;
        } else if (arg == "--simulate" || arg.rfind("--simulate=", 0) == 0) {
            simulate.enabled = true;
            if (arg.size() > 11) {
                simulate.scenario = arg.substr(11);
            }
        } else if (!words.empty() && (words[0] == "input" || (words[0] == "macro" && words.size() >= 2))) {
            words.push_back(arg); // its own options
        } else if ((arg == "--server" || arg == "--ca") && i + 1 < argc) {
            (arg == "--server" ? update.server : update.caFile) = argv[++i];
        } else if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "velkorctl: unknown option %s\n", arg.c_str());
            PrintUsage(stderr);
            return kExitUsage;
        } else {
            words.push_back(arg);
        }
    }
    if (words.empty()) {
        PrintUsage(stderr);
        return kExitUsage;
    }

    // Messages to the running program need no device back end.
    if (int rc = RunBusCommand(words); rc >= 0) {
        return rc;
    }
    if (int rc = RunDeviceCommand(words, {}, stdout, stderr); rc >= 0) {
        return rc;
    }
    // Neither do the desktop's pointer settings, nor the keyboards and mice.
    if (int rc = RunPointerCommand(words, environment); rc >= 0) {
        return rc;
    }
    if (int rc = RunInputCommand(words, stdout, stderr); rc >= 0) {
        return rc;
    }
    if (int rc = RunMacroRecordCommand(words, stdout, stderr); rc >= 0) {
        return rc;
    }

    // The audio plugin the program would load, from beside the tool.
    const std::string folder = ExecutableFolder();
    if (int rc = RunAudioCommand(words, AudioPluginPath(folder, simulate.enabled), stdout, stderr); rc >= 0) {
        return rc;
    }

    std::string error;
    std::unique_ptr<HidBackend> backend;
    bool scenarioPlaying = false;
    if (simulate.enabled) {
        backend = MakeSimulatorBackend(simulate, scenarioPlaying, error);
    } else {
        backend = std::make_unique<HidrawBackend>();
    }
    if (!backend) {
        std::fprintf(stderr, "velkorctl: %s\n", error.c_str());
        return kExitFailed;
    }

    const std::string& command = words[0];
    if (command == "update-check" && words.size() == 1) {
        return RunUpdateCheck(*backend, update, {environment, folder}, stdout, stderr);
    }
    if (int rc = RunMacroCommand(*backend, words, OpenDevice); rc >= 0) {
        return rc;
    }
    if (command == "list" && words.size() == 1) {
        return List(*backend);
    }
    if (command == "info" && words.size() == 2) {
        return Info(*backend, words[1]);
    }
    if (command == "params" && words.size() >= 2 && words.size() <= 4) {
        unsigned long length = 128;
        unsigned long offset = 0;
        if ((words.size() >= 3 && !ParseNumber(words[2].c_str(), 0xFFFF, length)) ||
            (words.size() == 4 && !ParseNumber(words[3].c_str(), 0xFFFF, offset)) || length == 0 ||
            offset + length > 0x10000) {
            std::fprintf(stderr, "velkorctl: LEN and OFF must be numbers with OFF + LEN <= 65536\n");
            return kExitUsage;
        }
        return Params(*backend, words[1], length, offset);
    }
    if (command == "watch" && words.size() <= 2) {
        double seconds = 0;
        if (words.size() == 2) {
            char* end = nullptr;
            seconds = std::strtod(words[1].c_str(), &end);
            if (end == words[1].c_str() || *end != '\0' || seconds <= 0 || seconds > 1e6) {
                std::fprintf(stderr, "velkorctl: SECONDS must be a positive number\n");
                return kExitUsage;
            }
        }
        return Watch(*backend, scenarioPlaying, seconds);
    }
    std::fprintf(stderr, "velkorctl: unknown command or wrong arguments: %s\n", command.c_str());
    PrintUsage(stderr);
    return kExitUsage;
}

} // namespace
} // namespace velkor

int main(int argc, char** argv) {
    const velkor::HttpGlobalInit http; // before any thread starts
    return velkor::Run(argc, argv, velkor::Environment::FromProcess()); // read once, here
}
