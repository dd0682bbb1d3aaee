#pragma once
// Factory facts of the simulated family: what each USB unit presents
// (identity, release number, collections, report descriptor) and what each
// model's firmware holds when it leaves the factory.
#include "sim/SimCatalog.h"
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

// The built-in family's facts (BuiltInSimCatalog()).
const SimUnitFacts& UnitFacts(SimUnit unit);
const SimModelFacts& ModelFacts(SimModel model);

// The top-level collections of a unit's interface, in descriptor order.
const std::vector<SimCollection>& UnitCollections(const SimUnitFacts& unit);
const std::vector<SimCollection>& UnitCollections(SimUnit unit); // the built-in family's
// The report descriptor of a unit's interface (every collection).
const std::vector<uint8_t>& UnitReportDescriptor(const SimUnitFacts& unit);
const std::vector<uint8_t>& UnitReportDescriptor(SimUnit unit); // the built-in family's

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
int ScreenKeyAtPosition(const SimModelFacts& model, size_t position);
int ScreenKeyAtPosition(SimModel model, size_t position); // the built-in family's

// A memory as the firmware holds it at the factory, at its full size
// (empty when the model has no such memory).
std::vector<uint8_t> FactoryMemory(const SimModelFacts& model, SimMemory memory);
std::vector<uint8_t> FactoryMemory(SimModel model, SimMemory memory); // the built-in family's

} // namespace velkor::sim
