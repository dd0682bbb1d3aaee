#pragma once
// The global input hook (EvdevInputHook) as a source of the program's input
// hook: keys from every keyboard node it can read, kept from every other
// program, and buttons from every mouse node it can read. A class without a
// readable node is not served, so the next source (the window's tap) serves it.
// User-interface thread.
#include "app/CDeviceHook.h"
#include "platform/input/EvdevInputHook.h"

namespace velkor {

class GlobalInputSource final : public HookInputSource {
public:
    // The dispatcher must outlive the source.
    explicit GlobalInputSource(ui::Dispatcher& dispatcher) : m_hook(dispatcher) {}
    HookSourceKind Kind() const override { return HookSourceKind::Global; }
    InputClasses Begin(ui::InputTap& sink, InputClasses wanted) override;
    void End() override { m_hook.Stop(); }

private:
    EvdevInputHook m_hook;
};

} // namespace velkor
