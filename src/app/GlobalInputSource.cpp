#include "app/GlobalInputSource.h"

namespace velkor {

InputClasses GlobalInputSource::Begin(ui::InputTap& sink, InputClasses wanted) {
    EvdevHookOptions options;
    options.keys = wanted.keys;
    options.buttons = wanted.buttons;
    options.swallowKeys = wanted.keys;
    ui::InputTap* tap = &sink;
    const EvdevServes served = m_hook.Start(options, [tap](const InputReport& report) {
        const auto kind =
            report.kind == InputReport::Kind::Key ? ui::InputPress::Kind::Key : ui::InputPress::Kind::Button;
        tap->InputTapped(ui::InputPress{kind, report.code, report.down, report.timeUs / 1000});
    });
    return InputClasses{served.keys, served.buttons};
}

} // namespace velkor
