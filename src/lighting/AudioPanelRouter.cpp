#include "lighting/AudioPanelRouter.h"

#include "devices/TolvanicUSBDevice.h"
#include "lighting/AudioLightControls.h"
#include "lighting/CLightControlUI.h"
#include "lighting/LightPanelHandlers.h"
#include "platform/Trace.h"
#include "ui/Control.h"
#include "ui/ControlClasses.h"

#include <cstdio>

namespace velkor {

namespace {

using Controls = AudioLightControls;

int PresetNumber(std::string_view name) {
    std::string prefix;
    int number = -1;
    if (!ui::SplitFamilyName(name, prefix, number) || prefix != Controls::kPresetPrefix) {
        return -1;
    }
    return number;
}

template <size_t N> int IndexIn(const std::string_view (&names)[N], std::string_view name) {
    for (size_t i = 0; i < N; ++i) {
        if (names[i] == name) {
            return int(i);
        }
    }
    return -1;
}

} // namespace

bool AudioPanelRouter::IsAudioNotification(std::string_view type, std::string_view name) {
    if (type == ui::kNotifyItemSelect) {
        return name == Controls::kCombo;
    }
    if (type == ui::kNotifySelectChanged) {
        return name == Controls::kMulticolourCheck || name == Controls::kBackgroundOption ||
               name == Controls::kForegroundOption;
    }
    if (type == ui::kNotifyColorChanged) {
        return name == Controls::kPalette;
    }
    if (type == ui::kNotifyKillFocus) {
        return IndexIn(Controls::kEdits, name) >= 0;
    }
    if (type == ui::kNotifyClick) {
        return PresetNumber(name) >= 0 || name == Controls::kClearBackground ||
               name == Controls::kMusicButton;
    }
    if (type == ui::kNotifyValueChanged) {
        return IndexIn(Controls::kToolSliders, name) >= 0;
    }
    return false;
}

bool AudioPanelRouter::Route(const ui::Notification& notification) {
    if (notification.sender == nullptr) {
        return false;
    }
    const std::string& name = notification.sender->Name();
    const std::string_view type = notification.type;
    if (!IsAudioNotification(type, name)) {
        return false;
    }
    CTolvanicUSBDevice* device = m_selectedDevice ? m_selectedDevice() : nullptr;
    CLightControlUI* panel = device != nullptr ? m_panels.PanelOf(*device) : nullptr;
    if (panel == nullptr || !panel->Panel().Contains(notification.sender)) {
        return false;
    }
    if (type == ui::kNotifyValueChanged) {
        ToolSliderMoved(*notification.sender, IndexIn(Controls::kToolSliders, name));
        return true;
    }
    if (name == Controls::kMusicButton) {
        if (m_openMusicSettings) {
            m_openMusicSettings();
        }
        return true;
    }
    Controls controls(panel->Panel());
    controls.SetStored(device->GetAudioLightValues()); // what the controls do not say stays
    if (type == ui::kNotifyItemSelect || name == Controls::kMulticolourCheck) {
        Commit(*device, controls, Swatch::Take, {});
    } else if (type == ui::kNotifySelectChanged) {
        Commit(*device, controls, Swatch::Leave, {});
    } else if (type == ui::kNotifyColorChanged) {
        ColourChosen(*device, controls, uint32_t(notification.wParam));
    } else if (type == ui::kNotifyKillFocus) {
        EditDone(*device, controls, IndexIn(Controls::kEdits, name));
    } else if (name == Controls::kClearBackground) {
        Commit(*device, controls, Swatch::Take, [](AudioLightWords& words) { words.background = 0; });
    } else {
        ColourChosen(*device, controls, controls.PresetColour(PresetNumber(name)));
    }
    return true;
}

void AudioPanelRouter::Commit(CTolvanicUSBDevice& device, AudioLightControls& controls, Swatch swatch,
                              const std::function<void(AudioLightWords&)>& change) {
    AudioLightValues values{};
    if (!controls.Read(swatch == Swatch::Take, values)) {
        return; // a layout without the audio controls: nothing to commit
    }
    AudioLightWords words = AudioLightWords::From(values);
    if (change) {
        change(words);
    }
    device.SetAudioLightValues(words.Values());
    ProfileIo* profile = Capability<ProfileIo>(device);
    if (profile == nullptr || !profile->SaveDeviceProfile()) {
        Trace("audio lighting: the profile was not saved");
    }
    device.ApplyLightState();
}

void AudioPanelRouter::ColourChosen(CTolvanicUSBDevice& device, AudioLightControls& controls,
                                    uint32_t colour) {
    const uint32_t oldForeground = AudioLightWords::From(controls.Stored()).foreground;
    Commit(device, controls, Swatch::Take, [&](AudioLightWords& words) {
        words.TargetColour() = colour & 0xFFFFFFu;
        if (words.targetForeground && words.foreground != oldForeground) {
            words.multicolour = false;
        }
    });
}

void AudioPanelRouter::EditDone(CTolvanicUSBDevice& device, AudioLightControls& controls, int channel) {
    ui::Control* edit = controls.Edit(channel);
    if (edit == nullptr) {
        return;
    }
    const ColourEditValue parsed = ParseColourEdit(edit->Text());
    if (parsed.rewrite) {
        edit->SetText(*parsed.rewrite);
    }
    Commit(device, controls, Swatch::Leave, [&](AudioLightWords& words) {
        const int shift = 16 - 8 * channel;
        uint32_t& colour = words.TargetColour();
        colour = (colour & ~(0xFFu << shift)) | uint32_t(parsed.value) << shift;
        if (words.targetForeground) {
            words.multicolour = false;
        }
    });
}

void AudioPanelRouter::ToolSliderMoved(ui::Control& slider, int channel) {
    static constexpr const char* kFormats[3] = {"R %d", "G %d", "B %d"};
    const ui::RangeControl* range = slider.AsRange();
    const int value = range != nullptr ? range->Value() : 0;
    ui::Control* panel = slider.Parent();
    while (panel != nullptr && panel->FindChild(Controls::kToolLabels[channel]) == nullptr) {
        panel = panel->Parent();
    }
    if (panel != nullptr) {
        char text[16];
        std::snprintf(text, sizeof text, kFormats[channel], value);
        panel->FindChild(Controls::kToolLabels[channel])->SetText(text);
    }
    m_tool.SendParameter(kToolParameterRed + channel, value);
}

} // namespace velkor
