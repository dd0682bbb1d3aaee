// A profile file survives the process dying at any point of a save, and a
// save that fails midway (full disk) leaves the previous profile loadable.
#include "profiles/KeyboardProfiledata.h"

#include "ProfileTestSupport.h"

#include <gtest/gtest.h>

#include "platform/AtomicFile.h"

#include <csignal>
#include <filesystem>

#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velkor {
namespace {

using test::ParseRaw;
using test::ReadRaw;
using test::TempFolder;

constexpr int kKeyCount = 170;

// Writes a save whose every part is derived from `n`, so a file mixing two
// saves is recognisable.
void ApplyMarker(CKeyboardProfiledata& data, int32_t n) {
    LightInfoRecord light;
    light.selectItem = static_cast<uint8_t>(n);
    light.red = static_cast<uint8_t>(n >> 8);
    data.WriteLightInfo(light);
    std::vector<KeyListEntry> keys(kKeyCount);
    for (int i = 0; i < kKeyCount; ++i) {
        keys[i].current = *KeyFunction::FromKeyListValue((n + i) & 0xFFFFFF, static_cast<uint16_t>(i));
    }
    data.WriteKeyList(keys);
    data.WriteCustomColors(0, std::vector<RgbaColour>(kKeyCount, RgbaColour{uint8_t(n), 0, 0, 255}));
    data.WriteCustomGroupIndex(n);
}

// True when `root` is exactly the save with some marker n (returned).
bool HoldsOneWholeSave(const Json::Value& root, int32_t& n) {
    if (!root.isObject() || root["profilename"].asString() != "Crash") {
        return false;
    }
    const Json::Value& profile = root["Device"][0];
    n = profile["CustomLightMode"]["CustomLightModeGroupIndex"].asInt();
    if (profile["LightInfo"]["SelectItem"].asInt() != (n & 0xFF) ||
        profile["LightInfo"]["Red"].asInt() != ((n >> 8) & 0xFF) || profile["KeyList"].size() != kKeyCount ||
        profile["CustomLightMode"]["LightColorInfo"][0].size() != kKeyCount) {
        return false;
    }
    for (int i = 0; i < kKeyCount; ++i) {
        if (profile["KeyList"][i]["Assignment"].asInt() != ((n + i) & 0xFFFFFF) ||
            profile["CustomLightMode"]["LightColorInfo"][0][i]["Red"].asInt() != (n & 0xFF)) {
            return false;
        }
    }
    return true;
}

// The child: continues from the marker on disk and saves until it is killed.
[[noreturn]] void SaveUntilKilled(const std::string& path, int readyFd) {
    CKeyboardProfiledata data;
    data.SetProfilePath(path);
    data.LoadProfile(path);
    int32_t n = data.ReadCustomGroupIndex();
    bool announced = false;
    for (;;) {
        ApplyMarker(data, ++n);
        if (!data.SaveProfile()) {
            ::_exit(3);
        }
        if (!announced) {
            announced = ::write(readyFd, "r", 1) == 1;
        }
    }
}

TEST(CrashSafety, ProfileOnDiskIsAlwaysOneWholeSaveAcrossKills) {
    TempFolder folder;
    const std::string path = folder.Path("2023_07_04_09_05_03_042.Json");
    {
        CKeyboardProfiledata seed;
        ApplyMarker(seed, 0);
        Json::Value root(Json::objectValue);
        root["profilename"] = "Crash";
        root["Device"][0] = seed.ActiveDocument();
        ASSERT_TRUE(seed.WriteDocument(root, path));
    }

    int32_t last = 0;
    for (int kill = 0; kill < 30; ++kill) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(fds[0]);
            SaveUntilKilled(path, fds[1]);
        }
        ::close(fds[1]);
        pollfd ready{fds[0], POLLIN, 0};
        const bool started = ::poll(&ready, 1, 10000) == 1;
        // Spread the kills over the phases of a save (serialise, write, sync, rename).
        ::usleep(static_cast<useconds_t>((kill * 733) % 4000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(fds[0]);
        ASSERT_TRUE(started) << "child did not save (exit status " << status << ")";
        ASSERT_TRUE(WIFSIGNALED(status)) << "child ended by itself, status " << status;

        int32_t n = -1;
        ASSERT_TRUE(HoldsOneWholeSave(ParseRaw(ReadRaw(path)), n)) << "after kill " << kill;
        EXPECT_GE(n, last + 1) << "a later save was lost";
        last = n;

        CKeyboardProfiledata reader;
        reader.LoadProfile(path);
        EXPECT_EQ(reader.ReadCustomGroupIndex(), n);
    }

    // The kills left temporary files beside the profile: they go at the
    // next start, and only they (fresh ones stay while another may write).
    size_t left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        left += entry.path().filename().string().starts_with(".2023_07_04_09_05_03_042.Json.tmp-");
    }
    EXPECT_EQ(RemoveAbandonedTemporaries(folder.Path(), std::chrono::seconds(60)), 0u);
    EXPECT_EQ(RemoveAbandonedTemporaries(folder.Path()), left);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
    int32_t n = -1;
    EXPECT_TRUE(HoldsOneWholeSave(ParseRaw(ReadRaw(path)), n));
}

TEST(CrashSafety, SaveFailingMidwayKeepsTheOldProfileLoadable) {
    TempFolder folder;
    const std::string path = folder.Path("p.Json");
    CKeyboardProfiledata data;
    data.SetProfilePath(path);
    ApplyMarker(data, 5);
    Json::Value root(Json::objectValue);
    root["profilename"] = "Crash";
    root["Device"][0] = data.ActiveDocument();
    ASSERT_TRUE(data.WriteDocument(root, path));
    const std::string before = ReadRaw(path);

    ApplyMarker(data, 6);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = before.size() / 3;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool saved = data.SaveProfile();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadRaw(path), before);
    CKeyboardProfiledata reader;
    reader.LoadProfile(path);
    EXPECT_EQ(reader.ReadCustomGroupIndex(), 5);
    EXPECT_EQ(reader.ReadLightInfo().selectItem, 5);
}

} // namespace
} // namespace velkor
