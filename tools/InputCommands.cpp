#include "tools/InputCommands.h"
#include "tools/ExitCodes.h"

#include "keys/EvdevKeys.h"
#include "keys/KeyFunction.h"
#include "platform/input/EvdevInputHook.h"
#include "ui/Dispatcher.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace velkor {
namespace {

using namespace exitcode;
constexpr int kNoKeyboard = kNotFound;

constexpr std::pair<std::uint8_t, const char*> kButtonNames[] = {
    {kMouseLeft, "mouse_key_left"},   {kMouseRight, "mouse_key_right"},   {kMouseMiddle, "mouse_key_middle"},
    {kMouseFourth, "mouse_key_back"}, {kMouseFifth, "mouse_key_forward"},
};

const char* KindName(const InputNodeInfo& node) {
    return node.keyboard && node.mouse ? "keyboard+mouse" : node.keyboard ? "keyboard" : "mouse";
}

int List(std::FILE* out, std::FILE* err) {
    std::vector<InputNodeInfo> nodes;
    if (!ListInputNodes(nodes)) {
        std::fputs("velkorctl: udev cannot list the input nodes\n", err);
    }
    bool keyboard = false;
    for (const InputNodeInfo& node : nodes) {
        std::fprintf(out, "%-14s %-20s \"%s\"  %s%s\n", KindName(node), node.devnode.c_str(),
                     node.name.c_str(),
                     node.readable ? "readable" : "not readable: ", node.readable ? "" : node.reason.c_str());
        keyboard = keyboard || (node.keyboard && node.readable);
    }
    if (nodes.empty()) {
        std::fputs("no keyboard or mouse under /dev/input\n", out);
    }
    if (!keyboard) {
        PrintUnreadableInputCause(nodes, false, err);
        return kNoKeyboard;
    }
    return kOk;
}

// The name key of a report: a key-table row of a pressed key (rows 0..112), or a mouse button's.
const char* NameKey(const InputReport& report) {
    if (report.kind == InputReport::Kind::Button) {
        for (const auto& [bit, name] : kButtonNames) {
            if (report.button == bit) {
                return name;
            }
        }
        return "-";
    }
    const KeyTableRow* row = KeyRowAt(FindKeyByEvdevCode(report.code));
    return row != nullptr ? row->nameKey.data() : "-";
}

bool ParseCount(const std::string& text, long& count) {
    char* end = nullptr;
    errno = 0;
    count = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && end != text.c_str() && *end == '\0' && count > 0 && count <= 1'000'000;
}

int Watch(long count, double seconds, std::FILE* out, std::FILE* err) {
    std::mutex mutex;
    std::condition_variable woken;
    bool wake = false;
    ui::Dispatcher dispatcher([&] {
        std::lock_guard lock(mutex);
        wake = true;
        woken.notify_one();
    });
    long printed = 0;
    std::int64_t previousUs = -1;
    EvdevInputHook hook(dispatcher);
    EvdevHookOptions options;
    options.swallowKeys = false;
    const EvdevServes serves = hook.Start(options, [&](const InputReport& report) {
        if (printed >= count) {
            return;
        }
        const long long ms = previousUs < 0 ? 0 : (report.timeUs - previousUs + 500) / 1000;
        previousUs = report.timeUs;
        std::fprintf(out, "%lld %s %s %s\n", ms, report.kind == InputReport::Kind::Key ? "key" : "button",
                     report.down ? "down" : "up", NameKey(report));
        std::fflush(out);
        ++printed;
    });
    if (!serves.keys) {
        PrintUnreadableInputCause(hook.Nodes(), false, err);
        if (!serves.buttons) {
            return kNoKeyboard;
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (printed < count && (seconds <= 0 || std::chrono::steady_clock::now() < deadline)) {
        {
            std::unique_lock lock(mutex);
            woken.wait_for(lock, std::chrono::milliseconds(100), [&] { return wake; });
            wake = false;
        }
        dispatcher.ProcessPending();
    }
    hook.Stop();
    if (printed < count) {
        std::fprintf(err, "velkorctl: %ld of %ld reports within %g seconds\n", printed, count, seconds);
        return kFailed;
    }
    return kOk;
}

} // namespace

void PrintUnreadableInputCause(const std::vector<InputNodeInfo>& nodes, bool orMouse, std::FILE* err) {
    for (const std::string& line : UnreadableInputCause(nodes, orMouse)) {
        std::fprintf(err, "velkorctl: %s\n", line.c_str());
    }
}

int RunInputCommand(const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    if (words.empty() || words[0] != "input") {
        return kNotThisCommand;
    }
    if (words.size() == 1) {
        return List(out, err);
    }
    long count = 0;
    double seconds = 0;
    bool watch = false;
    for (size_t i = 1; i < words.size(); ++i) {
        const bool hasValue = i + 1 < words.size();
        if (words[i] == "--watch" && hasValue && ParseCount(words[i + 1], count)) {
            watch = true;
        } else if (words[i] == "--seconds" && hasValue) {
            char* end = nullptr;
            seconds = std::strtod(words[i + 1].c_str(), &end);
            if (end == words[i + 1].c_str() || *end != '\0' || !(seconds > 0) || seconds > 1e6) {
                watch = false;
                break;
            }
        } else {
            watch = false;
            break;
        }
        ++i;
    }
    if (!watch) {
        std::fputs("velkorctl: input takes --watch N (1 to 1000000) and --seconds S (positive)\n", err);
        PrintInputCommandUsage(err);
        return kUsage;
    }
    return Watch(count, seconds, out, err);
}

void PrintInputCommandUsage(std::FILE* out) {
    std::fputs("  input                     the keyboards and mice under /dev/input, readable or why not\n"
               "  input --watch N [--seconds S]\n"
               "                            print N key and button presses and releases (never keeps\n"
               "                            them from other programs), or stop after S seconds\n",
               out);
}

} // namespace velkor
