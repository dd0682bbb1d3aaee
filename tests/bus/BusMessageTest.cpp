// The message table and the rules every bus applies before a message is sent or delivered.
#include "platform/bus/BusMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velkor {
namespace {

TEST(BusMessageTable, UnknownMembersAndKindsAreHandledSafely) {
    EXPECT_EQ(FindBusMessage(""), nullptr);
    EXPECT_EQ(FindBusMessage("gamestart"), nullptr); // members are case-sensitive on D-Bus
    EXPECT_EQ(FindBusMessage("GameStart2"), nullptr);
    // A value outside the enumeration must not index past the table.
    EXPECT_EQ(BusMessageInfoOf(static_cast<BusMessageKind>(200)).kind, BusMessageKind::Announce);
}

struct LimitCase {
    BusMessageKind kind;
    uint32_t id;
    size_t limit;
};

TEST(CopyDataLimits, EachIdTakesUpToItsBufferAndNotOneByteMore) {
    const LimitCase cases[] = {
        {BusMessageKind::CopyData, kCopyDataAudioFrame, 2000},
        {BusMessageKind::CopyData, kCopyDataAudioBands, 24},
        {BusMessageKind::AudioToolData, kCopyDataToolLink, 1024},
        {BusMessageKind::AudioToolData, kCopyDataToolStyle, 40},
    };
    for (const LimitCase& c : cases) {
        std::string why;
        EXPECT_EQ(CopyDataLimit(c.kind, c.id), c.limit);
        EXPECT_TRUE(CheckCopyData(c.kind, c.id, 1, why)) << why;
        EXPECT_TRUE(CheckCopyData(c.kind, c.id, c.limit, why)) << why;
        EXPECT_FALSE(CheckCopyData(c.kind, c.id, c.limit + 1, why)) << c.id;
        EXPECT_NE(why.find(std::to_string(c.limit)), std::string::npos) << why;
        EXPECT_FALSE(CheckCopyData(c.kind, c.id, 0, why)) << "no bytes, id " << c.id;
    }
}

TEST(CopyDataLimits, IdsOfTheOtherDirectionAndUnknownIdsAreNotAccepted) {
    std::string why;
    // The program takes ids 1 and 2 only; it sends ids 5 and 10 only.
    for (uint32_t id : {0u, 3u, 5u, 10u, 0xFFFFFFFFu}) {
        EXPECT_EQ(CopyDataLimit(BusMessageKind::CopyData, id), 0u) << id;
        EXPECT_FALSE(CheckCopyData(BusMessageKind::CopyData, id, 4, why)) << id;
    }
    for (uint32_t id : {0u, 1u, 2u, 11u}) {
        EXPECT_EQ(CopyDataLimit(BusMessageKind::AudioToolData, id), 0u) << id;
    }
    EXPECT_EQ(CopyDataLimit(BusMessageKind::GameStart, 1), 0u);
}

TEST(ValidateBusMessage, AcceptsWellFormedMessages) {
    std::string why;
    EXPECT_TRUE(ValidateBusMessage(MakeBusMessage(BusMessageKind::GameKill, -5, 0x7FFFFFFF), why)) << why;
    const std::vector<uint8_t> frame(2000, 0xAB);
    EXPECT_TRUE(ValidateBusMessage(MakeCopyData(BusMessageKind::CopyData, 1, frame), why)) << why;
}

TEST(ValidateBusMessage, RefusesBytesOnMessagesThatCarryNoneAndUnknownKinds) {
    std::string why;
    BusMessage unknown;
    unknown.kind = static_cast<BusMessageKind>(77);
    EXPECT_FALSE(ValidateBusMessage(unknown, why));
    BusMessage message = MakeBusMessage(BusMessageKind::Announce, 0, 1);
    message.data = {1, 2, 3};
    EXPECT_FALSE(ValidateBusMessage(message, why));
    message.data.clear();
    message.copyDataId = 1;
    EXPECT_FALSE(ValidateBusMessage(message, why));
}

} // namespace
} // namespace velkor
