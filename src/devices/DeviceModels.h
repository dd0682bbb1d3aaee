#pragma once
// The family as data: one description per physical model, with the USB
// units it is reached through (its cable and, for a wireless model, its
// 2.4 GHz receiver), what its list item and page are built from, and what the
// simulator answers for it.
//
// Everything else follows from it: the supported-device table (one row per
// interface, partners by product ID), the slot list, the device list's model
// rows, the simulator's units and models; the udev rule and the metainfo are
// checked against it by the packaging tests. A new model is one description
// in BuiltInModels() (DeviceModels.cpp), its page layout, its drawings and its
// name in both language files.
//
// A catalog never changes once built; any thread may read it. The program
// uses BuiltInCatalog(); tests may build their own (a made-up model added)
// and hand it to discovery and the simulator.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// What an interface row says it reaches.
enum class DeviceKind : uint16_t {
    Keyboard = 1, // keyboard on its cable
    Mouse = 2,    // mouse on its cable
    MousePad = 3,
    MouseReceiver = 6, // mouse through its receiver
    Headset = 7,
    KeyboardReceiver = 9, // keyboard through its receiver
};

// The device classes: the kind tag of the class a page layout names.
enum class DeviceClass : uint8_t {
    None = 0,
    Keyboard = 1,
    Mouse = 2,
    MousePad = 3,
    Headset = 7,
};

enum : uint16_t { kRoleCommand = 0, kRoleEvent = 0xFF };

// One row of the supported-device table (and, with attached/path, of the slot list).
struct SupportedDevice {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t interfaceNumber = 0;
    uint16_t collectionNumber = 0;
    DeviceKind kind = DeviceKind::Keyboard;
    uint16_t role = kRoleCommand;
    uint16_t attached = 0;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    uint16_t hasPartner = 0;
    uint16_t partner = 0;
    std::string path;

    // Identity: everything but attached, the partner fields and the path.
    bool SameIdentity(const SupportedDevice& other) const;
};

// One USB device that is plugged on its own: a cable, or a receiver.
struct UnitDescription {
    uint16_t productId = 0;
    uint16_t interfaceNumber = 1;
    // The vendor-protocol collection (1-based); 0: the interface is one
    // collection and its paths carry no "&col".
    uint16_t commandCollection = 4;
    uint16_t commandUsagePage = 0xFF1C;
    uint16_t commandUsage = 0x92;
    // The consumer collection that carries the device's event codes; 0: none.
    uint16_t eventCollection = 3;
    // The same physical device under another product ID (cable versus
    // receiver); 0: none. Need not name this unit back.
    uint16_t partnerProductId = 0;
    // Bytes per paged-transfer chunk on this unit: 56 on a cable, 24 through
    // a receiver and on units that never select their channel.
    uint16_t chunkSize = 56;
    // The simulator's USB release number (bcdDevice).
    uint16_t release = 0x0100;
};

// What the simulator's firmware holds for a model when it leaves the factory.
struct SimulatedFirmware {
    uint8_t keyPositions = 0;
    uint8_t macroSlots = 0;
    uint8_t profileCount = 5;
    uint8_t ledCount = 0;
    uint16_t sensorId = 0;
    uint8_t dpiStepSize = 0;
    uint16_t highestDpiStep = 0;
    uint16_t dpiBase = 0;
    uint16_t firmwareVersion = 0x0100;
    uint16_t recordStride = 28; // where profile p's record sits in parameter memory
    uint8_t effectCount = 9;    // effect codes 0 .. effectCount - 1 cycle under the effect key
    uint32_t paramsSize = 512;
    uint32_t colourTables = 1; // of 512 bytes
    uint32_t recoilSize = 0;
    // On-screen keys the board does not have (a keyboard's key matrix otherwise covers all).
    std::span<const int> absentKeys;
};

