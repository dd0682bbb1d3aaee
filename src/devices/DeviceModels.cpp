#include "devices/DeviceModels.h"

#include <cstdio>
#include <set>
#include <utility>

namespace velkor {

namespace {

constexpr uint16_t kFamilyVendor = 0x320F;
constexpr uint16_t kHeadsetVendor = 0x0C76;

// The 0x50B7 board lacks the Japanese and Korean keys.
constexpr int kAbsentOn50B7[] = {79, 80, 81, 82, 83, 100, 101, 103};

ModelDescription Mouse() {
    ModelDescription m;
    m.name = "mouse";
    m.deviceClass = DeviceClass::Mouse;
    m.vendorId = kFamilyVendor;
    m.cable = {.productId = 0x7070, .partnerProductId = 0x221D, .release = 0x0210};
    m.receiver =
        UnitDescription{.productId = 0x221D, .partnerProductId = 0x7070, .chunkSize = 24, .release = 0x0105};
    m.createdAtStart = true;
    m.typeName = "mouse";
    m.nameKey = "device_name_mouse";
    m.modelCode = 1;
    m.lightCount = 15;
    m.keyCount = 11;
    m.battery = true;
    m.pageLayout = "XML\\DeviceXml\\mousedevice.xml";
    m.picture = "devices/pictures/mouse.svg";
    m.itemPicture = "devices/pictures/mouse-small.svg";
    // Sensor 0x3325 runs in steps of 100 DPI from 100 up to step 48 and in
    // steps of 200 above (9900 DPI at step 73).
    m.firmware = {.keyPositions = 12,
                  .macroSlots = 16,
                  .ledCount = 15,
                  .sensorId = 0x3325,
                  .dpiStepSize = 100,
                  .highestDpiStep = 73,
                  .dpiBase = 100,
                  .firmwareVersion = 0x0210,
                  .recordStride = 128,
                  .effectCount = 10,
                  .paramsSize = 1024,
                  .recoilSize = 4096};
    return m;
}

ModelDescription Keyboard(uint16_t product, const char* name, const char* nameKey, uint16_t firmwareVersion,
                          const char* picture, const char* itemPicture) {
    ModelDescription m;
    m.name = name;
    m.deviceClass = DeviceClass::Keyboard;
    m.vendorId = kFamilyVendor;
    m.cable = {.productId = product, .partnerProductId = 0x50A9, .release = firmwareVersion};
    m.typeName = "keyboard";
    m.nameKey = nameKey;
    m.modelCode = 0;
    m.lightCount = 170;
    m.keyCount = 170;
    m.pageLayout = "XML\\DeviceXml\\keyboarddevice.xml";
    m.picture = picture;
    m.itemPicture = itemPicture;
    m.firmware = {.keyPositions = 126,
                  .macroSlots = 20,
                  .ledCount = 126,
                  .firmwareVersion = firmwareVersion,
                  .effectCount = 20,
                  .colourTables = 8};
    return m;
}

ModelDescription Keyboard50B7() {
    ModelDescription m =
        Keyboard(0x50B7, "keyboard", "device_name_keyboard_50B7", 0x0104,
                 "devices/pictures/keyboard-50b7.svg", "devices/pictures/keyboard-50b7-small.svg");
    m.receiver =
        UnitDescription{.productId = 0x50A9, .partnerProductId = 0x50B7, .chunkSize = 24, .release = 0x0102};
    m.createdAtStart = true;
    m.firmware.absentKeys = kAbsentOn50B7;
    return m;
}

ModelDescription Keyboard511D() {
    // Cable only; it names the 0x50B7 board's receiver as partner, which does not name it back.
    ModelDescription m =
        Keyboard(0x511D, "keyboard-511d", "device_name_keyboard_511D", 0x0101,
                 "devices/pictures/keyboard-511d.svg", "devices/pictures/keyboard-511d-small.svg");
    m.regionalLayouts = true;
    return m;
}

ModelDescription MousePad() {
    ModelDescription m;
    m.name = "mousepad";
    m.deviceClass = DeviceClass::MousePad;
    m.vendorId = kFamilyVendor;
    m.cable = {.productId = 0x1004, .chunkSize = 24, .release = 0x0100};
    m.typeName = "MousePad";
    m.nameKey = "device_name_mousepad";
    m.modelCode = 2;
    m.lightCount = 15;
    m.pageLayout = "XML\\DeviceXml\\mousepaddevice.xml";
    m.picture = "devices/pictures/mousepad.svg";
    m.itemPicture = "devices/pictures/mousepad-small.svg";
    m.firmware = {.ledCount = 15, .firmwareVersion = 0x0100};
    return m;
}

ModelDescription Headset() {
    ModelDescription m;
    m.name = "headset";
    m.deviceClass = DeviceClass::Headset;
    m.vendorId = kHeadsetVendor;
    // Interface 3 is one consumer collection that also carries the vendor protocol.
    m.cable = {.productId = 0x1630,
               .interfaceNumber = 3,
               .commandCollection = 0,
               .commandUsagePage = 0x000C,
               .commandUsage = 0x01,
               .eventCollection = 0,
               .chunkSize = 24,
               .release = 0x0112};
    m.typeName = "HD";
    m.nameKey = "device_name_headset";
    m.modelCode = 3;
    m.lightCount = 13;
    m.pageLayout = "XML\\DeviceXml\\hs6533device.xml";
    m.picture = "devices/pictures/headset.svg";
    m.itemPicture = "devices/pictures/headset-small.svg";
    m.firmware = {.ledCount = 13, .firmwareVersion = 0x0112};
    return m;
}

SupportedDevice InterfaceRow(uint16_t vendorId, const UnitDescription& unit, DeviceKind kind, uint16_t role) {
    SupportedDevice row;
    row.vendorId = vendorId;
    row.productId = unit.productId;
    row.interfaceNumber = unit.interfaceNumber;
    row.kind = kind;
    row.role = role;
    if (role == kRoleCommand) {
        row.collectionNumber = unit.commandCollection;
        row.usagePage = unit.commandUsagePage;
        row.usage = unit.commandUsage;
    } else {
        row.collectionNumber = unit.eventCollection;
        row.usagePage = 0x000C;
        row.usage = 0x01;
    }
    return row;
}

} // namespace

bool SupportedDevice::SameIdentity(const SupportedDevice& o) const {
    return vendorId == o.vendorId && productId == o.productId && interfaceNumber == o.interfaceNumber &&
           collectionNumber == o.collectionNumber && kind == o.kind && role == o.role &&
           usagePage == o.usagePage && usage == o.usage;
}

DeviceKind KindOfUnit(DeviceClass deviceClass, bool receiver) {
    switch (deviceClass) {
    case DeviceClass::Keyboard:
        return receiver ? DeviceKind::KeyboardReceiver : DeviceKind::Keyboard;
    case DeviceClass::Mouse:
        return receiver ? DeviceKind::MouseReceiver : DeviceKind::Mouse;
    case DeviceClass::MousePad:
        return DeviceKind::MousePad;
    case DeviceClass::Headset:
    case DeviceClass::None:
        break;
    }
    return DeviceKind::Headset;
}

DeviceClass ClassOfKind(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::Keyboard:
    case DeviceKind::KeyboardReceiver:
        return DeviceClass::Keyboard;
    case DeviceKind::Mouse:
    case DeviceKind::MouseReceiver:
        return DeviceClass::Mouse;
    case DeviceKind::MousePad:
        return DeviceClass::MousePad;
    case DeviceKind::Headset:
        return DeviceClass::Headset;
    }
    return DeviceClass::None;
}

