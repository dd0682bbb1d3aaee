// The model descriptions and what is derived from them: the supported-device
// table, the look-ups, the slot list's rules, and the checks that catch a
// broken description.
#include "devices/SlotList.h"
#include "transport/HidBackend.h"

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

// What each interface of the family must be, as the devices present
// themselves: looked up by product and role, never by row number.
struct InterfaceCase {
    uint16_t vendor;
    uint16_t product;
    uint16_t role;
    uint16_t interfaceNumber;
    uint16_t collection;
    DeviceKind kind;
    uint16_t usagePage;
    uint16_t usage;
    uint16_t partnerProduct; // 0: no partner
};

constexpr InterfaceCase kInterfaces[] = {
    {0x320F, 0x50B7, kRoleCommand, 1, 4, DeviceKind::Keyboard, 0xFF1C, 0x92, 0x50A9},
    {0x320F, 0x50B7, kRoleEvent, 1, 3, DeviceKind::Keyboard, 0x000C, 0x01, 0x50A9},
    {0x320F, 0x50A9, kRoleCommand, 1, 4, DeviceKind::KeyboardReceiver, 0xFF1C, 0x92, 0x50B7},
    {0x320F, 0x50A9, kRoleEvent, 1, 3, DeviceKind::KeyboardReceiver, 0x000C, 0x01, 0x50B7},
    {0x320F, 0x7070, kRoleCommand, 1, 4, DeviceKind::Mouse, 0xFF1C, 0x92, 0x221D},
    {0x320F, 0x7070, kRoleEvent, 1, 3, DeviceKind::Mouse, 0x000C, 0x01, 0x221D},
    {0x320F, 0x221D, kRoleCommand, 1, 4, DeviceKind::MouseReceiver, 0xFF1C, 0x92, 0x7070},
    {0x320F, 0x221D, kRoleEvent, 1, 3, DeviceKind::MouseReceiver, 0x000C, 0x01, 0x7070},
    {0x320F, 0x1004, kRoleCommand, 1, 4, DeviceKind::MousePad, 0xFF1C, 0x92, 0},
    {0x320F, 0x1004, kRoleEvent, 1, 3, DeviceKind::MousePad, 0x000C, 0x01, 0},
    {0x0C76, 0x1630, kRoleCommand, 3, 0, DeviceKind::Headset, 0x000C, 0x01, 0},
    // 0x511D names the keyboard receiver, which does not name it back.
    {0x320F, 0x511D, kRoleCommand, 1, 4, DeviceKind::Keyboard, 0xFF1C, 0x92, 0x50A9},
    {0x320F, 0x511D, kRoleEvent, 1, 3, DeviceKind::Keyboard, 0x000C, 0x01, 0x50A9},
};

TEST(DeviceTables, TheBuiltInModelsGiveEveryInterfaceOfTheFamily) {
    const DeviceCatalog& catalog = BuiltInCatalog();
    EXPECT_TRUE(catalog.Problems().empty()) << catalog.Problems().front();
    ASSERT_EQ(catalog.Interfaces().size(), std::size(kInterfaces));
    for (const InterfaceCase& c : kInterfaces) {
        SCOPED_TRACE(testing::Message() << std::hex << c.product << " role " << c.role);
        const int row = catalog.FindSlot(c.vendor, c.product, c.kind, c.role);
        ASSERT_GE(row, 0);
        const SupportedDevice& found = *catalog.Interface(row);
        EXPECT_EQ(found.interfaceNumber, c.interfaceNumber);
        EXPECT_EQ(found.collectionNumber, c.collection);
        EXPECT_EQ(found.usagePage, c.usagePage);
        EXPECT_EQ(found.usage, c.usage);
        EXPECT_EQ(catalog.FindSupportedRow(c.vendor, c.product, c.interfaceNumber, c.collection, c.usagePage,
                                           c.usage),
                  row);
        EXPECT_EQ(catalog.FindPathRow(c.vendor, c.product, c.interfaceNumber, c.collection), row);
        ASSERT_EQ(found.hasPartner != 0, c.partnerProduct != 0);
        if (c.partnerProduct != 0) {
            const SupportedDevice& partner = *catalog.Interface(found.partner);
            EXPECT_EQ(partner.productId, c.partnerProduct);
            EXPECT_EQ(partner.role, c.role);
        }
        const ModelDescription& model = *catalog.Model(catalog.ModelOfInterface(row));
        EXPECT_EQ(ClassOfKind(c.kind), model.deviceClass);
    }
}

