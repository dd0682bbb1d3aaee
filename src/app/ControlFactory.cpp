#include "app/ControlFactory.h"

#include <array>

namespace velkor {

namespace {

constexpr std::array<std::string_view, 24> kProgramControlClasses = {
    "CCircleProgressUI",
    "CChartViewUI",
    "CWndUI",
    "CSelectPanelUI",
    "CDeviceKeyButtonUI",
    "CCloudShareListItemUI",
    "CUpdateInfoListItemUI",
    "CDeviceOptionUI",
    "CMpDevicePowerUI",
    "CComboEditContainerElementUI",
    "CHandImgButtonUI",
    "CHandImgSelectButtonUI",
    "CRedioMacroButtonUI",
    "CAudioRecordUI",
    "CLightControlUI",
    "CMacroControlUI",
    "CKeySetControlUI",
    "CDeviceProfileUI",
    "CShootControlUI",
    "CMagicControlUI",
    "CVoice6533ControlUI",
    "CTolvanicUSBDevice",
    "CTolvanicMousePadDevice",
    "CTolvanicHS6533Device",
};

} // namespace

bool ControlFactory::Register(std::string className, Maker maker) {
    if (className.empty() || Knows(className)) {
        return false;
    }
    m_order.push_back(className);
    m_makers.emplace(std::move(className), std::move(maker));
    return true;
}

bool ControlFactory::SetMaker(std::string_view className, Maker maker) {
    const auto found = m_makers.find(className);
    if (found == m_makers.end()) {
        return false;
    }
    found->second = std::move(maker);
    return true;
}

bool ControlFactory::Knows(std::string_view className) const {
    return m_makers.find(className) != m_makers.end();
}

std::unique_ptr<ControlObject> ControlFactory::Create(std::string_view className,
                                                      ui::Control& control) const {
    const auto found = m_makers.find(className);
    if (found == m_makers.end() || !found->second) {
        return nullptr;
    }
    return found->second(control);
}

std::span<const std::string_view> ProgramControlClasses() {
    return kProgramControlClasses;
}

int RegisterProgramControlClasses(ControlFactory& factory) {
    int added = 0;
    for (std::string_view name : kProgramControlClasses) {
        added += factory.Register(std::string(name)) ? 1 : 0;
    }
    return added;
}

bool FactoryControlCreator::CanCreate(std::string_view className) const {
    return m_factory.Knows(className) || (m_fallback != nullptr && m_fallback->CanCreate(className));
}

void FactoryControlCreator::ControlCreated(std::string_view className, ui::Control& control) {
    if (m_factory.Knows(className)) {
        if (std::unique_ptr<ControlObject> object = m_factory.Create(className, control)) {
            m_objects.emplace_back(&control, std::move(object));
        }
        return;
    }
    if (m_fallback != nullptr) {
        m_fallback->ControlCreated(className, control);
    }
}

ControlObject* FactoryControlCreator::ObjectOf(const ui::Control& control) const {
    for (const auto& [owner, object] : m_objects) {
        if (owner == &control) {
            return object.get();
        }
    }
    return nullptr;
}

} // namespace velkor
