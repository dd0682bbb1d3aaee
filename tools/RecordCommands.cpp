#include "tools/RecordCommands.h"
#include "tools/ExitCodes.h"
#include "tools/InputCommands.h"

#include "macros/MacroFiles.h"
#include "macros/MacroRecorder.h"
#include "platform/JsonFileHelper.h"
#include "platform/input/EvdevInputHook.h"
#include "ui/Dispatcher.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace velkor {
namespace {

using namespace exitcode;
constexpr int kNoInput = kNotFound;
constexpr double kDefaultSeconds = 10;

struct RecordArguments {
    std::string file;
    MacroRecorder::Options options;
    long count = 0; // 0: until the time is up
    double seconds = kDefaultSeconds;
};

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool ParseWhole(const std::string& text, long low, long high, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && end != text.c_str() && *end == '\0' && value >= low && value <= high;
}

bool ParseArguments(const std::vector<std::string>& words, RecordArguments& arguments) {
    if (words.size() < 3 || words[2].empty() || words[2].rfind("--", 0) == 0) {
        return false;
    }
    arguments.file = words[2];
    for (size_t i = 3; i < words.size(); i += 2) {
        if (i + 1 >= words.size()) {
            return false;
        }
        const std::string& value = words[i + 1];
        long number = 0;
        if (words[i] == "--delay") {
            if (value == "measured") {
                arguments.options.delayMode = RecordDelayMode::Measured;
            } else if (value == "none") {
                arguments.options.delayMode = RecordDelayMode::None;
            } else if (ParseWhole(value, 0, kMaxMacroDelay, number)) {
                arguments.options.delayMode = RecordDelayMode::Fixed;
                arguments.options.fixedDelayMs = int(number);
            } else {
                return false;
            }
        } else if (words[i] == "--count" && ParseWhole(value, 1, 1000000, number)) {
            arguments.count = number;
        } else if (words[i] == "--seconds") {
            char* end = nullptr;
            arguments.seconds = std::strtod(value.c_str(), &end);
            if (end == value.c_str() || *end != '\0' || !(arguments.seconds > 0) || arguments.seconds > 1e6) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

// Records until `count` reports came or the time is up; false when no node can be read.
bool Record(const RecordArguments& arguments, MacroEventRows& rows, std::FILE* err) {
    std::mutex mutex;
    std::condition_variable woken;
    bool wake = false;
    ui::Dispatcher dispatcher([&] {
        std::lock_guard lock(mutex);
        wake = true;
        woken.notify_one();
    });
    MacroRecorder recorder;
    MacroRecorder::Options options = arguments.options;
    options.placement = RecordPlacement::Append;
    options.startMs = SteadyMs();
    recorder.Start(options);
    long reports = 0;
    EvdevInputHook hook(dispatcher);
    EvdevHookOptions hookOptions;
    hookOptions.swallowKeys = false; // a tool in a terminal never takes the keys away
    const EvdevServes serves = hook.Start(hookOptions, [&](const InputReport& report) {
        if (arguments.count > 0 && reports >= arguments.count) {
            return;
        }
        ++reports;
        const auto kind =
            report.kind == InputReport::Kind::Key ? ui::InputPress::Kind::Key : ui::InputPress::Kind::Button;
        const ui::InputPress press{kind, report.code, report.down, report.timeUs / 1000};
        if (recorder.Take(press, rows, SteadyMs()) == RecordResult::ListFull) {
            std::fputs("velkorctl: the macro holds the most events it can\n", err);
        }
    });
    if (!serves.keys && !serves.buttons) {
        PrintUnreadableInputCause(hook.Nodes(), true, err);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(arguments.seconds);
    while ((arguments.count == 0 || reports < arguments.count) &&
           std::chrono::steady_clock::now() < deadline) {
        {
            std::unique_lock lock(mutex);
            woken.wait_for(lock, std::chrono::milliseconds(50), [&] { return wake; });
            wake = false;
        }
        dispatcher.ProcessPending();
    }
    hook.Stop();
    dispatcher.ProcessPending();
    recorder.Stop(rows);
    if (arguments.count > 0 && reports < arguments.count) {
        std::fprintf(err, "velkorctl: %ld of %ld reports within %g seconds\n", reports, arguments.count,
                     arguments.seconds);
    }
    return true;
}

} // namespace

int RunMacroRecordCommand(const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    if (words.size() < 2 || words[0] != "macro" || words[1] != "record") {
        return kNotThisCommand;
    }
    RecordArguments arguments;
    if (!ParseArguments(words, arguments)) {
        std::fputs("velkorctl: wrong arguments for macro record\n", err);
        PrintMacroRecordUsage(err);
        return kUsage;
    }
    MacroEventRows rows;
    if (!Record(arguments, rows, err)) {
        return kNoInput;
    }
    if (rows.Events().empty()) {
        std::fputs("velkorctl: nothing was recorded; no file written\n", err);
        return kFailed;
    }
    Json::Value events(Json::arrayValue);
    for (Json::Value event : rows.Events()) {
        event["Delay"] = NormaliseDelayText(RawDelayText(event)); // as a save stores it
        events.append(event);
    }
    CJsonFileHelper json;
    const std::string name = std::filesystem::path(arguments.file).stem().string();
    if (!json.WriteJsonFile(MakeMacroDocument(name, json.MakeTimeStamp(), events), arguments.file)) {
        std::fprintf(err, "velkorctl: %s could not be written\n", arguments.file.c_str());
        return kFailed;
    }
    std::fprintf(out, "%zu events written to %s\n", rows.Events().size(), arguments.file.c_str());
    return kOk;
}

void PrintMacroRecordUsage(std::FILE* out) {
    std::fputs("  macro record FILE [--delay measured|none|MS] [--count N] [--seconds S]\n"
               "                            record presses into a macro file (importable), never keeping\n"
               "                            them from other programs; stop after N reports or S seconds\n"
               "                            (default 10)\n",
               out);
}

} // namespace velkor
