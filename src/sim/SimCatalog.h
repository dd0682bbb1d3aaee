#pragma once
// The simulator's view of a device catalog: the USB units that can be
// plugged (per model, its cable, then its receiver) with what each presents,
// and the models whose firmware answers behind them, with what that firmware
// holds at the factory. Everything is derived from the catalog's model
// descriptions; nothing about a model is written here.
//
// Immutable once built; any thread may read it.
#include "devices/DeviceModels.h"
#include "sim/SimTypes.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::sim {

struct SimUnitFacts {
    SimUnit unit;
    SimModel model;
    std::string name; // in paths and scenario files
    uint16_t vendorId;
    uint16_t productId;
    uint16_t interfaceNumber;
    uint16_t release;      // bcdDevice at the factory
    bool receiver;         // a 2.4 GHz receiver, not the device's cable
    bool singleCollection; // one collection, no "&col" in its path (the headset)
    int commandCollection; // the vendor-protocol collection
    int eventCollection;   // the consumer collection with the event codes; 0 when none
};

struct SimModelFacts {
    SimModel model;
    std::string name;
    uint16_t productId;
    DeviceClass deviceClass;
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
    std::span<const int> absentKeys; // on-screen keys the board lacks
};

class SimCatalog {
public:
    // The catalog must outlive this.
    explicit SimCatalog(const DeviceCatalog& devices);

    const DeviceCatalog& Devices() const { return m_devices; }
    size_t UnitCount() const { return m_units.size(); }
    size_t ModelCount() const { return m_models.size(); }
    std::span<const SimUnitFacts> Units() const { return m_units; }
    std::span<const SimModelFacts> Models() const { return m_models; }
    bool Has(SimUnit unit) const { return size_t(unit) < m_units.size(); }
    bool Has(SimModel model) const { return size_t(model) < m_models.size(); }
    // Expect a unit or model of this catalog (Has).
    const SimUnitFacts& Unit(SimUnit unit) const { return m_units[size_t(unit)]; }
    const SimModelFacts& Model(SimModel model) const { return m_models[size_t(model)]; }

    std::optional<SimUnit> UnitFromName(std::string_view name) const;
    std::optional<SimModel> ModelFromName(std::string_view name) const;
    SimUnit CableUnitOf(SimModel model) const;
    std::optional<SimUnit> ReceiverUnitOf(SimModel model) const;

private:
    const DeviceCatalog& m_devices;
    std::vector<SimUnitFacts> m_units;
    std::vector<SimModelFacts> m_models;
};

// The simulator's view of BuiltInCatalog(), built once.
const SimCatalog& BuiltInSimCatalog();

} // namespace velkor::sim
