#include "tools/DeviceCommands.h"
#include "tools/ExitCodes.h"

#include "platform/bus/DeviceBusClient.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace velkor {

namespace {

using namespace exitcode;
constexpr int kNoDevice = kNotFound;

constexpr const char* kLightingKeys[] = {"effect", "brightness", "speed", "direction", "colour", "colourful"};
constexpr const char* kOptionKeys[] = {"win-lock", "w-key", "six-key", "repeat-delay", "repeat-rate"};
// The kinds `devices` lists; each may stand for the one device of its kind.
constexpr const char* kKindWords[] = {"keyboard", "mouse", "mousepad", "headset"};

bool Contains(const auto& list, const std::string& key) {
    return std::any_of(std::begin(list), std::end(list), [&](const char* k) { return key == k; });
}

std::optional<int32_t> ParseInt(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || value < INT32_MIN || value > INT32_MAX) {
        return std::nullopt;
    }
    return int32_t(value);
}

std::optional<bool> ParseBool(const std::string& text) {
    for (const char* yes : {"1", "true", "on", "yes"}) {
        if (text == yes) {
            return true;
        }
    }
    for (const char* no : {"0", "false", "off", "no"}) {
        if (text == no) {
            return false;
        }
    }
    return std::nullopt;
}

std::string ValueText(const BusValue& value) {
    if (const auto* flag = std::get_if<bool>(&value)) {
        return *flag ? "true" : "false";
    }
    if (const auto* number = std::get_if<int32_t>(&value)) {
        return std::to_string(*number);
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    std::string joined;
    if (const auto* list = std::get_if<std::vector<std::string>>(&value)) {
        for (const std::string& item : *list) {
            joined += (joined.empty() ? "" : ",") + item;
        }
    } else if (const auto* numbers = std::get_if<std::vector<int32_t>>(&value)) {
        for (int32_t item : *numbers) {
            joined += (joined.empty() ? "" : ",") + std::to_string(item);
        }
    }
    return joined;
}

int ExitFor(const DeviceReply& reply, const char* what, std::FILE* err) {
    switch (reply.status) {
    case DeviceCallStatus::Ok:
        return kOk;
    case DeviceCallStatus::NotRunning:
        std::fprintf(err, "velkorctl: velkor is not running (%s); start it, or run velkor --headless\n",
                     reply.message.c_str());
        return kFailed;
    case DeviceCallStatus::NoSuchDevice:
        std::fprintf(err, "velkorctl: %s\n", reply.message.c_str());
        return kNoDevice;
    case DeviceCallStatus::InvalidArgs:
        std::fprintf(err, "velkorctl: %s refused: %s\n", what, reply.message.c_str());
        return kUsage;
    default:
        std::fprintf(err, "velkorctl: %s failed: %s\n", what, reply.message.c_str());
        return kFailed;
    }
}

// One KEY=VALUE of `set` turned into its call; lighting keys gather into one SetLighting.
bool AddSetting(const std::string& id, const std::string& key, const std::string& value,
                std::vector<DeviceCall>& calls, DeviceCall& lighting, std::string& why) {
    const std::optional<int32_t> number = ParseInt(value);
    if (Contains(kLightingKeys, key)) {
        BusValue field = value;
        if (key == "colourful") {
            const std::optional<bool> flag = ParseBool(value);
            if (!flag) {
                why = "colourful takes true or false";
                return false;
            }
            field = *flag;
        } else if (number && key != "colour") {
            field = *number;
        }
        lighting.fields.emplace_back(key, field);
        return true;
    }
    DeviceCall call;
    call.id = id;
    if (key.size() == 4 && key.rfind("dpi", 0) == 0 && key[3] >= '1' && key[3] <= '9' && number) {
        call.method = DeviceMethod::SetDpiStage;
        call.first = key[3] - '0';
        call.second = *number;
    } else if (key.rfind("key", 0) == 0 && ParseInt(key.substr(3))) {
        call.method = DeviceMethod::SetKeyColour;
        call.first = *ParseInt(key.substr(3));
        const std::optional<uint32_t> rgb = [&]() -> std::optional<uint32_t> {
            std::string text = value[0] == '#' ? value.substr(1) : value;
            if (text.size() == 6 && text.find(',') == std::string::npos) {
                const std::optional<int32_t> hex = ParseInt("0x" + text);
                return hex ? std::optional<uint32_t>(uint32_t(*hex)) : std::nullopt;
            }
            int r = -1, g = -1, b = -1;
            char tail = 0;
            if (std::sscanf(value.c_str(), "%d,%d,%d%c", &r, &g, &b, &tail) == 3 && r >= 0 && r < 256 &&
                g >= 0 && g < 256 && b >= 0 && b < 256) {
                return uint32_t(r << 16 | g << 8 | b);
            }
            return std::nullopt;
        }();
        if (!rgb) {
            why = key + " takes a colour, #rrggbb or r,g,b";
            return false;
        }
        call.second = int32_t(*rgb);
    } else if ((key == "active-stage" || key == "report-rate") && number) {
        call.method = key == "active-stage" ? DeviceMethod::SetActiveStage : DeviceMethod::SetReportRate;
        call.first = *number;
    } else if (key == "profile") {
        call.method = DeviceMethod::SelectProfile;
        call.name = value;
    } else if (Contains(kOptionKeys, key) && (number || ParseBool(value))) {
        call.method = DeviceMethod::SetOption;
        call.name = key;
        call.first = number ? *number : (*ParseBool(value) ? 1 : 0);
    } else if (key == "equaliser-preset" && number) {
        call.method = DeviceMethod::SetEqualiser;
        call.fields = {{"preset", *number}};
    } else if (key == "equaliser-bands") {
        std::vector<int32_t> bands;
        for (size_t start = 0; start <= value.size();) {
            const size_t comma = std::min(value.find(',', start), value.size());
            const std::optional<int32_t> band = ParseInt(value.substr(start, comma - start));
            if (!band) {
                why = "equaliser-bands takes comma-separated integers";
                return false;
            }
            bands.push_back(*band);
            start = comma + 1;
        }
        call.method = DeviceMethod::SetEqualiser;
        call.fields = {{"bands", bands}};
    } else {
        why = "unknown setting or wrong value: " + key + "=" + value;
        return false;
    }
    calls.push_back(std::move(call));
    return true;
}

int Devices(DeviceBusClient& client, std::FILE* out, std::FILE* err) {
    DeviceCall call;
    call.method = DeviceMethod::ListDevices;
    const DeviceReply reply = client.Call(call);
    if (const int code = ExitFor(reply, "devices", err); code != kOk) {
        return code;
    }
    for (const DeviceListEntry& d : reply.devices) {
        const std::string battery = d.battery >= 0 ? std::to_string(d.battery) + "%" : "-";
        std::fprintf(out, "%-16s %-9s %-9s %-5s %s\n", d.id.c_str(), d.kind.c_str(), d.channel.c_str(),
                     battery.c_str(), d.model.c_str());
    }
    return kOk;
}

// Whether the server for other lighting programs runs, its port and its clients.
int Sdk(DeviceBusClient& client, std::FILE* out, std::FILE* err) {
    DeviceCall call;
    call.method = DeviceMethod::SdkStatus;
    const DeviceReply reply = client.Call(call);
    if (const int code = ExitFor(reply, "sdk", err); code != kOk) {
        return code;
    }
    const auto* running = std::get_if<bool>(FindBusValue(reply.settings, "running"));
    const auto* port = std::get_if<int32_t>(FindBusValue(reply.settings, "port"));
    const auto* error = std::get_if<std::string>(FindBusValue(reply.settings, "error"));
    const auto* clients = std::get_if<std::vector<std::string>>(FindBusValue(reply.settings, "clients"));
    if (running == nullptr || port == nullptr || error == nullptr || clients == nullptr) {
        std::fprintf(err, "velkorctl: sdk: the program's answer lacks the server's state\n");
        return kFailed;
    }
    if (!*running) {
        std::fprintf(out, "server: off%s%s\n", error->empty() ? "" : " (",
                     error->empty() ? "" : (*error + ")").c_str());
        return kOk;
    }
    std::fprintf(out, "server: on, port %d (127.0.0.1 and ::1)\nclients: %zu\n", *port, clients->size());
    for (const std::string& line : *clients) {
        std::fprintf(out, "  %s\n", line.c_str());
    }
    return kOk;
}

int Get(DeviceBusClient& client, const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    DeviceCall call;
    call.method = DeviceMethod::GetSettings;
    call.id = words[1];
    const DeviceReply reply = client.Call(call);
    if (const int code = ExitFor(reply, "get", err); code != kOk) {
        return code;
    }
    if (words.size() == 3) {
        const BusValue* value = FindBusValue(reply.settings, words[2]);
        if (value == nullptr) {
            std::fprintf(err, "velkorctl: %s has no setting %s\n", call.id.c_str(), words[2].c_str());
            return kUsage;
        }
        std::fprintf(out, "%s\n", ValueText(*value).c_str());
        return kOk;
    }
    for (const auto& [key, value] : reply.settings) {
        std::fprintf(out, "%s=%s\n", key.c_str(), ValueText(value).c_str());
    }
    return kOk;
}

int Set(DeviceBusClient& client, const std::vector<std::string>& words, std::FILE* err) {
    const std::string& id = words[1];
    std::vector<DeviceCall> calls;
    DeviceCall lighting;
    lighting.method = DeviceMethod::SetLighting;
    lighting.id = id;
    // Every word is understood before anything is sent.
    for (size_t i = 2; i < words.size(); ++i) {
        const size_t equals = words[i].find('=');
        std::string why;
        if (equals == std::string::npos || equals == 0 || equals + 1 == words[i].size()) {
            std::fprintf(err, "velkorctl: set takes KEY=VALUE, not %s\n", words[i].c_str());
            return kUsage;
        }
        if (!AddSetting(id, words[i].substr(0, equals), words[i].substr(equals + 1), calls, lighting, why)) {
            std::fprintf(err, "velkorctl: %s\n", why.c_str());
            return kUsage;
        }
    }
    if (!lighting.fields.empty()) {
        calls.insert(calls.begin(), lighting); // one call: the lighting changes together
    }
    for (const DeviceCall& call : calls) {
        if (const int code = ExitFor(client.Call(call), DeviceMethodName(call.method), err); code != kOk) {
            return code;
        }
    }
    return kOk;
}

int Monitor(DeviceBusClient& client, const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    int timeoutMs = -1;
    if (words.size() == 2) {
        const std::optional<int32_t> seconds = ParseInt(words[1]);
        if (!seconds || *seconds <= 0 || *seconds > 1'000'000) {
            std::fprintf(err, "velkorctl: SECONDS must be a positive whole number\n");
            return kUsage;
        }
        timeoutMs = *seconds * 1000;
    }
    std::string why;
    if (!client.Subscribe(why)) {
        std::fprintf(err, "velkorctl: %s\n", why.c_str());
        return kFailed;
    }
    // Says whether the program runs, after the subscription so that nothing is missed.
    DeviceCall ping;
    ping.method = DeviceMethod::ListDevices;
    if (const int code = ExitFor(client.Call(ping), "monitor", err); code != kOk) {
        return code;
    }
    std::fprintf(out, "watching (Ctrl-C ends)\n");
    std::fflush(out);
    const bool ended = client.WaitSignals(
        [&](const DeviceSignal& signal) {
            std::string line = signal.member + " " + signal.id;
            for (const auto& [key, value] : signal.changed) {
                line += " " + key + "=" + ValueText(value);
            }
            std::fprintf(out, "%s\n", line.c_str());
            std::fflush(out);
            return true;
        },
        timeoutMs);
    return ended || timeoutMs >= 0 ? kOk : kFailed;
}

// A kind word ("mouse") stands for the one attached device of that kind; with
// several of them it is ambiguous and their IDs are listed.
int ResolveKind(DeviceBusClient& client, std::string& id, std::FILE* err) {
    if (!Contains(kKindWords, id)) {
        return kOk;
    }
    DeviceCall call;
    call.method = DeviceMethod::ListDevices;
    const DeviceReply reply = client.Call(call);
    if (const int code = ExitFor(reply, "devices", err); code != kOk) {
        return code;
    }
    std::vector<std::string> ids;
    for (const DeviceListEntry& d : reply.devices) {
        if (d.kind == id) {
            ids.push_back(d.id);
        }
    }
    if (ids.empty()) {
        std::fprintf(err, "velkorctl: no %s is attached (velkorctl devices lists the devices)\n", id.c_str());
        return kNoDevice;
    }
    if (ids.size() > 1) {
        std::string listed;
        for (const std::string& each : ids) {
            listed += " " + each;
        }
        std::fprintf(err, "velkorctl: %zu devices of kind %s are attached; name one:%s\n", ids.size(),
                     id.c_str(), listed.c_str());
        return kUsage;
    }
    id = ids.front();
    return kOk;
}

int RunNamed(DeviceBusClient& client, const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    const std::string& command = words[0];
    if (command == "get") {
        return Get(client, words, out, err);
    }
    if (command == "set") {
        return Set(client, words, err);
    }
    if (command == "profile") {
        DeviceCall call;
        call.method = DeviceMethod::SelectProfile;
        call.id = words[1];
        call.name = words[2];
        return ExitFor(client.Call(call), "profile", err);
    }
    return -1;
}

} // namespace

