#include "tools/BusCommands.h"
#include "tools/ExitCodes.h"

#include "platform/bus/DbusMessageBus.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>

namespace velkor {
namespace {

using namespace exitcode;

std::optional<int32_t> ParseInt32(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < INT32_MIN || value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

std::optional<BusMessageKind> GameEventKind(const std::string& word) {
    if (word == "start") {
        return BusMessageKind::GameStart;
    }
    if (word == "end") {
        return BusMessageKind::GameEnd;
    }
    if (word == "kill") {
        return BusMessageKind::GameKill;
    }
    if (word == "death") {
        return BusMessageKind::GameDeath;
    }
    return std::nullopt;
}

bool IsBusCommand(const std::vector<std::string>& words) {
    return !words.empty() && (words[0] == "raise" || words[0] == "lighting" || words[0] == "game-event");
}

int Usage(std::FILE* err, const char* problem) {
    std::fprintf(err, "velkorctl: %s\n", problem);
    PrintBusCommandUsage(err);
    return kUsage;
}

int Deliver(MessageBus& bus, const BusMessage& message, std::FILE* err) {
    const BusSendResult result = bus.Send(message);
    switch (result.status) {
    case BusSendStatus::Delivered:
        return kOk;
    case BusSendStatus::NoInstance:
        std::fprintf(err, "velkorctl: the configuration centre is not running\n");
        return kFailed;
    case BusSendStatus::NoBus:
        std::fprintf(err, "velkorctl: no session bus: %s\n", result.error.c_str());
        return kFailed;
    case BusSendStatus::Refused:
    case BusSendStatus::Failed:
    case BusSendStatus::Busy:
        break;
    }
    std::fprintf(err, "velkorctl: %s was %s: %s\n", BusMessageInfoOf(message.kind).member,
                 BusSendStatusName(result.status), result.error.c_str());
    return kFailed;
}

} // namespace

void PrintBusCommandUsage(std::FILE* out) {
    std::fputs("  raise                     bring the configuration centre's window to the front\n"
               "  lighting release|take     ask it to stop or resume controlling the lighting\n"
               "  game-event start|end|kill|death KIND MODE\n"
               "                            report a game event (KIND 0..2 shows lighting mode MODE\n"
               "                            for five seconds)\n",
               out);
}

int RunBusCommand(const std::vector<std::string>& words, MessageBus& bus, std::FILE* err) {
    if (!IsBusCommand(words)) {
        return kNotThisCommand;
    }
    const std::string& command = words[0];
    if (command == "raise") {
        if (words.size() != 1) {
            return Usage(err, "raise takes no arguments");
        }
        // What a second start of the program sends.
        return Deliver(bus, MakeBusMessage(BusMessageKind::Announce, 0, 1), err);
    }
    if (command == "lighting") {
        if (words.size() != 2 || (words[1] != "release" && words[1] != "take")) {
            return Usage(err, "lighting takes release or take");
        }
        const int32_t control = words[1] == "take" ? 1 : 0;
        return Deliver(bus, MakeBusMessage(BusMessageKind::LightingControlRequest, 1, control), err);
    }
    if (command == "game-event") {
        const std::optional<BusMessageKind> kind =
            words.size() == 4 ? GameEventKind(words[1]) : std::optional<BusMessageKind>();
        const std::optional<int32_t> eventKind = words.size() == 4 ? ParseInt32(words[2]) : std::nullopt;
        const std::optional<int32_t> mode = words.size() == 4 ? ParseInt32(words[3]) : std::nullopt;
        if (!kind || !eventKind || !mode) {
            return Usage(err,
                         "game-event takes start, end, kill or death and two 32-bit integers KIND and MODE");
        }
        return Deliver(bus, MakeBusMessage(*kind, *eventKind, *mode), err);
    }
    return kNotThisCommand; // unreachable while IsBusCommand lists exactly the commands above
}

int RunBusCommand(const std::vector<std::string>& words) {
    if (!IsBusCommand(words)) {
        return kNotThisCommand; // decided before any connection is made
    }
    DbusMessageBus bus;
    // A program that is not running is started through its bus service file.
    bus.SetStartProgram(true);
    return RunBusCommand(words, bus, stderr);
}

} // namespace velkor
