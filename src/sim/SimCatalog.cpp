#include "sim/SimCatalog.h"

namespace velkor::sim {

namespace {

SimUnitFacts UnitFactsOf(SimUnit unit, SimModel model, const ModelDescription& description,
                         const UnitDescription& usb, bool receiver) {
    const bool single = usb.commandCollection == 0;
    std::string name = description.name;
    if (receiver) {
        name += "-receiver";
    }
    return {unit,
            model,
            std::move(name),
            description.vendorId,
            usb.productId,
            usb.interfaceNumber,
            usb.release,
            receiver,
            single,
            single ? 1 : int(usb.commandCollection),
            int(usb.eventCollection)};
}

SimModelFacts ModelFactsOf(SimModel model, const ModelDescription& description) {
    const SimulatedFirmware& f = description.firmware;
    return {model,
            description.name,
            description.cable.productId,
            description.deviceClass,
            f.keyPositions,
            f.macroSlots,
            f.profileCount,
            f.ledCount,
            f.sensorId,
            f.dpiStepSize,
            f.highestDpiStep,
            f.dpiBase,
            f.firmwareVersion,
            f.recordStride,
            f.effectCount,
            description.receiver.has_value(),
            f.paramsSize,
            f.colourTables,
            f.recoilSize,
            f.absentKeys};
}

} // namespace

SimCatalog::SimCatalog(const DeviceCatalog& devices) : m_devices(devices) {
    const auto models = devices.Models();
    for (size_t m = 0; m < models.size(); ++m) {
        const SimModel model = SimModel(m);
        m_models.push_back(ModelFactsOf(model, models[m]));
        m_units.push_back(UnitFactsOf(SimUnit(m_units.size()), model, models[m], models[m].cable, false));
        if (models[m].receiver) {
            m_units.push_back(
                UnitFactsOf(SimUnit(m_units.size()), model, models[m], *models[m].receiver, true));
        }
    }
}

std::optional<SimUnit> SimCatalog::UnitFromName(std::string_view name) const {
    for (const SimUnitFacts& unit : m_units) {
        if (unit.name == name) {
            return unit.unit;
        }
    }
    return std::nullopt;
}

std::optional<SimModel> SimCatalog::ModelFromName(std::string_view name) const {
    for (const SimModelFacts& model : m_models) {
        if (model.name == name) {
            return model.model;
        }
    }
    return std::nullopt;
}

SimUnit SimCatalog::CableUnitOf(SimModel model) const {
    for (const SimUnitFacts& unit : m_units) {
        if (unit.model == model && !unit.receiver) {
            return unit.unit;
        }
    }
    return SimUnit(0);
}

std::optional<SimUnit> SimCatalog::ReceiverUnitOf(SimModel model) const {
    for (const SimUnitFacts& unit : m_units) {
        if (unit.model == model && unit.receiver) {
            return unit.unit;
        }
    }
    return std::nullopt;
}

const SimCatalog& BuiltInSimCatalog() {
    static const SimCatalog catalog(BuiltInCatalog());
    return catalog;
}

// ---- The built-in family's names (SimTypes.h) ----

std::string_view UnitName(SimUnit unit) {
    const SimCatalog& catalog = BuiltInSimCatalog();
    return catalog.Has(unit) ? std::string_view(catalog.Unit(unit).name) : std::string_view();
}

std::optional<SimUnit> UnitFromName(std::string_view name) {
    return BuiltInSimCatalog().UnitFromName(name);
}

std::string_view ModelName(SimModel model) {
    const SimCatalog& catalog = BuiltInSimCatalog();
    return catalog.Has(model) ? std::string_view(catalog.Model(model).name) : std::string_view();
}

std::optional<SimModel> ModelFromName(std::string_view name) {
    return BuiltInSimCatalog().ModelFromName(name);
}

SimModel ModelOfUnit(SimUnit unit) {
    return BuiltInSimCatalog().Unit(unit).model;
}

bool IsReceiver(SimUnit unit) {
    return BuiltInSimCatalog().Unit(unit).receiver;
}

SimUnit CableUnitOf(SimModel model) {
    return BuiltInSimCatalog().CableUnitOf(model);
}

std::optional<SimUnit> ReceiverUnitOf(SimModel model) {
    return BuiltInSimCatalog().ReceiverUnitOf(model);
}

} // namespace velkor::sim
