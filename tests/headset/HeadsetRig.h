#pragma once
// A headset on the simulated family with the simulated audio plugin linked
// in, and the router of its two panels taking what their windows raise.
// Shared by the panel tests on the in-memory toolkit and on Qt.
#include "headset/HeadsetPanelRouter.h"
#include "headset/HeadsetPanels.h"
#include "headset/TolvanicHS6533Device.h"
#include "sim/SimBackend.h"
#include "sim/audio/SimAudioStore.h"
#include "support/AttachRead.h"
#include "support/ScratchFolder.h"
#include "support/ScriptedPrompts.h"
#include "ui/Dispatcher.h"
#include "ui/Window.h"

#include <memory>
#include <string>

namespace velkor::test {

class HeadsetRig {
public:
    // Builds the headset over `skinFolder`'s data (a fresh one on each call)
    // and routes the windows' notifications to the panels' router.
    void Attach(const std::string& skinFolder, CVoice6533ControlUI& audio, ui::Window& audioWindow,
                CMagicControlUI& magic, ui::Window& magicWindow) {
        m_router.reset();
        auto loader = [] { return std::make_unique<AudioLibrary>(sim::SimAudioTable(), nullptr); };
        m_device = MakeDevice<CTolvanicHS6533Device>(
            DeviceServices{m_backend, m_dispatcher, m_ticks, {skinFolder + "/..", m_folder.Path()}}, loader);
        m_device->State().SetProfileIdentifier("p");
        m_device->InitPage();
        ReadAtAttach(*m_device, m_dispatcher);
        m_device->Driver().StopLightThread();
        m_router = std::make_unique<HeadsetPanelRouter>(*m_device, &audio, &magic, m_prompts);
        m_router->ShowDevice();
        audioWindow.AddNotifier(m_forward);
        magicWindow.AddNotifier(m_forward);
    }
    CTolvanicHS6533Device& Device() { return *m_device; }
    HeadsetPanelRouter& Router() { return *m_router; }
    ScriptedPrompts& Prompts() { return m_prompts; }

private:
    class FixedTicks final : public TickClock {
    public:
        uint32_t NowMs() const override { return 5000; }
    };
    class Forward final : public ui::NotifyReceiver {
    public:
        explicit Forward(HeadsetRig& owner) : m_owner(owner) {}
        void Notify(const ui::Notification& n) override {
            if (m_owner.m_router) {
                m_owner.m_router->Route(n);
            }
        }
        HeadsetRig& m_owner;
    };

    ScratchFolder m_folder{"velkor_headset_rig_"};
    sim::SimBackend m_backend{3};
    ui::Dispatcher m_dispatcher;
    FixedTicks m_ticks;
    ScriptedPrompts m_prompts;
    Forward m_forward{*this};
    std::unique_ptr<CTolvanicHS6533Device, DeviceDeleter> m_device;
    std::unique_ptr<HeadsetPanelRouter> m_router;
};

} // namespace velkor::test
