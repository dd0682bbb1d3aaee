#include "lighting/LightPanelHandlers.h"

#include "devices/TolvanicUSBDevice.h"
#include "lighting/CLightControlUI.h"
#include "ui/Control.h"
#include "ui/Toolkit.h"

#include <string>

namespace velkor {

namespace {

constexpr uint8_t kChannelMax = 255;

bool IsKeyboard(const CTolvanicUSBDevice& device) {
    return LightFamilyOf(device.State().KindTag()) == LightFamily::Keyboard;
}

// A slider value as a record byte: the sliders run 0..4, anything else is clamped.
uint8_t LevelByte(int value) {
    return uint8_t(value < 0 ? 0 : (value > 4 ? 4 : value));
}

} // namespace

ColourEditValue ParseColourEdit(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
        ++pos;
    }
    if (pos == text.size()) {
        return {0, std::string("0")};
    }
    // A negative number would wrap into a bright channel; it means "none".
    if (text[pos] == '-' && pos + 1 < text.size() && text[pos + 1] >= '0' && text[pos + 1] <= '9') {
        return {0, std::string("0")};
    }
    if (text[pos] == '+') {
        ++pos;
    }
    unsigned value = 0;
    bool digits = false;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        digits = true;
        // Saturates instead of overflowing on long input.
        value = value > kChannelMax ? value : value * 10 + unsigned(text[pos] - '0');
        ++pos;
    }
    if (!digits) {
        return {0, std::nullopt};
    }
    if (value > kChannelMax) {
        return {kChannelMax, std::string("255")};
    }
    return {uint8_t(value), std::nullopt};
}

void PrepareLightPanel(CLightControlUI& panel, const CTolvanicUSBDevice& device) {
    constexpr int kLevelMax = 4;
    panel.SetDeviceKind(device.State().KindTag());
    const DeviceNameLists& lists = device.Paths().NameLists();
    panel.FillModeList(lists.modeNames, lists.modeVisible, kLevelMax, kLevelMax);
    panel.ShowLightInfo(device.State().LightRecord());
}

void LightPanelHandlers::ModeChosen(CTolvanicUSBDevice& device, CLightControlUI& panel) {
    const int mode = panel.CurrentMode();
    if (mode < 0 || mode > 255) {
        return;
    }
    SetSynchronised(device, false);
    panel.SelectMode(mode);
    LightInfoRecord record = device.State().LightRecord();
    record.selectItem = uint8_t(mode);
    CommitLightRecord(device, record, m_screen);
}

void LightPanelHandlers::BrightnessChanged(CTolvanicUSBDevice& device, CLightControlUI& panel) {
    const int value = panel.Brightness();
    SetSynchronised(device, false);
    panel.SetBrightness(value);
    LightInfoRecord record = device.State().LightRecord();
    record.light = LevelByte(value);
    CommitLightRecord(device, record, m_screen);
}

void LightPanelHandlers::SpeedChanged(CTolvanicUSBDevice& device, CLightControlUI& panel) {
    const int value = panel.Speed();
    SetSynchronised(device, false);
    panel.SetSpeed(value);
    LightInfoRecord record = device.State().LightRecord();
    record.speed = LevelByte(value);
    CommitLightRecord(device, record, m_screen);
}

void LightPanelHandlers::ColourEditDone(CTolvanicUSBDevice& device, CLightControlUI& panel, int channel) {
    ui::Control* edit = panel.ColourEdit(channel);
    if (edit == nullptr) {
        return;
    }
    const ColourEditValue parsed = ParseColourEdit(edit->Text());
    if (parsed.rewrite) {
        edit->SetText(*parsed.rewrite);
    }
    LightInfoRecord record = device.State().LightRecord();
    SetLightByte(record, kLightByteRed + size_t(channel), parsed.value);
    record.multiColor = 0;
    SetSynchronised(device, false);
    StoreLightRecord(device, record);
    device.ApplyLightState();
    panel.SetSevenColor(false);
    panel.SetPaletteColour(PanelColourOf(record));
    panel.SetSwatchColour(PanelColourOf(record));
    SendLightSettings(device, m_screen);
}