int RunDeviceCommand(const std::vector<std::string>& words, const std::string& address, std::FILE* out,
                     std::FILE* err) {
    const std::string& command = words.empty() ? std::string() : words[0];
    const size_t n = words.size();
    const bool known = (command == "devices" && n == 1) || (command == "sdk" && n == 1) ||
                       (command == "get" && (n == 2 || n == 3)) || (command == "set" && n >= 3) ||
                       (command == "profile" && n == 3) || (command == "monitor" && n <= 2);
    if (!known) {
        return -1;
    }
    DeviceBusClient client(address);
    if (command == "devices") {
        return Devices(client, out, err);
    }
    if (command == "sdk") {
        return Sdk(client, out, err);
    }
    if (command == "get" || command == "set" || command == "profile") {
        std::vector<std::string> named = words;
        if (const int code = ResolveKind(client, named[1], err); code != kOk) {
            return code;
        }
        return RunNamed(client, named, out, err);
    }
    return Monitor(client, words, out, err);
}

void PrintDeviceCommandUsage(std::FILE* out) {
    std::fputs("commands on the running program's devices (velkor, or velkor --headless):\n"
               "  devices                   the attached devices: ID, kind, channel, battery, model\n"
               "  get ID [KEY]              the device's settings as KEY=VALUE lines, or one value\n"
               "                            (ID may be a kind: keyboard, mouse, mousepad or headset,\n"
               "                            when exactly one device of that kind is attached)\n"
               "  set ID KEY=VALUE...       change settings as the page's controls do:\n"
               "                            effect=NAME|N brightness=0..4 speed=0..4 direction=left|right\n"
               "                            colour=#rrggbb|r,g,b colourful=true|false keyN=#rrggbb (custom\n"
               "                            effect) dpiN=DPI active-stage=N report-rate=HZ profile=NAME\n"
               "                            win-lock= w-key= six-key= repeat-delay= repeat-rate=\n"
               "                            equaliser-preset=N equaliser-bands=B1,...,B10\n"
               "  profile ID NAME           select the profile NAME\n"
               "  monitor [SECONDS]         print setting changes and devices coming and going\n"
               "  sdk                       whether other lighting programs can reach the devices\n"
               "                            (OpenRGB SDK server): its port and its clients\n"
               "  (exit codes: 1 the device or program failed, 2 usage or refused value, 3 no such device)\n"
               "\n",
               out);
}

} // namespace velkor
