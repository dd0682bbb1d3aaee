// Recoil files: the bullet model over the JSON document, and the block the
// mouse's recoil memory takes, read back with the simulated firmware's reader.
#include "macros/RecoilFiles.h"
#include "MacroTestSupport.h"
#include "macros/EventBlock.h"
#include "sim/SimMacroMemory.h"

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

Json::Value IntEvent(const char* action, int type, int button, int delay) {
    Json::Value event;
    event["Action"] = action;
    event["Type"] = type;
    event["Button"] = button;
    event["Delay"] = delay;
    return event;
}

// A document of `bullets` bullets (bullet b: b right, b + 1 down, 10 b ms) and a member of its own.
Json::Value Pattern(int bullets) {
    Json::Value document;
    document["Name"] = "ours";
    for (int b = 0; b < bullets; ++b) {
        WriteRecoilBullet(document, b, {b, b + 1, 10 * b, false, false});
    }
    return document;
}

TEST(RecoilFiles, SavingABulletWritesItsSixEventsAndNothingElse) {
    Json::Value document = Pattern(kRecoilBulletCount);
    document["Events"][Json::ArrayIndex(40)]["Extra"] = 7; // another bullet's own member
    const Json::Value before = document;

    WriteRecoilBullet(document, 2, {3, 12, 95, true, false});

    const Json::Value expected[] = {IntEvent("down", 1, 1, 10), IntEvent("up", 1, 1, 0),
                                    IntEvent("down", 4, 3, 5),  IntEvent("up", 5, 12, 95),
                                    IntEvent("down", 4, 0, 0),  IntEvent("up", 5, 0, 0)};
    ASSERT_EQ(document["Events"].size(), before["Events"].size());
    for (Json::ArrayIndex i = 0; i < document["Events"].size(); ++i) {
        if (i >= 12 && i < 18) {
            EXPECT_EQ(document["Events"][i], expected[i - 12]) << i;
        } else {
            EXPECT_EQ(document["Events"][i], before["Events"][i]) << i;
        }
    }
    EXPECT_EQ(document["Name"], "ours");
    EXPECT_EQ(ReadRecoilBullet(document, 2), (RecoilBullet{3, 12, 95, true, false}));
}

struct BulletCase {
    const char* name;
    RecoilBullet written;
    RecoilBullet read;
};

class RecoilBulletRange : public ::testing::TestWithParam<BulletCase> {};

// What the mouse cannot hold is limited when written, not wrapped when sent.
TEST_P(RecoilBulletRange, WritesOnlyWhatTheMouseCanHold) {
    Json::Value document;
    WriteRecoilBullet(document, 29, GetParam().written);
    EXPECT_EQ(document["Events"].size(), 180u);
    EXPECT_TRUE(document["Events"][Json::ArrayIndex(0)].isNull());
    EXPECT_EQ(ReadRecoilBullet(document, 29), GetParam().read);
    const auto events = EncodeEvents(document["Events"]);
    EXPECT_EQ(events[176][3], uint8_t(GetParam().read.horizontal));
    EXPECT_EQ(events[177][0] | (events[177][1] << 8), GetParam().read.delay);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RecoilBulletRange,
    ::testing::Values(BulletCase{"in_range", {255, 0, 65535, true, true}, {255, 0, 65535, true, true}},
                      BulletCase{"distance_300", {300, 2, 1, false, true}, {255, 2, 1, false, true}},
                      BulletCase{"negative", {-5, -1, -3, true, false}, {0, 0, 0, true, false}},
                      BulletCase{"delay_70000", {1, 1, 70000, false, false}, {1, 1, 65535, false, false}}),
    [](const auto& info) { return std::string(info.param.name); });

// Members of other types (a file from elsewhere) show as 0 and "up".
TEST(RecoilFiles, MembersOfOtherTypesReadAsZeroAndUp) {
    Json::Value document;
    Json::Value& events = document["Events"];
    events[Json::ArrayIndex(2)]["Action"] = Json::Value(Json::objectValue);
    events[Json::ArrayIndex(2)]["Button"] = "12";
    events[Json::ArrayIndex(3)]["Action"] = "DOWN";
    events[Json::ArrayIndex(3)]["Button"] = Json::Value(Json::arrayValue);
    events[Json::ArrayIndex(3)]["Delay"] = true;
    EXPECT_EQ(ReadRecoilBullet(document, 0), (RecoilBullet{0, 0, 0, false, true}));
    EXPECT_EQ(ReadRecoilBullet(ParseText("[1,2]"), 0), RecoilBullet{});
    EXPECT_EQ(ReadRecoilBullet(ParseText("{\"Events\":\"x\"}"), 0), RecoilBullet{});
}

TEST(RecoilFiles, BlockHoldsTheFourFilesInGunOrder) {
    TempFolder folder;
    const CJsonFileHelper json;
    // No file at all: four empty records.
    const RecoilBlock empty = BuildRecoilBlock(folder.Path(), json);
    ASSERT_TRUE(empty.Ok());
    const std::vector<uint8_t> expectedEmpty = {0xAA, 0x55, 40, 0, 4,  0, 0,  0, 0,  0, 0, 0, 0, 0,
                                                0,    0,    24, 0, 28, 0, 32, 0, 36, 0, 0, 0, 0, 0,
                                                0,    0,    0,  0, 0,  0, 0,  0, 0,  0, 0, 0};
    EXPECT_EQ(empty.block, expectedEmpty);

    // Gun 0 full, gun 1 missing, gun 2 not JSON, gun 3 a few bullets.
    WriteJson(folder.File(RecoilFileName(0)), Pattern(kRecoilBulletCount));
    WriteBytes(folder.File(RecoilFileName(2)), "\x89PNG");
    WriteJson(folder.File(RecoilFileName(3)), Pattern(3));
    const RecoilBlock full = BuildRecoilBlock(folder.Path(), json);
    ASSERT_TRUE(full.Ok());
    EXPECT_EQ(full.block.size(), 16 + 6 * 4 + 4 * (180 + 18));
    const auto records = sim::ReadSimEventBlock(full.block);
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 4u);
    EXPECT_EQ((*records)[0], EncodeEvents(Pattern(kRecoilBulletCount)["Events"]));
    EXPECT_TRUE((*records)[1].empty());
    EXPECT_TRUE((*records)[2].empty());
    EXPECT_EQ((*records)[3], EncodeEvents(Pattern(3)["Events"]));

    // One event more than 30 bullets: refused, naming the gun.
    Json::Value tooLong = Pattern(kRecoilBulletCount);
    tooLong["Events"].append(IntEvent("up", 1, 1, 0));
    WriteJson(folder.File(RecoilFileName(3)), tooLong);
    const RecoilBlock refused = BuildRecoilBlock(folder.Path(), json);
    EXPECT_FALSE(refused.Ok());
    EXPECT_EQ(refused.oversizedGun, 3);
}

} // namespace
} // namespace velkor::test