LightInfoRecord LightPanelHandlers::ApplyColour(CTolvanicUSBDevice& device, CLightControlUI& panel,
                                                uint32_t colour, bool leaveSynchronised) {
    LightInfoRecord record = device.State().LightRecord();
    record.red = uint8_t(colour >> 16);
    record.green = uint8_t(colour >> 8);
    record.blue = uint8_t(colour);
    record.multiColor = 0;
    if (!leaveSynchronised) {
        SetSynchronised(device, false);
    }
    StoreLightRecord(device, record);
    device.ApplyLightState();
    panel.ShowColourEdits(record.red, record.green, record.blue);
    panel.SetSevenColor(false);
    return record;
}

void LightPanelHandlers::PaletteColourChanged(CTolvanicUSBDevice& device, CLightControlUI& panel,
                                              uint32_t colour) {
    ApplyColour(device, panel, colour, false);
    panel.SetPaletteColour(colour);
    panel.SetSwatchColour(colour);
    SendLightSettings(device, m_screen);
}

void LightPanelHandlers::PresetColourChosen(CTolvanicUSBDevice& device, CLightControlUI& panel, int n) {
    const uint32_t colour = panel.PresetColour(n);
    ApplyColour(device, panel, colour, true);
    panel.SetPaletteColour(colour);
    panel.SetSwatchColour(colour);
    SendLightSettings(device, m_screen);
}

void LightPanelHandlers::SevenColorChanged(CTolvanicUSBDevice& device, CLightControlUI& panel) {
    const bool on = panel.SevenColor();
    SetSynchronised(device, false);
    panel.SetSevenColor(on);
    LightInfoRecord record = device.State().LightRecord();
    record.multiColor = on ? 1 : 0;
    CommitLightRecord(device, record, m_screen);
}

void LightPanelHandlers::DirectionChosen(CTolvanicUSBDevice& device, CLightControlUI& panel, bool left) {
    panel.SetDirection(left);
    SetSynchronised(device, false);
    LightInfoRecord record = device.State().LightRecord();
    record.fx = left ? 1 : 0;
    CommitLightRecord(device, record, m_screen);
}

void LightPanelHandlers::ZzccChosen(CTolvanicUSBDevice& device, CLightControlUI& panel) {
    if (!IsKeyboard(device)) {
        return;
    }
    const int index = panel.ZzccIndex();
    if (index < 0 || index > 255) {
        return;
    }
    panel.SetZzccIndex(index);
    LightInfoRecord record = device.State().LightRecord();
    record.ledMode = uint8_t(index);
    CommitLightRecord(device, record, m_screen);
}

void LightPanelHandlers::CustomGroupChosen(CTolvanicUSBDevice& device, CLightControlUI& panel,
                                           KeyboardLightingLink* keyboard) {
    if (!IsKeyboard(device)) {
        return;
    }
    const int group = panel.CustomGroupIndex();
    if (group < 0 || group > 255) {
        return;
    }
    if (keyboard != nullptr) {
        keyboard->SelectCustomGroup(group);
    } else {
        panel.SetCustomGroupIndex(group);
    }
    LightInfoRecord record = device.State().LightRecord();
    record.customGroup = uint8_t(group);
    StoreLightRecord(device, record);
    SendLightSettings(device, m_screen);
    if (keyboard != nullptr) {
        keyboard->ReloadCustomColours();
    }
}

void LightPanelHandlers::PerKeyBrushChosen(CTolvanicUSBDevice& device, bool lit,
                                           KeyboardLightingLink* keyboard) {
    if (IsKeyboard(device) && keyboard != nullptr) {
        keyboard->SetPerKeyBrush(lit);
    }
}

} // namespace velkor