struct ModelDescription {
    // Stable lower-case name: the simulator's model and cable unit ("keyboard-511d");
    // its receiver unit is the name + "-receiver".
    const char* name = "";
    DeviceClass deviceClass = DeviceClass::None;
    uint16_t vendorId = 0;
    UnitDescription cable;
    std::optional<UnitDescription> receiver;
    // The device object exists, hidden, from start-up on.
    bool createdAtStart = false;

    // What its device object is built from.
    const char* typeName = ""; // "mouse", "keyboard", "MousePad", "HD": also its folder name
    const char* nameKey = "";  // language key of the model's name, shown on its item and page
    uint32_t modelCode = 0;    // its entry in the mode lists
    uint32_t variant = 0;
    const char* listItemLayout = "XML\\CustomControlXML\\DeviceOption.xml";
    const char* tabGroup = "tab_header_device";         // the option group of the list items
    const char* powerContainer = "device_power_switch"; // where the power panel goes
    int lightCount = 0;
    int keyCount = 0;
    bool battery = false;
    int extra = -1;              // the mouse's extra value
    const char* pageLayout = ""; // its top control names the device class
    // Its drawings, as image descriptions of the skin: the page's key
    // pictures (its selection panels) show `picture` under their keys and
    // LEDs; the list item shows `itemPicture`.
    const char* picture = "";
    const char* itemPicture = "";
    const char* lightSettingsName = "ornic_light";
    // The board shows a regional key layout page per user-interface language.
    bool regionalLayouts = false;

    SimulatedFirmware firmware;
};

// The supported-device table's kind of a unit: the class's cable or receiver kind.
DeviceKind KindOfUnit(DeviceClass deviceClass, bool receiver);
// The class an interface kind belongs to: a receiver kind maps to its cable kind's class.
DeviceClass ClassOfKind(DeviceKind kind);
// "keyboard", "mouse", "mousepad", "headset"; "" for None.
std::string_view ClassWord(DeviceClass deviceClass);

class DeviceCatalog {
public:
    // Derives the interface rows: per model in order, the cable's command and
    // event interface, then the receiver's. A partner is the row of the same
    // role under the partner product ID.
    explicit DeviceCatalog(std::vector<ModelDescription> models);

    std::span<const ModelDescription> Models() const { return m_models; }
    // Null outside the table.
    const ModelDescription* Model(int row) const;
    // The supported-device table.
    std::span<const SupportedDevice> Interfaces() const { return m_interfaces; }
    const SupportedDevice* Interface(int row) const;
    // The model an interface row belongs to, or -1.
    int ModelOfInterface(int row) const;

    // The row with these six values, or -1.
    int FindSupportedRow(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber, uint16_t collection,
                         uint16_t usagePage, uint16_t usage) const;
    // The row with this vendor, product, interface and collection number, or -1.
    int FindPathRow(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber,
                    uint16_t collection) const;
    // The first row with this vendor, product, kind and role, or -1.
    int FindSlot(uint16_t vendorId, uint16_t productId, DeviceKind kind, uint16_t role) const;
    // The first model with these four values, or -1.
    int FindModel(uint32_t vendorId, uint32_t productId, DeviceClass deviceClass, uint32_t variant) const;
    // The unit with this vendor and product ID (cable or receiver), or null.
    const UnitDescription* FindUnit(uint16_t vendorId, uint16_t productId) const;

    // What is wrong with the descriptions (two units with one product ID, a
    // partner product nobody has, a page without a layout, ...); empty when sound.
    std::vector<std::string> Problems() const;

private:
    // The first interface row `match` accepts, or -1.
    template <class Match> int FindInterface(Match match) const;

    std::vector<ModelDescription> m_models;
    std::vector<SupportedDevice> m_interfaces;
    std::vector<int> m_modelOfInterface;
};

// The family's models, in the device list's order.
std::vector<ModelDescription> BuiltInModels();
// A catalog of BuiltInModels(), built once.
const DeviceCatalog& BuiltInCatalog();

} // namespace velkor