std::string_view ClassWord(DeviceClass deviceClass) {
    switch (deviceClass) {
    case DeviceClass::Keyboard:
        return "keyboard";
    case DeviceClass::Mouse:
        return "mouse";
    case DeviceClass::MousePad:
        return "mousepad";
    case DeviceClass::Headset:
        return "headset";
    case DeviceClass::None:
        break;
    }
    return "";
}

DeviceCatalog::DeviceCatalog(std::vector<ModelDescription> models) : m_models(std::move(models)) {
    for (size_t m = 0; m < m_models.size(); ++m) {
        const ModelDescription& model = m_models[m];
        auto addUnit = [&](const UnitDescription& unit, bool receiver) {
            const DeviceKind kind = KindOfUnit(model.deviceClass, receiver);
            m_interfaces.push_back(InterfaceRow(model.vendorId, unit, kind, kRoleCommand));
            m_modelOfInterface.push_back(int(m));
            if (unit.eventCollection != 0) {
                m_interfaces.push_back(InterfaceRow(model.vendorId, unit, kind, kRoleEvent));
                m_modelOfInterface.push_back(int(m));
            }
        };
        addUnit(model.cable, false);
        if (model.receiver) {
            addUnit(*model.receiver, true);
        }
    }
    // Partners by product ID: the row of the same role under the partner's product.
    for (SupportedDevice& row : m_interfaces) {
        const UnitDescription* unit = FindUnit(row.vendorId, row.productId);
        if (unit == nullptr || unit->partnerProductId == 0) {
            continue;
        }
        for (size_t p = 0; p < m_interfaces.size(); ++p) {
            const SupportedDevice& other = m_interfaces[p];
            if (other.vendorId == row.vendorId && other.productId == unit->partnerProductId &&
                other.role == row.role) {
                row.hasPartner = 1;
                row.partner = uint16_t(p);
                break;
            }
        }
    }
}

