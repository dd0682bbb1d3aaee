#include "transport/HidDescriptor.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace velkor {
namespace {

// Writes short items with the smallest size that holds the value, unless a
// size is forced (to write e.g. 0xFF as two bytes so it reads unsigned).
class Desc {
public:
    Desc& Item(uint8_t prefix, uint32_t value, int size = -1) {
        if (size < 0) {
            size = value <= 0xFF ? 1 : value <= 0xFFFF ? 2 : 4;
        }
        m_bytes.push_back(static_cast<uint8_t>(prefix | (size == 4 ? 3 : size)));
        for (int i = 0; i < size; ++i) {
            m_bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
        return *this;
    }
    Desc& UsagePage(uint32_t v) { return Item(0x04, v); }
    Desc& Usage(uint32_t v, int size = -1) { return Item(0x08, v, size); }
    Desc& UsageMin(uint32_t v) { return Item(0x18, v); }
    Desc& UsageMax(uint32_t v) { return Item(0x28, v); }
    Desc& LogicalMin(int32_t v) { return Item(0x14, static_cast<uint32_t>(v), SignedSize(v)); }
    Desc& LogicalMax(int32_t v) { return Item(0x24, static_cast<uint32_t>(v), SignedSize(v)); }
    Desc& PhysicalMin(int32_t v) { return Item(0x34, static_cast<uint32_t>(v), SignedSize(v)); }
    Desc& PhysicalMax(int32_t v) { return Item(0x44, static_cast<uint32_t>(v), SignedSize(v)); }
    Desc& ReportSize(uint32_t v) { return Item(0x74, v); }
    Desc& ReportId(uint32_t v) { return Item(0x84, v); }
    Desc& ReportCount(uint32_t v) { return Item(0x94, v); }
    Desc& Push() { return Raw({0xA4}); }
    Desc& Pop() { return Raw({0xB4}); }
    Desc& Input(uint32_t flags) { return Item(0x80, flags); }
    Desc& Output(uint32_t flags) { return Item(0x90, flags); }
    Desc& Feature(uint32_t flags) { return Item(0xB0, flags); }
    Desc& Collection(uint32_t type) { return Item(0xA0, type); }
    Desc& End() { return Raw({0xC0}); }
    Desc& Raw(std::vector<uint8_t> bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    static int SignedSize(int32_t v) { return v >= -128 && v <= 127 ? 1 : v >= -32768 && v <= 32767 ? 2 : 4; }
    std::vector<uint8_t> m_bytes;
};

constexpr uint32_t kData = 0x00;     // Data,Array,Abs
constexpr uint32_t kVariable = 0x02; // Data,Var,Abs
constexpr uint32_t kConstant = 0x01; // Cnst,Array,Abs

// The family's vendor command collection: report 4, 63 data bytes each way.
Desc& VendorCollection(Desc& d) {
    return d.UsagePage(0xFF1C)
        .Usage(0x92)
        .Collection(1)
        .ReportId(4)
        .Usage(0x01)
        .LogicalMin(0)
        .LogicalMax(255)
        .ReportSize(8)
        .ReportCount(63)
        .Input(kVariable)
        .Usage(0x02)
        .Output(kVariable)
        .End();
}

// The event (consumer) collection: one 16-bit selector over consumer usages.
Desc& ConsumerCollection(Desc& d, uint8_t reportId, uint16_t maxUsage) {
    return d.UsagePage(0x0C)
        .Usage(0x01)
        .Collection(1)
        .ReportId(reportId)
        .UsageMin(0)
        .UsageMax(maxUsage)
        .LogicalMin(0)
        .LogicalMax(maxUsage)
        .ReportSize(16)
        .ReportCount(1)
        .Input(kData)
        .End();
}

// A boot keyboard: modifier bits, a reserved byte, LED output, six key selectors.
Desc BootKeyboard() {
    Desc d;
    d.UsagePage(0x01).Usage(0x06).Collection(1);
    d.UsagePage(0x07).UsageMin(0xE0).UsageMax(0xE7).LogicalMin(0).LogicalMax(1).ReportSize(1).ReportCount(8);
    d.Input(kVariable);
    d.ReportCount(1).ReportSize(8).Input(kConstant);
    d.ReportCount(5).ReportSize(1).UsagePage(0x08).UsageMin(1).UsageMax(5).Output(kVariable);
    d.ReportCount(1).ReportSize(3).Output(kConstant);
    d.ReportCount(6).ReportSize(8).LogicalMin(0).LogicalMax(0x65).UsagePage(0x07).UsageMin(0).UsageMax(0x65);
    d.Input(kData);
    d.End();
    return d;
}

HidReportDescriptor MustParse(const Desc& d) {
    HidReportDescriptor parsed;
    EXPECT_TRUE(ParseReportDescriptor(d.Bytes(), parsed));
    return parsed;
}

HidParseResult Parse(const std::vector<uint8_t>& bytes) {
    HidReportDescriptor parsed;
    const HidParseResult result = ParseReportDescriptor(bytes, parsed);
    if (!result) {
        EXPECT_TRUE(parsed.collections.empty()) << "a refused descriptor leaves the result empty";
    }
    return result;
}

bool Parses(const std::vector<uint8_t>& bytes) {
    return static_cast<bool>(Parse(bytes));
}

// Why a descriptor is refused (None when it is accepted).
HidDescriptorError RefusalOf(const std::vector<uint8_t>& bytes) {
    return Parse(bytes).error;
}

// ---- Collections, report IDs and lengths -----------------------------------

TEST(HidDescriptorCollections, VendorCollectionHasReportIdInLengths) {
    Desc d;
    const HidReportDescriptor parsed = MustParse(VendorCollection(d));
    ASSERT_EQ(parsed.collections.size(), 1u);
    const HidTopCollection& top = parsed.collections[0];
    EXPECT_TRUE(parsed.usesReportIds);
    EXPECT_EQ(top.usagePage, 0xFF1C);
    EXPECT_EQ(top.usage, 0x92);
    EXPECT_EQ(top.inputReportLength, 64);
    EXPECT_EQ(top.outputReportLength, 64);
    EXPECT_EQ(top.featureReportLength, 0);
    EXPECT_EQ(top.inputReportIds, std::vector<uint8_t>{4});
    EXPECT_TRUE(top.inputButtonCaps.empty());
    ASSERT_EQ(top.inputValueCaps.size(), 1u);
    EXPECT_EQ(top.inputValueCaps[0].usagePage, 0xFF1C);
    EXPECT_EQ(top.inputValueCaps[0].reportId, 4);
    EXPECT_EQ(top.inputValueCaps[0].usageMin, 0x01);
}

// Four top-level collections on one node, like the family's interface 1.
Desc FourCollections() {
    Desc d;
    d.UsagePage(0x01).Usage(0x06).Collection(1).ReportId(1);
    d.UsagePage(0x07).UsageMin(0xE0).UsageMax(0xE7).LogicalMin(0).LogicalMax(1).ReportSize(1).ReportCount(8);
    d.Input(kVariable).End();
    d.UsagePage(0x01).Usage(0x80).Collection(1).ReportId(2);
    d.UsageMin(0x81).UsageMax(0x83).LogicalMin(0).LogicalMax(1).ReportSize(1).ReportCount(3).Input(kVariable);
    d.ReportCount(5).Input(kConstant).End();
    ConsumerCollection(d, 3, 0x3FFF);
    VendorCollection(d);
    return d;
}

TEST(HidDescriptorCollections, SeveralTopLevelCollectionsAreNumberedInOrder) {
    const HidReportDescriptor parsed = MustParse(FourCollections());
    ASSERT_EQ(parsed.collections.size(), 4u);
    EXPECT_EQ(parsed.collections[0].usage, 0x06);
    EXPECT_EQ(parsed.collections[1].usage, 0x80);
    EXPECT_EQ(parsed.collections[2].usagePage, 0x0C);
    EXPECT_EQ(parsed.collections[2].usage, 0x01);
    EXPECT_EQ(parsed.collections[3].usagePage, 0xFF1C);

    // Each collection owns only its own report IDs.
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(parsed.collections[i].inputReportIds, std::vector<uint8_t>{static_cast<uint8_t>(i + 1)});
        for (uint8_t id = 1; id <= 4; ++id) {
            EXPECT_EQ(CollectionHasInputReport(parsed.collections[i], id), id == i + 1);
        }
    }
    EXPECT_EQ(parsed.collections[0].inputReportLength, 2);
    EXPECT_EQ(parsed.collections[1].inputReportLength, 2);
    EXPECT_EQ(parsed.collections[2].inputReportLength, 3);
    EXPECT_EQ(parsed.collections[3].inputReportLength, 64);
    EXPECT_EQ(parsed.collections[2].outputReportLength, 0);
}

TEST(HidDescriptorCollections, NestedCollectionsBelongToTheirTopLevelOne) {
    Desc d;
    d.UsagePage(0x01).Usage(0x02).Collection(1).Usage(0x01).Collection(0); // mouse, pointer (physical)
    d.UsagePage(0x09).UsageMin(1).UsageMax(3).LogicalMin(0).LogicalMax(1).ReportSize(1).ReportCount(3);
    d.Input(kVariable).ReportCount(5).Input(kConstant);
    d.UsagePage(0x01).Usage(0x30).Usage(0x31).LogicalMin(-127).LogicalMax(127).ReportSize(8).ReportCount(2);
    d.Input(0x06).End().End();
    const HidReportDescriptor parsed = MustParse(d);
    ASSERT_EQ(parsed.collections.size(), 1u);
    const HidTopCollection& top = parsed.collections[0];
    EXPECT_FALSE(parsed.usesReportIds);
    EXPECT_EQ(top.inputReportIds, std::vector<uint8_t>{0});
    EXPECT_EQ(top.inputReportLength, 4);
    EXPECT_EQ(top.inputButtonCaps.size(), 1u);
    EXPECT_EQ(top.inputValueCaps.size(), 2u);
}

TEST(HidDescriptorCollections, OnlyApplicationCollectionsAtTopLevelCount) {
    Desc d;
    d.UsagePage(0x01).Usage(0x01).Collection(0); // physical at top level: owned by nobody
    d.ReportId(7).Usage(0x30).ReportSize(8).ReportCount(2).Input(kVariable).End();
    d.UsagePage(0x0C).Usage(0x01).Collection(1).ReportId(7).Usage(0xE9).ReportSize(8).ReportCount(1);
    d.Input(kVariable).End();
    const HidReportDescriptor parsed = MustParse(d);
    ASSERT_EQ(parsed.collections.size(), 1u);
    const HidTopCollection& top = parsed.collections[0];
    EXPECT_EQ(top.usagePage, 0x0C);
    ASSERT_EQ(top.fields.size(), 1u);
    // The unowned item still took the first 16 bits of input report 7.
    EXPECT_EQ(top.fields[0].bitOffset, 16u);
    EXPECT_EQ(top.inputReportLength, 4);
}

TEST(HidDescriptorCollections, ItemsBetweenTopLevelCollectionsBelongToNone) {
    Desc d;
    d.UsagePage(0xFF00).Usage(1).Collection(1).ReportId(9).Usage(1).ReportSize(8).ReportCount(1);
    d.Input(kVariable).End();
    d.Usage(2).ReportCount(2).Input(kVariable); // outside every collection
    const HidReportDescriptor parsed = MustParse(d);
    ASSERT_EQ(parsed.collections.size(), 1u);
    EXPECT_EQ(parsed.collections[0].fields.size(), 1u);
    EXPECT_EQ(parsed.collections[0].inputValueCaps.size(), 1u);
    EXPECT_EQ(parsed.collections[0].inputReportLength, 4) << "report 9 is 3 bytes long in all";
}

TEST(HidDescriptorCollections, BitOffsetsRunPerReportTypeAndIdAcrossTheDescriptor) {
    Desc d;
    d.UsagePage(0xFF00).Usage(1).Collection(1).ReportId(5).Usage(1).ReportSize(8).ReportCount(3);
    d.Input(kVariable).Usage(2).ReportCount(2).Feature(kVariable).End();
    d.UsagePage(0xFF00).Usage(2).Collection(1).ReportId(5).Usage(3).ReportSize(8).ReportCount(4);
    d.Input(kVariable).ReportId(6).Usage(4).ReportCount(1).Input(kVariable).End();
    const HidReportDescriptor parsed = MustParse(d);
    ASSERT_EQ(parsed.collections.size(), 2u);
    const HidTopCollection& second = parsed.collections[1];
    ASSERT_EQ(second.fields.size(), 2u);
    EXPECT_EQ(second.fields[0].bitOffset, 24u); // after the first collection's input 5
    EXPECT_EQ(second.fields[1].bitOffset, 0u);  // report 6 starts afresh
    // Input report 5 is 7 bytes long as a whole; both collections see it so.
    EXPECT_EQ(parsed.collections[0].inputReportLength, 8);
    EXPECT_EQ(second.inputReportLength, 8);
    EXPECT_EQ(parsed.collections[0].featureReportLength, 3);
    EXPECT_EQ(second.featureReportLength, 0);
    EXPECT_EQ(second.inputReportIds, (std::vector<uint8_t>{5, 6}));
}

TEST(HidDescriptorCollections, PushAndPopRestoreTheGlobalState) {
    Desc d;
    d.UsagePage(0xFF00).Usage(1).Collection(1).ReportSize(8).ReportCount(2).Push();
    d.ReportSize(4).ReportCount(1).UsagePage(0xFF01).Usage(9).Input(kVariable).Pop();
    d.Usage(2).Input(kVariable).End();
    const HidReportDescriptor parsed = MustParse(d);
    const HidTopCollection& top = parsed.collections[0];
    ASSERT_EQ(top.fields.size(), 2u);
    EXPECT_EQ(top.fields[0].usagePage, 0xFF01);
    EXPECT_EQ(top.fields[1].usagePage, 0xFF00);
    EXPECT_EQ(top.fields[1].reportSize, 8);
    EXPECT_EQ(top.fields[1].reportCount, 2);
    EXPECT_EQ(top.fields[1].bitOffset, 4u);
    EXPECT_EQ(top.inputReportLength, 1 + 3); // 20 bits
}

TEST(HidDescriptorCollections, LongItemsAndReservedItemsAreSkipped) {
    Desc d;
    d.UsagePage(0xFF00).Usage(1).Collection(1);
    d.Raw({0xFE, 0x03, 0x10, 0xAA, 0xBB, 0xCC}); // long item, 3 data bytes
    d.Raw({0x0D, 0x42});                         // reserved item type
    d.Usage(1).ReportSize(8).ReportCount(1).Input(kVariable).End();
    const HidReportDescriptor parsed = MustParse(d);
    ASSERT_EQ(parsed.collections.size(), 1u);
    EXPECT_EQ(parsed.collections[0].inputReportLength, 2);
}

// ---- Usages ----------------------------------------------------------------

TEST(HidDescriptorUsages, ExtendedUsageCarriesItsOwnPage) {
    Desc d;
    d.UsagePage(0x01).Usage(0x000C0001, 4).Collection(1); // collection usage Consumer Control
    d.Usage(0x000C00E9, 4).Usage(0x30).LogicalMin(0).LogicalMax(1).ReportSize(1).ReportCount(2);
    d.Input(kVariable).ReportCount(6).Input(kConstant).End();
    const HidReportDescriptor parsed = MustParse(d);
    const HidTopCollection& top = parsed.collections[0];
    EXPECT_EQ(top.usagePage, 0x0C);
    EXPECT_EQ(top.usage, 0x01);
    // A variable item with usages on two pages splits into one field per page.
    ASSERT_GE(top.fields.size(), 2u);
    EXPECT_EQ(top.fields[0].usagePage, 0x0C);
    EXPECT_EQ(top.fields[0].usages, std::vector<uint16_t>{0xE9});
    EXPECT_EQ(top.fields[1].usagePage, 0x01);
    EXPECT_EQ(top.fields[1].bitOffset, 1u);
    const std::vector<uint8_t> report{0, 0x03};
    std::vector<uint16_t> on;
    EXPECT_EQ(GetUsages(top, 0x0C, report, on), HidStatus::Success);
    EXPECT_EQ(on, std::vector<uint16_t>{0xE9});
    EXPECT_EQ(GetUsages(top, 0x01, report, on), HidStatus::Success);
    EXPECT_EQ(on, std::vector<uint16_t>{0x30});
}

using PageUsage = std::pair<uint16_t, uint16_t>;

struct PageCase {
    const char* name;
    Desc items;                  // between the collection's start and its end, main item included
    std::vector<PageUsage> caps; // input button caps, then value caps: single usages
};

void PrintTo(const PageCase& c, std::ostream* os) {
    *os << c.name;
}

PageUsage Cap(uint16_t page, uint16_t usage) {
    return {page, usage};
}

std::vector<PageCase> PageCases() {
    std::vector<PageCase> cases;
    Desc gamepad; // buttons, then a page change for two consumer keys
    gamepad.UsagePage(0x09).UsageMin(1).UsageMax(3).UsagePage(0x0C).Usage(0x224).Usage(0x223);
    gamepad.LogicalMin(0).LogicalMax(1).ReportSize(1).ReportCount(5).Input(kVariable);
    cases.push_back({"PageChangeBetweenUsagesKeepsEachRun",
                     gamepad,
                     {Cap(0x09, 1), Cap(0x09, 2), Cap(0x09, 3), Cap(0x0C, 0x224), Cap(0x0C, 0x223)}});
    Desc vendor;
    vendor.UsagePage(0xFF0D).Usage(0x5D).UsagePage(0x0D).Usage(0x30);
    vendor.LogicalMin(0).LogicalMax(255).ReportSize(8).ReportCount(2).Input(kVariable);
    cases.push_back({"VendorUsageKeepsItsPage", vendor, {Cap(0xFF0D, 0x5D), Cap(0x0D, 0x30)}});
    Desc trailing; // the page may follow the usage it names
    trailing.UsagePage(0x01).Usage(0xE9).UsagePage(0x0C);
    trailing.LogicalMin(0).LogicalMax(1).ReportSize(1).ReportCount(1).Input(kVariable);
    cases.push_back({"PageAfterTheLastUsageTakesIt", trailing, {Cap(0x0C, 0xE9)}});
    Desc extended; // a 32-bit usage never takes the page in force
    extended.UsagePage(0x0D).Usage(0x42).Usage(0xFF0D005D, 4).UsagePage(0x09);
    extended.LogicalMin(0).LogicalMax(1).ReportSize(1).ReportCount(2).Input(kVariable);
    cases.push_back({"ExtendedUsageIsNeverRebound", extended, {Cap(0x09, 0x42), Cap(0xFF0D, 0x5D)}});
    Desc array; // one selector over usages of two pages
    array.UsagePage(0x0C).Usage(0xE9).UsagePage(0x01).Usage(0x81);
    array.LogicalMin(1).LogicalMax(2).ReportSize(8).ReportCount(1).Input(kData);
    cases.push_back({"ArrayListSpansPages", array, {Cap(0x0C, 0xE9), Cap(0x01, 0x81)}});
    return cases;
}

class HidDescriptorUsagePages : public testing::TestWithParam<PageCase> {};

TEST_P(HidDescriptorUsagePages, CapabilitiesCarryThePageEachUsageWasBoundTo) {
    Desc d;
    d.UsagePage(0x01).Usage(0x05).Collection(1).Raw(GetParam().items.Bytes()).End();
    const HidTopCollection top = MustParse(d).collections.at(0);
    std::vector<PageUsage> caps;
    for (const auto* list : {&top.inputButtonCaps, &top.inputValueCaps}) {
        for (const HidCapability& cap : *list) {
            EXPECT_FALSE(cap.isRange);
            caps.push_back({cap.usagePage, cap.usageMin});
        }
    }
    EXPECT_EQ(caps, GetParam().caps);
}

INSTANTIATE_TEST_SUITE_P(Cases, HidDescriptorUsagePages, testing::ValuesIn(PageCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HidDescriptorUsages, ReportsDecodeOnThePagesTheUsagesWereBoundTo) {
    const std::vector<PageCase> cases = PageCases();
    auto collection = [&](size_t index) {
        Desc d;
        d.UsagePage(0x01).Usage(0x05).Collection(1).Raw(cases[index].items.Bytes()).End();
        return MustParse(d).collections.at(0);
    };
    std::vector<uint16_t> on;
    const HidTopCollection gamepad = collection(0);
    const std::vector<uint8_t> pressed{0, 0b10101}; // button 1, button 3, consumer 0x223
    ASSERT_EQ(GetUsages(gamepad, 0x09, pressed, on), HidStatus::Success);
    EXPECT_EQ(on, (std::vector<uint16_t>{1, 3}));
    ASSERT_EQ(GetUsages(gamepad, 0x0C, pressed, on), HidStatus::Success);
    EXPECT_EQ(on, std::vector<uint16_t>{0x223});

    const HidTopCollection vendor = collection(1);
    uint32_t value = 0;
    ASSERT_EQ(GetUsageValue(vendor, 0xFF0D, 0x5D, std::vector<uint8_t>{0, 0x11, 0x22}, value),
              HidStatus::Success);
    EXPECT_EQ(value, 0x11u);
    EXPECT_EQ(GetUsageValue(vendor, 0x0D, 0x5D, std::vector<uint8_t>{0, 0x11, 0x22}, value),
              HidStatus::UsageNotFound);

    const HidTopCollection array = collection(4);
    ASSERT_EQ(GetUsages(array, 0x01, std::vector<uint8_t>{0, 2}, on), HidStatus::Success);
    EXPECT_EQ(on, std::vector<uint16_t>{0x81});
    ASSERT_EQ(GetUsages(array, 0x0C, std::vector<uint8_t>{0, 2}, on), HidStatus::Success);
    EXPECT_TRUE(on.empty()) << "selector 2 picks a Generic Desktop usage";
    ASSERT_EQ(GetUsages(array, 0x0C, std::vector<uint8_t>{0, 1}, on), HidStatus::Success);
    EXPECT_EQ(on, std::vector<uint16_t>{0xE9});
}

TEST(HidDescriptorUsages, LastListedUsageRepeatsForRemainingElements) {
    Desc d;
    d.UsagePage(0xFF00).Usage(1).Collection(1);
    d.Usage(0x10)
        .Usage(0x11)
        .LogicalMin(0)
        .LogicalMax(255)
        .ReportSize(8)
        .ReportCount(3)
        .Input(kVariable)
        .End();
    const HidTopCollection top = MustParse(d).collections[0];
    ASSERT_EQ(top.inputValueCaps.size(), 2u);
    const std::vector<uint8_t> report{0, 7, 8, 9};
    uint32_t value = 0;
    ASSERT_EQ(GetUsageValue(top, 0xFF00, 0x11, report, value), HidStatus::Success);
    EXPECT_EQ(value, 8u); // the first element with usage 0x11
    EXPECT_EQ(GetUsageValue(top, 0xFF00, 0x12, report, value), HidStatus::UsageNotFound);
}

// ---- Decoding --------------------------------------------------------------

TEST(HidDescriptorDecoding, ConsumerSelectorDecodesTheEventCode) {
    Desc d;
    const HidTopCollection top = MustParse(ConsumerCollection(d, 3, 0x3FFF)).collections[0];
    EXPECT_EQ(MaxUsageListLength(top, 0x0C), 1u);
    ASSERT_EQ(top.inputButtonCaps.size(), 1u);
    EXPECT_TRUE(top.inputButtonCaps[0].isRange);
    EXPECT_EQ(top.inputButtonCaps[0].usageMax, 0x3FFF);

    std::vector<uint16_t> on;
    EXPECT_EQ(GetUsages(top, 0x0C, std::vector<uint8_t>{3, 0x01, 0x04}, on), HidStatus::Success);
    EXPECT_EQ(on, std::vector<uint16_t>{0x0401});
    EXPECT_EQ(GetUsages(top, 0x0C, std::vector<uint8_t>{3, 0x00, 0x00}, on), HidStatus::Success);
    EXPECT_TRUE(on.empty()) << "selector 0 means nothing pressed";
}

TEST(HidDescriptorDecoding, SelectorOutsideTheLogicalRangeSelectsNothing) {
    Desc d;
    const HidTopCollection top = MustParse(ConsumerCollection(d, 3, 0x3FF)).collections[0];
    std::vector<uint16_t> on{0xDEAD};
    EXPECT_EQ(GetUsages(top, 0x0C, std::vector<uint8_t>{3, 0x01, 0x04}, on), HidStatus::Success);
    EXPECT_TRUE(on.empty());
    EXPECT_EQ(GetUsages(top, 0x0C, std::vector<uint8_t>{3, 0xE9, 0x00}, on), HidStatus::Success);
    EXPECT_EQ(on, std::vector<uint16_t>{0xE9});
}

TEST(HidDescriptorDecoding, ListedArraySelectsByIndexFromLogicalMinimum) {
    Desc d;
    d.UsagePage(0x0C).Usage(0x01).Collection(1).ReportId(2);
    d.Usage(0xE9).Usage(0xEA).Usage(0xE2).LogicalMin(1).LogicalMax(3).ReportSize(8).ReportCount(2).Input(
        kData);
    d.End();
    const HidTopCollection top = MustParse(d).collections[0];
    EXPECT_EQ(top.inputButtonCaps.size(), 3u);
    std::vector<uint16_t> on;
    EXPECT_EQ(GetUsages(top, 0x0C, std::vector<uint8_t>{2, 3, 1}, on), HidStatus::Success);
    EXPECT_EQ(on, (std::vector<uint16_t>{0xE2, 0xE9}));
    EXPECT_EQ(GetUsages(top, 0x0C, std::vector<uint8_t>{2, 0, 4}, on), HidStatus::Success);
    EXPECT_TRUE(on.empty());
}

TEST(HidDescriptorDecoding, BootKeyboardReportGivesModifiersAndKeysInOrder) {
    const HidTopCollection top = MustParse(BootKeyboard()).collections[0];
    EXPECT_EQ(top.inputReportLength, 9);
    EXPECT_EQ(top.outputReportLength, 2);
    EXPECT_EQ(top.inputButtonCaps.size(), 2u);
    EXPECT_TRUE(top.inputValueCaps.empty());
    EXPECT_EQ(MaxUsageListLength(top, 0x07), 14u);
    EXPECT_EQ(MaxUsageListLength(top, 0x08), 0u) << "LEDs are output";

    const std::vector<uint8_t> report{0, 0x22, 0xFF, 0x04, 0x05, 0x00, 0x00, 0x00, 0x66};
    std::vector<uint16_t> on;
    ASSERT_EQ(GetUsages(top, 0x07, report, on), HidStatus::Success);
    // Left Shift (bit 1), Right Shift (bit 5), A, B; the reserved byte and the
    // selector past the logical maximum give nothing.
    EXPECT_EQ(on, (std::vector<uint16_t>{0xE1, 0xE5, 0x04, 0x05}));
}

TEST(HidDescriptorDecoding, RefusesReportsOfOtherIdsAndShortReports) {
    const HidTopCollection keyboard = MustParse(BootKeyboard()).collections[0];
    std::vector<uint16_t> on{1};
    EXPECT_EQ(GetUsages(keyboard, 0x07, std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0, 0}, on),
              HidStatus::IncompatibleReportId);
    EXPECT_TRUE(on.empty());
    EXPECT_EQ(GetUsages(keyboard, 0x07, std::vector<uint8_t>{0, 0x01, 0, 4}, on), HidStatus::ReportTooShort);
    EXPECT_TRUE(on.empty()) << "a refused report leaves no partial list";
    EXPECT_EQ(GetUsages(keyboard, 0x07, std::vector<uint8_t>{}, on), HidStatus::ReportTooShort);
    EXPECT_EQ(GetUsages(keyboard, 0x09, std::vector<uint8_t>(9, 0), on), HidStatus::UsageNotFound);

    const HidReportDescriptor four = MustParse(FourCollections());
    EXPECT_EQ(GetUsages(four.collections[2], 0x0C, std::vector<uint8_t>{4, 1, 4}, on),
              HidStatus::IncompatibleReportId);
}

Desc Mouse(int32_t physicalMin, int32_t physicalMax) {
    Desc d;
    d.UsagePage(0x01).Usage(0x02).Collection(1).ReportId(1);
    d.UsagePage(0x09).UsageMin(1).UsageMax(5).LogicalMin(0).LogicalMax(1).ReportSize(1).ReportCount(5);
    d.Input(kVariable).ReportSize(3).ReportCount(1).Input(kConstant);
    d.UsagePage(0x01).UsageMin(0x30).UsageMax(0x31).LogicalMin(-32767).LogicalMax(32767);
    d.PhysicalMin(physicalMin).PhysicalMax(physicalMax).ReportSize(16).ReportCount(2).Input(0x06);
    d.Usage(0x38).LogicalMin(0).LogicalMax(255).PhysicalMin(0).PhysicalMax(1000).ReportSize(8).ReportCount(1);
    d.Input(kVariable).End();
    return d;
}

TEST(HidDescriptorDecoding, ValuesRawAndScaled) {
    const HidTopCollection top = MustParse(Mouse(0, 0)).collections[0];
    ASSERT_EQ(top.inputValueCaps.size(), 2u);
    EXPECT_TRUE(top.inputValueCaps[0].isRange);
    EXPECT_EQ(top.inputReportLength, 1 + 1 + 4 + 1);

    // X = -2 (0xFFFE), Y = 300, wheel = 255.
    const std::vector<uint8_t> report{1, 0x01, 0xFE, 0xFF, 0x2C, 0x01, 0xFF};
    uint32_t raw = 0;
    ASSERT_EQ(GetUsageValue(top, 0x01, 0x30, report, raw), HidStatus::Success);
    EXPECT_EQ(raw, 0xFFFEu) << "raw values are not sign-extended";
    int32_t scaled = 0;
    ASSERT_EQ(GetScaledUsageValue(top, 0x01, 0x30, report, scaled), HidStatus::Success);
    EXPECT_EQ(scaled, -2) << "no physical range: the logical one applies";
    ASSERT_EQ(GetScaledUsageValue(top, 0x01, 0x31, report, scaled), HidStatus::Success);
    EXPECT_EQ(scaled, 300);
    ASSERT_EQ(GetScaledUsageValue(top, 0x01, 0x38, report, scaled), HidStatus::Success);
    EXPECT_EQ(scaled, 1000);
    EXPECT_EQ(GetUsageValue(top, 0x01, 0x30, std::vector<uint8_t>{1, 0, 0xFE}, raw),
              HidStatus::ReportTooShort);
    EXPECT_EQ(GetUsageValue(top, 0x09, 0x01, report, raw), HidStatus::UsageNotFound)
        << "buttons are no values";
}

TEST(HidDescriptorDecoding, ScaledValueRefusesBadRangesAndNullReadings) {
    const HidTopCollection top = MustParse(Mouse(100, 100)).collections[0];
    const std::vector<uint8_t> report{1, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00};
    int32_t scaled = 7;
    EXPECT_EQ(GetScaledUsageValue(top, 0x01, 0x31, report, scaled), HidStatus::BadLogicalRange);
    const HidTopCollection good = MustParse(Mouse(-100, 100)).collections[0];
    // X = 0x8000 = -32768, below the logical minimum -32767.
    EXPECT_EQ(GetScaledUsageValue(good, 0x01, 0x30, report, scaled), HidStatus::ValueOutOfRange);
    EXPECT_EQ(scaled, 0);
}

struct ScaleCase {
    const char* name;
    int32_t logicalMin, logicalMax, physicalMin, physicalMax; // physical 0, 0: none given
    uint32_t raw;
    int32_t scaled;
};

constexpr int32_t kMin32 = INT32_MIN;
constexpr int32_t kMax32 = INT32_MAX;

// 32-bit ranges make (value - logicalMin) * physicalSpan overflow 64 bits.
const ScaleCase kScaleCases[] = {
    {"SerialNumberTop", kMin32, kMax32, 0, 0, 0x7FFFFFFF, kMax32},
    {"SerialNumberBottom", kMin32, kMax32, 0, 0, 0x80000000, kMin32},
    {"WideRangesTop", kMin32, kMax32, kMin32, kMax32 - 1, 0x7FFFFFFF, kMax32 - 1},
    {"WideRangesMiddle", kMin32, kMax32, kMin32, kMax32 - 1, 0, -1},
    {"ByteToThousand", 0, 255, 0, 1000, 128, 501},
    {"SignedBothWays", -127, 127, -1000, 1000, 0xFFFFFF81, -1000},
};

void PrintTo(const ScaleCase& c, std::ostream* os) {
    *os << c.name;
}

class HidDescriptorScaling : public testing::TestWithParam<ScaleCase> {};

TEST_P(HidDescriptorScaling, ScaledValueIsExact) {
    const ScaleCase& c = GetParam();
    Desc d;
    d.UsagePage(0x0D).Usage(0x02).Collection(1).Usage(0x5B).LogicalMin(c.logicalMin).LogicalMax(c.logicalMax);
    d.PhysicalMin(c.physicalMin)
        .PhysicalMax(c.physicalMax)
        .ReportSize(32)
        .ReportCount(1)
        .Input(kVariable)
        .End();
    const HidTopCollection top = MustParse(d).collections.at(0);
    std::vector<uint8_t> report{0};
    for (int i = 0; i < 4; ++i) {
        report.push_back(static_cast<uint8_t>(c.raw >> (8 * i)));
    }
    int32_t scaled = 0;
    ASSERT_EQ(GetScaledUsageValue(top, 0x0D, 0x5B, report, scaled), HidStatus::Success);
    EXPECT_EQ(scaled, c.scaled);
}

INSTANTIATE_TEST_SUITE_P(Cases, HidDescriptorScaling, testing::ValuesIn(kScaleCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HidDescriptorDecoding, ValuesWiderThan32BitsAreRefusedNotTruncated) {
    Desc d;
    d.UsagePage(0xFF00).Usage(1).Collection(1).Usage(5).ReportSize(40).ReportCount(1).Input(kVariable).End();
    const HidTopCollection top = MustParse(d).collections[0];
    EXPECT_EQ(top.inputReportLength, 6);
    uint32_t value = 0;
    EXPECT_EQ(GetUsageValue(top, 0xFF00, 5, std::vector<uint8_t>{0, 1, 2, 3, 4, 5}, value),
              HidStatus::ValueTooWide);
}

TEST(HidDescriptorDecoding, ValueAtAnOddBitOffsetSpanningFiveBytes) {
    Desc d;
    d.UsagePage(0xFF00).Usage(1).Collection(1).ReportSize(7).ReportCount(1).Input(kConstant);
    d.Usage(5)
        .LogicalMin(0)
        .LogicalMax(-1)
        .ReportSize(32)
        .Input(kVariable)
        .ReportSize(1)
        .Input(kConstant)
        .End();
    const HidTopCollection top = MustParse(d).collections[0];
    EXPECT_EQ(top.inputReportLength, 1 + 5);
    // Value 0xDEADBEEF placed at bit 7.
    const uint64_t placed = uint64_t{0xDEADBEEF} << 7;
    std::vector<uint8_t> report{0};
    for (int i = 0; i < 5; ++i) {
        report.push_back(static_cast<uint8_t>(placed >> (8 * i)));
    }
    uint32_t value = 0;
    ASSERT_EQ(GetUsageValue(top, 0xFF00, 5, report, value), HidStatus::Success);
    EXPECT_EQ(value, 0xDEADBEEFu);
}

// ---- Malformed descriptors -------------------------------------------------

std::vector<uint8_t> Wrap(std::vector<uint8_t> inner) {
    Desc d;
    d.UsagePage(0xFF00).Usage(1).Collection(1).Raw(std::move(inner)).End();
    return d.Bytes();
}

TEST(HidDescriptorMalformed, TruncatedItemsAreRefused) {
    Desc vendor;
    std::vector<uint8_t> bytes = VendorCollection(vendor).Bytes();
    EXPECT_TRUE(Parses(bytes));
    for (size_t cut = 1; cut < bytes.size(); ++cut) {
        EXPECT_FALSE(Parses(std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut))) << "cut at " << cut;
    }
    EXPECT_FALSE(Parses(Wrap({0xFE, 0x05, 0x00, 0x01, 0x02}))) << "long item shorter than its size";
    EXPECT_FALSE(Parses({0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0xC0, 0xFE, 0x01}));
}

TEST(HidDescriptorMalformed, UnbalancedStructureIsRefused) {
    EXPECT_FALSE(Parses(Wrap({0xB4}))) << "pop without push";
    EXPECT_FALSE(Parses({0xC0})) << "end collection without start";
    EXPECT_FALSE(Parses({0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01})) << "collection never closed";
    EXPECT_FALSE(Parses({})) << "empty";
    EXPECT_FALSE(Parses({0x06, 0x00, 0xFF, 0x09, 0x01})) << "nothing at top level";
    std::vector<uint8_t> deep;
    for (int i = 0; i < 40; ++i) {
        deep.insert(deep.end(), {0xA1, 0x00});
    }
    deep.insert(deep.end(), 40, 0xC0);
    EXPECT_FALSE(Parses(Wrap(deep))) << "collections nested past the limit";
    std::vector<uint8_t> pushes(20, 0xA4);
    EXPECT_FALSE(Parses(Wrap(pushes))) << "push stack overflow";
}

TEST(HidDescriptorMalformed, AbsurdSizesAreRefusedWithTheirReason) {
    using E = HidDescriptorError;
    EXPECT_EQ(RefusalOf(Wrap({0x76, 0x2C, 0x01})), E::ReportSizeTooLarge) << "report size 300";
    EXPECT_EQ(RefusalOf(Wrap({0x85, 0x00})), E::BadReportId) << "report ID 0";
    EXPECT_EQ(RefusalOf(Wrap({0x86, 0x00, 0x01})), E::BadReportId) << "report ID 256";
    EXPECT_EQ(RefusalOf(Wrap({0x19, 0x09, 0x29, 0x02})), E::BadUsageRange) << "usage minimum above maximum";
    EXPECT_EQ(RefusalOf(Wrap({0x1B, 0x01, 0x00, 0x09, 0x00, 0x2B, 0x03, 0x00, 0x0C, 0x00})), E::BadUsageRange)
        << "32-bit bounds on two pages";
    // 256 bits x 4096 elements: a report far past any buffer.
    EXPECT_EQ(RefusalOf(Wrap({0x76, 0x00, 0x01, 0x96, 0x00, 0x10, 0x81, 0x02})), E::ReportTooLong);
    // Many moderate items adding up past the limit in one report.
    std::vector<uint8_t> many{0x75, 0x08, 0x96, 0x00, 0x08};
    for (int i = 0; i < 8; ++i) {
        many.insert(many.end(), {0x81, 0x02});
    }
    EXPECT_EQ(RefusalOf(Wrap(many)), E::ReportTooLong);
    EXPECT_EQ(RefusalOf(Wrap({0x75, 0x28, 0x95, 0x01, 0x81, 0x00})), E::SelectorTooWide);
    std::vector<uint8_t> huge(kMaxReportDescriptorSize + 1, 0x00);
    EXPECT_EQ(RefusalOf(Wrap(huge)), E::TooLong) << "longer than any device may send";
}

// Touchscreens declare vendor feature reports of thousands of bytes; the
// limit is the kernel's, and a refusal says where and why.
TEST(HidDescriptorMalformed, ReportCountUpToTheKernelLimitIsAccepted) {
    for (const uint32_t count : {7487u, kMaxReportCount, kMaxReportCount + 1}) {
        Desc d;
        d.UsagePage(0xFF00).Usage(0x01).Collection(1).ReportId(0x44).Usage(0xC5).LogicalMin(0);
        d.LogicalMax(255).ReportSize(8).ReportCount(count).Feature(kVariable).End();
        HidReportDescriptor parsed;
        const HidParseResult result = ParseReportDescriptor(d.Bytes(), parsed);
        if (count <= kMaxReportCount) {
            ASSERT_TRUE(result) << count << ": " << DescribeParseResult(result);
            EXPECT_EQ(parsed.collections.at(0).featureReportLength, 1 + count);
            EXPECT_EQ(parsed.collections.at(0).fields.at(0).reportCount, count);
        } else {
            EXPECT_EQ(result.error, HidDescriptorError::ReportCountTooLarge);
            EXPECT_EQ(result.offset, 18u) << "the Report Count item";
            EXPECT_EQ(DescribeParseResult(result),
                      "report count 12289 over the limit of 12288 (item at byte 18)");
        }
    }
}

TEST(HidDescriptorMalformed, RangeExpansionIsBounded) {
    // A listed usage mixed with a full-page range would expand to 65536 usages.
    EXPECT_FALSE(
        Parses(Wrap({0x09, 0x05, 0x19, 0x00, 0x2A, 0xFF, 0xFF, 0x75, 0x08, 0x95, 0x01, 0x81, 0x00})));
    // The same range alone is kept as a range.
    EXPECT_TRUE(Parses(Wrap({0x19, 0x00, 0x2A, 0xFF, 0xFF, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00})));
}

} // namespace
} // namespace velkor
