#include "sim/SimFactory.h"

#include "keys/KeyIdentityTable.h"
#include "sim/SimRecords.h"

#include <algorithm>
#include <cstring>

namespace velkor::sim {

namespace {

constexpr uint32_t kMouseButtonFunctions[kMouseButtons] = {
    0x100100, 0x100200, 0x100400, 0x101000, 0x100800, 0x130100,
    0x130200, 0x130300, 0xA01B00, 0x169001, 0x147802,
};

// The mouse's own button order: left, right, middle, fourth, fifth, the DPI
// keys, rapid fire, the wheel function, the game key, then an empty position.
constexpr int kMousePositions[12] = {0, 1, 2, 4, 3, 5, 6, 7, 10, 9, 8, -1};

// The factory key table carries the on-screen key rows shared with the keyboard page.
static_assert(kKeyboardScreenKeys == velkor::kScreenKeyCount);

// The keyboard matrix: 6 rows of 21 keys in the on-screen numbering, scanned
// by the firmware column by column (position = column x 6 + row).
constexpr size_t kMatrixRows = 6;
constexpr size_t kMatrixColumns = 21;

KeyFunction Split(uint32_t value) {
    return {uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
}

// ---- Report descriptors -------------------------------------------------

class DescriptorWriter {
public:
    // Short item with the smallest unsigned payload.
    DescriptorWriter& Unsigned(uint8_t prefix, uint32_t value) {
        if (value <= 0xFF) {
            return Emit(prefix | 1, value, 1);
        }
        if (value <= 0xFFFF) {
            return Emit(prefix | 2, value, 2);
        }
        return Emit(prefix | 3, value, 4);
    }
    // Short item with the smallest signed payload (logical and physical bounds).
    DescriptorWriter& Signed(uint8_t prefix, int32_t value) {
        if (value >= -128 && value <= 127) {
            return Emit(prefix | 1, uint32_t(value), 1);
        }
        if (value >= -32768 && value <= 32767) {
            return Emit(prefix | 2, uint32_t(value), 2);
        }
        return Emit(prefix | 3, uint32_t(value), 4);
    }
    DescriptorWriter& Bare(uint8_t prefix) { return Emit(prefix, 0, 0); }

    DescriptorWriter& UsagePage(uint16_t page) { return Unsigned(0x04, page); }
    DescriptorWriter& Usage(uint16_t usage) { return Unsigned(0x08, usage); }
    DescriptorWriter& UsageMin(uint16_t usage) { return Unsigned(0x18, usage); }
    DescriptorWriter& UsageMax(uint16_t usage) { return Unsigned(0x28, usage); }
    DescriptorWriter& LogicalMin(int32_t v) { return Signed(0x14, v); }
    DescriptorWriter& LogicalMax(int32_t v) { return Signed(0x24, v); }
    DescriptorWriter& ReportSize(uint32_t bits) { return Unsigned(0x74, bits); }
    DescriptorWriter& ReportId(uint8_t id) { return Unsigned(0x84, id); }
    DescriptorWriter& ReportCount(uint32_t count) { return Unsigned(0x94, count); }
    DescriptorWriter& Application() { return Unsigned(0xA0, 0x01); }
    DescriptorWriter& EndCollection() { return Bare(0xC0); }
    DescriptorWriter& Input(uint8_t flags) { return Unsigned(0x80, flags); }
    DescriptorWriter& Output(uint8_t flags) { return Unsigned(0x90, flags); }

    std::vector<uint8_t> Take() { return std::move(m_bytes); }

private:
    DescriptorWriter& Emit(uint8_t prefix, uint32_t value, int size) {
        m_bytes.push_back(prefix);
        for (int i = 0; i < size; ++i) {
            m_bytes.push_back(uint8_t(value >> (8 * i)));
        }
        return *this;
    }
    std::vector<uint8_t> m_bytes;
};

constexpr uint8_t kData = 0x00, kConstant = 0x01, kVariable = 0x02; // Input/Output flag bits

void VendorReports(DescriptorWriter& w) {
    w.ReportId(kVendorCollectionReportId).UsagePage(0xFF1C);
    w.Usage(0x01).LogicalMin(0).LogicalMax(255).ReportSize(8).ReportCount(63).Input(kData | kVariable);
    w.Usage(0x02).Output(kData | kVariable);
}

// Interface 1 of keyboards, mice, receivers and the pad: boot-style keyboard
// (ID 1), system control (ID 2), consumer control with the event codes (ID 3)
// and the vendor protocol (ID 4).
std::vector<uint8_t> BuildVendorInterfaceDescriptor() {
    DescriptorWriter w;
    w.UsagePage(0x01).Usage(0x06).Application().ReportId(1);
    w.UsagePage(0x07).UsageMin(0xE0).UsageMax(0xE7).LogicalMin(0).LogicalMax(1).ReportSize(1).ReportCount(8);
    w.Input(kData | kVariable);
    w.ReportSize(8).ReportCount(1).Input(kConstant);
    w.UsageMin(0x00).UsageMax(0xFF).LogicalMin(0).LogicalMax(255).ReportCount(6).Input(kData);
    w.EndCollection();

    w.UsagePage(0x01).Usage(0x80).Application().ReportId(2);
    w.UsageMin(0x81).UsageMax(0x83).LogicalMin(0).LogicalMax(1).ReportSize(1).ReportCount(3).Input(kData |
                                                                                                   kVariable);
    w.ReportCount(5).Input(kConstant);
    w.EndCollection();

    // One 16-bit selector: the device's event code; 0 (outside the logical
    // range) is the release report that follows every code.
    w.UsagePage(0x0C).Usage(0x01).Application().ReportId(kConsumerReportId);
    w.UsageMin(0x0001).UsageMax(0x3FFF).LogicalMin(1).LogicalMax(0x3FFF).ReportSize(16).ReportCount(1);
    w.Input(kData);
    w.EndCollection();

    w.UsagePage(0xFF1C).Usage(0x92).Application();
    VendorReports(w);
    w.EndCollection();
    return w.Take();
}

// The headset's interface 3: one consumer collection that carries the vendor
// protocol (ID 4) and the LED output report (ID 0xFF).
std::vector<uint8_t> BuildHeadsetDescriptor() {
    DescriptorWriter w;
    w.UsagePage(0x0C).Usage(0x01).Application();
    VendorReports(w);
    w.ReportId(kHeadsetLedReportId).Usage(0x03).ReportCount(16).Output(kData | kVariable);
    w.EndCollection();
    return w.Take();
}

std::vector<SimCollection> VendorInterfaceCollections() {
    const std::pair<uint8_t, size_t> vendorOut{kVendorCollectionReportId, kVendorReportLength};
    return {
        {1, 0x0001, 0x0006, {1}, {}},
        {2, 0x0001, 0x0080, {2}, {}},
        {3, 0x000C, 0x0001, {kConsumerReportId}, {}},
        {4, 0xFF1C, 0x0092, {kVendorCollectionReportId}, {vendorOut}},
    };
}

std::vector<SimCollection> HeadsetCollections() {
    return {
        {1,
         0x000C,
         0x0001,
         {kVendorCollectionReportId},
         {{kVendorCollectionReportId, kVendorReportLength}, {kHeadsetLedReportId, kHeadsetLedReportLength}}}};
}

// ---- Factory memories ---------------------------------------------------

template <typename Record> void Place(std::vector<uint8_t>& memory, size_t offset, const Record& record) {
    if (offset + sizeof(Record) <= memory.size()) {
        std::memcpy(memory.data() + offset, &record, sizeof(Record));
    }
}

constexpr uint8_t kProfileColours[5][3] = {
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}};

std::vector<uint8_t> FactoryDeviceInfo(const SimModelFacts& facts) {
    DeviceInfoBlock block{};
    block.productId = facts.productId;
    block.firmwareVersion = facts.firmwareVersion;
    block.deviceClass = uint8_t(facts.deviceClass);
    block.keyPositions = facts.keyPositions;
    block.macroSlots = facts.macroSlots;
    block.profileCount = facts.profileCount;
    block.ledCount = facts.ledCount;
    block.sensorId = facts.sensorId;
    block.dpiStepSize = facts.dpiStepSize;
    block.highestDpiStep = facts.highestDpiStep;
    block.dpiBase = facts.dpiBase;
    std::vector<uint8_t> bytes(sizeof(block));
    std::memcpy(bytes.data(), &block, sizeof(block));
    return bytes;
}

KeyboardSettingsRecord FactoryKeyboardRecord(uint8_t profile) {
    KeyboardSettingsRecord r{};
    r.profile = profile;
    r.effect = uint8_t(profile + 1);
    r.brightness = 4;
    r.speedInverse = 2;
    r.multiColour = (profile % 2 == 0) ? 1 : 0;
    r.red = kProfileColours[profile % 5][0];
    r.green = kProfileColours[profile % 5][1];
    r.blue = kProfileColours[profile % 5][2];
    for (uint8_t i = 0; i < sizeof(r.firmware9); ++i) {
        r.firmware9[i] = uint8_t(0x11 + i); // calibration bytes the host must carry back
    }
    r.pollingRate = 3;
    r.firmware23[0] = 0x5A;
    r.firmware23[1] = 0xA5;
    return r;
}

MouseSettingsRecord FactoryMouseRecord(uint8_t profile) {
    MouseSettingsRecord r{};
    r.profile = profile;
    r.effect = uint8_t(profile + 1);
    r.brightness = 4;
    r.speedInverse = 2;
    r.multiColour = 1;
    r.red = kProfileColours[profile % 5][0];
    r.green = kProfileColours[profile % 5][1];
    r.blue = kProfileColours[profile % 5][2];
    r.reportRate = 3;
    r.activeStage = 1;
    // 500, 800, 1600, 3200 and 6500 DPI.
    constexpr uint16_t steps[5] = {4, 7, 15, 31, 56};
    constexpr uint8_t colours[5][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {255, 0, 255}};
    for (size_t i = 0; i < 5; ++i) {
        r.stages[i] = {1, 0, steps[i], steps[i], colours[i][0], colours[i][1], colours[i][2]};
    }
    r.hostFlag = 1;
    r.screenWidth = 1920;
    r.screenHeight = 1080;
    const uint8_t firmware[5] = {0x02, 0x04, 0x01, 0x00, 0x08};
    std::memcpy(r.firmware66, firmware, sizeof(firmware));
    return r;
}

PadSettingsRecord FactoryPadRecord(uint8_t profile) {
    PadSettingsRecord r{};
    r.profile = profile;
    r.effect = profile;
    r.brightness = 4;
    r.speedInverse = 2;
    r.multiColour = 1;
    r.red = kProfileColours[profile % 5][0];
    r.green = kProfileColours[profile % 5][1];
    r.blue = kProfileColours[profile % 5][2];
    r.direction = profile % 2;
    // Each profile's own bytes differ, so that a host carrying the wrong ones back shows.
    for (uint8_t i = 0; i < sizeof(r.firmware9); ++i) {
        r.firmware9[i] = uint8_t(0x10 * (profile + 1) + i + 1);
    }
    return r;
}

std::vector<uint8_t> FactoryParams(const SimModelFacts& facts) {
    std::vector<uint8_t> memory(facts.paramsSize, 0);
    for (uint8_t p = 0; p < facts.profileCount; ++p) {
        const size_t offset = size_t(p) * facts.recordStride;
        switch (facts.deviceClass) {
        case DeviceClass::Keyboard:
            Place(memory, offset, FactoryKeyboardRecord(p));
            break;
        case DeviceClass::Mouse:
            Place(memory, offset, FactoryMouseRecord(p));
            break;
        default:
            Place(memory, offset, FactoryPadRecord(p));
            break;
        }
    }
    memory[0] = 0; // active profile
    return memory;
}

std::vector<uint8_t> FactoryKeyTable(const SimModelFacts& facts) {
    std::vector<uint8_t> memory(512, 0);
    for (size_t p = 0; p < facts.keyPositions; ++p) {
        const int key = ScreenKeyAtPosition(facts, p);
        if (key < 0) {
            continue;
        }
        const KeyFunction f = facts.deviceClass == DeviceClass::Mouse
                                  ? MouseButtonFunction(size_t(key))
                                  : KeyboardScreenKeyFunction(size_t(key));
        std::copy(f.begin(), f.end(), memory.begin() + long(p * 3));
    }
    return memory;
}

// LEDs follow the on-screen numbering, except that the right Shift LED
// (key 95) and the Num 1 LED (key 97) are swapped on the board.
std::vector<uint8_t> FactoryKeyLightMap(const SimModelFacts& facts) {
    std::vector<uint8_t> memory(170, 0xFF);
    if (facts.deviceClass != DeviceClass::Keyboard) {
        return memory; // no per-key LEDs
    }
    for (size_t p = 0; p < facts.keyPositions; ++p) {
        const int key = ScreenKeyAtPosition(facts, p);
        if (key < 0) {
            continue;
        }
        memory[p] = key == 95 ? 97 : key == 97 ? 95 : uint8_t(key);
    }
    return memory;
}

// Table 0 white, table g the colour of g's three low bits (1 red, 2 green, 4 blue).
std::vector<uint8_t> FactoryColours(const SimModelFacts& facts) {
    std::vector<uint8_t> memory(facts.colourTables * 512, 0);
    for (size_t g = 0; g < facts.colourTables; ++g) {
        const uint8_t r = (g == 0 || (g & 1)) ? 255 : 0;
        const uint8_t gr = (g == 0 || (g & 2)) ? 255 : 0;
        const uint8_t b = (g == 0 || (g & 4)) ? 255 : 0;
        for (size_t s = 0; s < 170; ++s) {
            memory[g * 512 + s * 3] = r;
            memory[g * 512 + s * 3 + 1] = gr;
            memory[g * 512 + s * 3 + 2] = b;
        }
    }
    return memory;
}

std::vector<uint8_t> FactoryPower(const SimModelFacts& facts) {
    PowerStatusRecord power{};
    power.batteryPercent = facts.wireless ? 80 : 100;
    power.chargeState = facts.wireless ? 2 : 0;
    std::vector<uint8_t> bytes(sizeof(power));
    std::memcpy(bytes.data(), &power, sizeof(power));
    return bytes;
}

} // namespace

const SimUnitFacts& UnitFacts(SimUnit unit) {
    return BuiltInSimCatalog().Unit(unit);
}

const SimModelFacts& ModelFacts(SimModel model) {
    return BuiltInSimCatalog().Model(model);
}

const std::vector<SimCollection>& UnitCollections(const SimUnitFacts& unit) {
    static const std::vector<SimCollection> vendor = VendorInterfaceCollections();
    static const std::vector<SimCollection> headset = HeadsetCollections();
    return unit.singleCollection ? headset : vendor;
}

const std::vector<SimCollection>& UnitCollections(SimUnit unit) {
    return UnitCollections(UnitFacts(unit));
}

const std::vector<uint8_t>& UnitReportDescriptor(const SimUnitFacts& unit) {
    static const std::vector<uint8_t> vendor = BuildVendorInterfaceDescriptor();
    static const std::vector<uint8_t> headset = BuildHeadsetDescriptor();
    return unit.singleCollection ? headset : vendor;
}

const std::vector<uint8_t>& UnitReportDescriptor(SimUnit unit) {
    return UnitReportDescriptor(UnitFacts(unit));
}

KeyFunction KeyboardScreenKeyFunction(size_t key) {
    return velkor::KeyIdentity(key < kKeyboardScreenKeys ? int(key) : -1).ToTriple();
}

KeyFunction MouseButtonFunction(size_t button) {
    return button < kMouseButtons ? Split(kMouseButtonFunctions[button]) : KeyFunction{0, 0, 0};
}

int ScreenKeyAtPosition(const SimModelFacts& facts, size_t position) {
    if (position >= facts.keyPositions) {
        return -1;
    }
    if (facts.deviceClass == DeviceClass::Mouse) {
        return position < std::size(kMousePositions) ? kMousePositions[position] : -1;
    }
    if (facts.deviceClass != DeviceClass::Keyboard) {
        return -1;
    }
    const size_t key = (position % kMatrixRows) * kMatrixColumns + position / kMatrixRows;
    if (velkor::IsNoKey(int(key))) {
        return -1;
    }
    if (std::find(facts.absentKeys.begin(), facts.absentKeys.end(), int(key)) != facts.absentKeys.end()) {
        return -1;
    }
    return int(key);
}

int ScreenKeyAtPosition(SimModel model, size_t position) {
    return ScreenKeyAtPosition(ModelFacts(model), position);
}

std::vector<uint8_t> FactoryMemory(SimModel model, SimMemory memory) {
    return FactoryMemory(ModelFacts(model), memory);
}

std::vector<uint8_t> FactoryMemory(const SimModelFacts& facts, SimMemory memory) {
    switch (memory) {
    case SimMemory::DeviceInfo:
        return FactoryDeviceInfo(facts);
    case SimMemory::Params:
        return FactoryParams(facts);
    case SimMemory::KeyTable:
        return FactoryKeyTable(facts);
    case SimMemory::KeyLightMap:
        return FactoryKeyLightMap(facts);
    case SimMemory::Colours:
        return FactoryColours(facts);
    case SimMemory::Macro:
        return std::vector<uint8_t>(size_t(facts.macroSlots) * 128, 0);
    case SimMemory::Recoil:
        return std::vector<uint8_t>(facts.recoilSize, 0);
    case SimMemory::Power:
        return FactoryPower(facts);
    case SimMemory::LiveColours:
        return std::vector<uint8_t>(512, 0);
    }
    return {};
}

} // namespace velkor::sim