TEST(DeviceTables, ModelsAreFoundByVendorProductClassAndVariant) {
    const DeviceCatalog& catalog = BuiltInCatalog();
    for (size_t row = 0; row < catalog.Models().size(); ++row) {
        const ModelDescription& model = catalog.Models()[row];
        EXPECT_EQ(catalog.FindModel(model.vendorId, model.cable.productId, model.deviceClass, model.variant),
                  int(row))
            << model.name;
        EXPECT_EQ(
            catalog.FindModel(model.vendorId, model.cable.productId, model.deviceClass, model.variant + 1),
            -1);
        if (model.receiver) {
            // A receiver has no model of its own: it is found through its cable partner.
            EXPECT_EQ(catalog.FindModel(model.vendorId, model.receiver->productId, model.deviceClass, 0), -1);
            EXPECT_LT(model.receiver->chunkSize, model.cable.chunkSize) << model.name;
        }
    }
    // Without "&col" only the headset's interface matches.
    const std::string headset = "hidraw:/dev/hidraw2#vid_0c76&pid_1630&mi_03";
    EXPECT_GE(
        catalog.FindPathRow(0x0C76, 0x1630, PathInterfaceNumber(headset), PathCollectionNumber(headset)), 0);
    EXPECT_EQ(catalog.FindPathRow(0x320F, 0x7070, 1, 0), -1);
}

// Each slip in a description that would leave a model half-working is named.
TEST(DeviceTables, ABrokenDescriptionIsNamed) {
    struct Case {
        const char* slip;
        void (*apply)(std::vector<ModelDescription>&);
    };
    const Case cases[] = {
        {"product ID used by two units", [](auto& m) { m[2].cable.productId = m[0].cable.productId; }},
        {"partner product ID that no unit has", [](auto& m) { m[2].cable.partnerProductId = 0x9999; }},
        {"page layout, type name or name key missing", [](auto& m) { m[2].pageLayout = ""; }},
        {"drawing of its page or list item missing", [](auto& m) { m[4].itemPicture = ""; }},
        {"only keyboards and mice have receivers", [](auto& m) { m[2].receiver = m[0].receiver; }},
        {"chunk size outside 1..56", [](auto& m) { m[2].cable.chunkSize = 0; }},
        {"light or key count outside 0..170", [](auto& m) { m[2].lightCount = 171; }},
        {"name given twice", [](auto& m) { m[2].name = m[0].name; }},
    };
    for (const Case& c : cases) {
        std::vector<ModelDescription> models = BuiltInModels();
        c.apply(models);
        const std::vector<std::string> problems = DeviceCatalog(std::move(models)).Problems();
        ASSERT_FALSE(problems.empty()) << c.slip;
        EXPECT_NE(problems.front().find(c.slip), std::string::npos) << problems.front();
    }
}

TEST(SlotListRules, OneSlotPerRowIsClaimedUntilReleased) {
    SlotList slots;
    const int row = FindSlot(0x320F, 0x7070, DeviceKind::Mouse, kRoleCommand);
    const SupportedDevice& mouse = SupportedDeviceTable()[size_t(row)];
    EXPECT_EQ(slots.Claim(mouse, ""), -1) << "a claim needs a path";
    EXPECT_EQ(slots.Claim(mouse, "first"), row);
    EXPECT_EQ(slots.Claim(mouse, "second"), -1) << "a second identical mouse";
    EXPECT_FALSE(slots.HasAbsentSlot(0x320F, 0x7070, 1, 4));
    EXPECT_TRUE(slots.Release(row));
    EXPECT_FALSE(slots.Release(row));
    EXPECT_FALSE(slots.Release(slots.Size()));
    EXPECT_FALSE(slots.At(-1).has_value());
    EXPECT_EQ(slots.Claim(mouse, "second"), row);
    EXPECT_EQ(slots.At(row)->path, "second");
}

TEST(SlotListRules, OnlyAMutualPartnerCounts) {
    SlotList slots;
    const int receiver = FindSlot(0x320F, 0x50A9, DeviceKind::KeyboardReceiver, kRoleCommand);
    slots.Claim(SupportedDeviceTable()[size_t(receiver)], "receiver");
    EXPECT_TRUE(slots.PartnerPresent(FindSlot(0x320F, 0x50B7, DeviceKind::Keyboard, kRoleCommand)))
        << "0x50B7 and its receiver name each other";
    EXPECT_FALSE(slots.PartnerPresent(FindSlot(0x320F, 0x511D, DeviceKind::Keyboard, kRoleCommand)))
        << "the receiver does not name 0x511D back";
    EXPECT_FALSE(slots.PartnerPresent(receiver)) << "0x50B7 itself is absent";
}

} // namespace
} // namespace velkor::test
