// The model and page tables, the path look-up and the slot list's rules.
#include "devices/SlotList.h"
#include "transport/HidBackend.h"

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

TEST(DeviceTables, ModelsAreFoundByVendorProductClassAndVariant) {
    EXPECT_EQ(FindModel(0x320F, 0x7070, 2, 0), 0);
    EXPECT_EQ(FindModel(0x0C76, 0x1630, 7, 0), 3);
    EXPECT_EQ(FindModel(0x320F, 0x511D, 1, 0), 4);
    // A receiver has no model of its own: it is found through its cable partner.
    EXPECT_EQ(FindModel(0x320F, 0x221D, 2, 0), -1);
    EXPECT_EQ(FindModel(0x320F, 0x7070, ClassKindOf(DeviceKind::MouseReceiver), 0), 0);
    EXPECT_EQ(FindModel(0x320F, 0x7070, 2, 1), -1);
    EXPECT_TRUE(DevicePageTable()[0].battery);
    EXPECT_STREQ(DevicePageTable()[4].pageLayout, DevicePageTable()[1].pageLayout);
}

TEST(DeviceTables, APathGivesTheRowItCanFill) {
    const std::string mouse = "sim:mouse#VID_320F&pid_7070&MI_01&col04";
    EXPECT_EQ(FindPathRow(PathVendorId(mouse), PathProductId(mouse), PathInterfaceNumber(mouse),
                          PathCollectionNumber(mouse)),
              4);
    // Without "&col" only the headset's row matches.
    const std::string headset = "hidraw:/dev/hidraw2#vid_0c76&pid_1630&mi_03";
    EXPECT_EQ(FindPathRow(0x0C76, 0x1630, PathInterfaceNumber(headset), PathCollectionNumber(headset)), 10);
    EXPECT_EQ(FindPathRow(0x320F, 0x7070, 1, 0), -1);
}

TEST(SlotListRules, OneSlotPerRowIsClaimedUntilReleased) {
    SlotList slots;
    const SupportedDevice& mouse = SupportedDeviceTable()[4];
    EXPECT_EQ(slots.Claim(mouse, ""), -1) << "a claim needs a path";
    EXPECT_EQ(slots.Claim(mouse, "first"), 4);
    EXPECT_EQ(slots.Claim(mouse, "second"), -1) << "a second identical mouse";
    EXPECT_FALSE(slots.HasAbsentSlot(0x320F, 0x7070, 1, 4));
    EXPECT_TRUE(slots.Release(4));
    EXPECT_FALSE(slots.Release(4));
    EXPECT_FALSE(slots.Release(13));
    EXPECT_FALSE(slots.At(-1).has_value());
    EXPECT_EQ(slots.Claim(mouse, "second"), 4);
    EXPECT_EQ(slots.At(4)->path, "second");
}

TEST(SlotListRules, OnlyAMutualPartnerCounts) {
    SlotList slots;
    slots.Claim(SupportedDeviceTable()[2], "receiver");
    EXPECT_TRUE(slots.PartnerPresent(0)) << "0x50B7 and its receiver name each other";
    EXPECT_FALSE(slots.PartnerPresent(11)) << "the receiver does not name 0x511D back";
    EXPECT_FALSE(slots.PartnerPresent(2)) << "0x50B7 itself is absent";
}

} // namespace
} // namespace velkor::test
