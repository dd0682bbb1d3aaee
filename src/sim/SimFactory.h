#pragma once
// Factory facts of the simulated family: what each USB unit presents
// (identity, release number, collections, report descriptor) and what each
// model's firmware holds when it leaves the factory.
#include "sim/SimTypes.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace velkor::sim {

constexpr uint16_t kFamilyVendorId = 0x320F;
constexpr uint16_t kHeadsetVendorId = 0x0C76;

constexpr uint8_t kVendorCollectionReportId = 0x04;
constexpr uint8_t kConsumerReportId = 0x03;
constexpr uint8_t kHeadsetLedReportId = 0xFF;
constexpr size_t kVendorReportLength = 64;     // report ID + 63 bytes
constexpr size_t kConsumerReportLength = 3;    // report ID + one 16-bit usage
constexpr size_t kHeadsetLedReportLength = 17; // report ID + 16 bytes

// One top-level collection of a unit's interface.
struct SimCollection {
    int number = 0; // 1-based position in the descriptor
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    std::vector<uint8_t> inputReportIds;
    // Output reports this collection accepts: ID and whole length (ID byte included).
    std::vector<std::pair<uint8_t, size_t>> outputReports;
};

struct SimUnitFacts {
    SimUnit unit;
    SimModel model;
    uint16_t vendorId;
    uint16_t productId;
    uint16_t interfaceNumber;
    uint16_t release;      // bcdDevice at the factory
    bool singleCollection; // the headset: one collection, no "&col" in its path
    int commandCollection; // the vendor-protocol collection
    int eventCollection;   // the consumer collection with the event codes; 0 when none
};

struct SimModelFacts {
    SimModel model;
    uint16_t productId;
    uint8_t deviceClass; // 1 keyboard, 2 mouse, 3 mouse pad, 7 headset
    uint8_t keyPositions;
    uint8_t macroSlots;
    uint8_t profileCount;
    uint8_t ledCount;
    uint16_t sensorId;
    uint8_t dpiStepSize;
    uint16_t highestDpiStep;
    uint16_t dpiBase;
    uint16_t firmwareVersion;
    uint16_t recordStride; // where the firmware keeps profile p's record in parameter memory
    uint8_t effectCount;   // effect codes 0 .. effectCount - 1 cycle under SimKey::EffectNext
    bool wireless;         // has a receiver and a battery
    size_t paramsSize;
    size_t colourTables; // colour tables of 512 bytes
    size_t recoilSize;
};

const SimUnitFacts& UnitFacts(SimUnit unit);
const SimModelFacts& ModelFacts(SimModel model);

// The top-level collections of a unit's interface, in descriptor order.
const std::vector<SimCollection>& UnitCollections(SimUnit unit);
// The report descriptor of a unit's interface (every collection).
const std::vector<uint8_t>& UnitReportDescriptor(SimUnit unit);

// The key function (type, modifier mask, usage) of every on-screen keyboard
// key 0..169 as the factory key table carries it: the rows of
// keys/KeyIdentityTable.h, which the keyboard page matches against. Keys
// without a function read 20 00 00.
using KeyFunction = std::array<uint8_t, 3>;
constexpr size_t kKeyboardScreenKeys = 170;
KeyFunction KeyboardScreenKeyFunction(size_t key);
// The eleven mouse buttons, numbered as on screen.
constexpr size_t kMouseButtons = 11;
KeyFunction MouseButtonFunction(size_t button);

// Which on-screen key (keyboard) or button (mouse) sits at a device key
// position of a model; -1 for an empty position.
int ScreenKeyAtPosition(SimModel model, size_t position);

// A memory as the firmware holds it at the factory, at its full size
// (empty when the model has no such memory).
std::vector<uint8_t> FactoryMemory(SimModel model, SimMemory memory);

} // namespace velkor::sim