const ModelDescription* DeviceCatalog::Model(int row) const {
    return row >= 0 && size_t(row) < m_models.size() ? &m_models[size_t(row)] : nullptr;
}

const SupportedDevice* DeviceCatalog::Interface(int row) const {
    return row >= 0 && size_t(row) < m_interfaces.size() ? &m_interfaces[size_t(row)] : nullptr;
}

int DeviceCatalog::ModelOfInterface(int row) const {
    return row >= 0 && size_t(row) < m_modelOfInterface.size() ? m_modelOfInterface[size_t(row)] : -1;
}

template <class Match> int DeviceCatalog::FindInterface(Match match) const {
    for (size_t i = 0; i < m_interfaces.size(); ++i) {
        if (match(m_interfaces[i])) {
            return int(i);
        }
    }
    return -1;
}

int DeviceCatalog::FindSupportedRow(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber,
                                    uint16_t collection, uint16_t usagePage, uint16_t usage) const {
    return FindInterface([&](const SupportedDevice& row) {
        return row.vendorId == vendorId && row.productId == productId &&
               row.interfaceNumber == interfaceNumber && row.collectionNumber == collection &&
               row.usagePage == usagePage && row.usage == usage;
    });
}

int DeviceCatalog::FindPathRow(uint16_t vendorId, uint16_t productId, uint16_t interfaceNumber,
                               uint16_t collection) const {
    return FindInterface([&](const SupportedDevice& row) {
        return row.vendorId == vendorId && row.productId == productId &&
               row.interfaceNumber == interfaceNumber && row.collectionNumber == collection;
    });
}

int DeviceCatalog::FindSlot(uint16_t vendorId, uint16_t productId, DeviceKind kind, uint16_t role) const {
    return FindInterface([&](const SupportedDevice& row) {
        return row.vendorId == vendorId && row.productId == productId && row.kind == kind && row.role == role;
    });
}

int DeviceCatalog::FindModel(uint32_t vendorId, uint32_t productId, DeviceClass deviceClass,
                             uint32_t variant) const {
    for (size_t i = 0; i < m_models.size(); ++i) {
        const ModelDescription& model = m_models[i];
        if (model.vendorId == vendorId && model.cable.productId == productId &&
            model.deviceClass == deviceClass && model.variant == variant) {
            return int(i);
        }
    }
    return -1;
}

const UnitDescription* DeviceCatalog::FindUnit(uint16_t vendorId, uint16_t productId) const {
    for (const ModelDescription& model : m_models) {
        if (model.vendorId != vendorId) {
            continue;
        }
        if (model.cable.productId == productId) {
            return &model.cable;
        }
        if (model.receiver && model.receiver->productId == productId) {
            return &*model.receiver;
        }
    }
    return nullptr;
}

std::vector<std::string> DeviceCatalog::Problems() const {
    std::vector<std::string> problems;
    auto say = [&](const ModelDescription& model, const char* what) {
        problems.push_back(std::string(model.name) + ": " + what);
    };
    std::set<std::pair<uint16_t, uint16_t>> units;
    std::set<std::string> names;
    for (const ModelDescription& model : m_models) {
        if (!names.insert(model.name).second) {
            say(model, "name given twice");
        }
        if (model.deviceClass == DeviceClass::None) {
            say(model, "no device class");
        }
        if (*model.pageLayout == '\0' || *model.typeName == '\0' || *model.nameKey == '\0') {
            say(model, "page layout, type name or name key missing");
        }
        if (*model.picture == '\0' || *model.itemPicture == '\0') {
            say(model, "drawing of its page or list item missing");
        }
        if (model.receiver && model.deviceClass != DeviceClass::Keyboard &&
            model.deviceClass != DeviceClass::Mouse) {
            say(model, "only keyboards and mice have receivers");
        }
        for (const UnitDescription* unit : {&model.cable, model.receiver ? &*model.receiver : nullptr}) {
            if (unit == nullptr) {
                continue;
            }
            if (!units.insert({model.vendorId, unit->productId}).second) {
                say(model, "product ID used by two units");
            }
            if (unit->partnerProductId != 0 && FindUnit(model.vendorId, unit->partnerProductId) == nullptr) {
                say(model, "partner product ID that no unit has");
            }
            if (unit->chunkSize == 0 || unit->chunkSize > 56) {
                say(model, "chunk size outside 1..56");
            }
        }
        if (model.lightCount < 0 || model.lightCount > 170 || model.keyCount < 0 || model.keyCount > 170) {
            say(model, "light or key count outside 0..170");
        }
    }
    return problems;
}

std::vector<ModelDescription> BuiltInModels() {
    return {Mouse(), Keyboard50B7(), MousePad(), Headset(), Keyboard511D()};
}

const DeviceCatalog& BuiltInCatalog() {
    static const DeviceCatalog catalog(BuiltInModels());
    return catalog;
}

} // namespace velkor
