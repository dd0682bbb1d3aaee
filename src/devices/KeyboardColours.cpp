// The keyboard's light tick (the picture) and its custom colour
// groups (effect 19) in the profile and in the keyboard's colour tables.
#include "devices/LightTables.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "platform/Trace.h"
#include "ui/Control.h"

namespace velkor {

namespace {

constexpr int kLightingPage = 1;
constexpr uint8_t kOpaque = 255;
// Record keys of the transfer worker: colour table g is this + g.
constexpr uint32_t kColourTableKey = 0x200;

uint32_t WithColour(uint32_t led, uint8_t red, uint8_t green, uint8_t blue) {
    return PackLed(red, green, blue, LedLevel(led));
}

} // namespace

// ---- Tick ----

void CTolvanicKeyboardDevice::OutputLightFrame() {
    if (!State().LightControlFlag()) {
        return; // another program drives the keyboard's LEDs
    }
    // Only a picture someone can see is painted, at most 30 times a second:
    // the keyboard renders its own effects, and the streamed ones leave from
    // the stream thread, so an unseen tick has nothing to do.
    if (!Presenter().PicturePaintDue()) {
        return;
    }
    // Copied under the lock into storage reserved once: no allocation per tick.
    State().Leds().With(
        [this](const LedFrame& frame) { m_tickLeds.assign(frame.leds.begin(), frame.leds.end()); });
    PaintKeys(true);
}

void CTolvanicKeyboardDevice::PaintKeys(bool lit) {
    m_keysLit = lit;
    const auto& lights = Presenter().LightControls();
    for (size_t k = 0; k < lights.size(); ++k) {
        ui::Control* light = lights[k];
        if (light == nullptr) {
            continue;
        }
        const uint32_t led = k < m_tickLeds.size() ? m_tickLeds[k] : 0;
        PaintLight(*light, led, lit && light->IsVisible());
    }
}

bool CTolvanicKeyboardDevice::LightsOnPage() const {
    return Presenter().GetFunctionPage() == kLightingPage;
}

bool CTolvanicKeyboardDevice::FramesLeaveHost() const {
    const uint8_t effect = State().LightRecord().selectItem;
    return effect == kAudioEffect || effect == kBandColourEffect;
}

// ---- Custom colour groups ----

bool CTolvanicKeyboardDevice::GroupTransferAllowed(int group) const {
    if (group < 0 || group >= CKeyboardProfiledata::kMaxColourGroups) {
        // Tables lie at group x 512 in a 16-bit offset: a larger group would
        // land on another group's table.
        TraceF("keyboard colour group %d refused", group);
        return false;
    }
    return m_positions > 0;
}

std::vector<uint32_t> CTolvanicKeyboardDevice::LedsCopy() const {
    return State().Leds().Copy().leds;
}

void CTolvanicKeyboardDevice::StoreGroupColours(int group) {
    const std::vector<uint32_t> leds = LedsCopy();
    std::vector<RgbaColour> colours;
    colours.reserve(leds.size());
    for (uint32_t led : leds) {
        colours.push_back({LedRed(led), LedGreen(led), LedBlue(led), kOpaque});
    }
    m_profile.WriteCustomColors(group, colours);
}

void CTolvanicKeyboardDevice::LoadGroupColours(int group) {
    const std::vector<RgbaColour> colours = m_profile.ReadCustomColors(group, State().LightCount());
    State().Leds().With([&](LedFrame& frame) {
        const size_t count = std::min(colours.size(), frame.leds.size());
        for (size_t k = 0; k < count; ++k) {
            frame.leds[k] = WithColour(frame.leds[k], colours[k].red, colours[k].green, colours[k].blue);
        }
    });
}

bool CTolvanicKeyboardDevice::ReadCustomGroupFromDevice() {
    const int group = State().LightRecord().customGroup;
    if (!GroupTransferAllowed(group)) {
        return false;
    }
    KeyTransferBuffer table{};
    if (Driver().CommandTransport().ReadColourTable(table.data(), uint16_t(m_positions * 3), group) !=
        kResultOk) {
        return false; // the profile's group stays as it is
    }
    State().Leds().With([&](LedFrame& frame) {
        const size_t count = std::min(frame.leds.size(), kScreenKeyCount);
        for (size_t k = 0; k < count; ++k) {
            const uint8_t slot = m_maps.lightSlot[k];
            if (slot < kLightSlotLimit) {
                const uint8_t* in = table.data() + size_t(slot) * 3;
                frame.leds[k] = WithColour(frame.leds[k], in[0], in[1], in[2]);
            }
        }
    });
    StoreGroupColours(group);
    LoadGroupColours(group);
    UploadCustomGroup();
    return true;
}

int CTolvanicKeyboardDevice::UploadCustomGroup() {
    const LightInfoRecord light = State().LightRecord();
    if (light.selectItem != kCustomColourEffect || !GroupTransferAllowed(light.customGroup)) {
        return kResultNoReply;
    }
    KeyTransferBuffer frame;
    FillColourFrame(frame, LedsCopy(), m_maps, ColourFrameRule::CustomGroup);
    return QueueColourTable(frame, light.customGroup);
}

int CTolvanicKeyboardDevice::UploadProfileGroup() {
    const int group = State().LightRecord().customGroup;
    if (!GroupTransferAllowed(group)) {
        return kResultNoReply;
    }
    LoadGroupColours(group);
    KeyTransferBuffer frame;
    FillColourFrame(frame, LedsCopy(), m_maps, ColourFrameRule::Scaled);
    return QueueColourTable(frame, group);
}

int CTolvanicKeyboardDevice::QueueColourTable(const KeyTransferBuffer& frame, int group) {
    if (!Driver().CommandTransport().IsOpen()) {
        return kResultNoReply;
    }
    // The whole table each time: a newer one of the same group replaces one not sent yet.
    auto write = [this, frame, length = uint16_t(m_positions * 3), group](const StopEvent&) {
        const int result = Driver().CommandTransport().WriteColourTable(frame.data(), length, group);
        if (result != kResultOk) {
            TraceF("keyboard colour table %d not written (%d)", group, result);
        }
        return result;
    };
    return Driver().WriteRecord(kColourTableKey + uint32_t(group), std::move(write)) ? kResultOk
                                                                                     : kResultNoReply;
}

void CTolvanicKeyboardDevice::SetCustomGroup(int group) {
    if (LightPanelLink* panel = Presenter().LightPanel()) {
        panel->SelectCustomGroup(group);
    }
    m_profile.WriteCustomGroupIndex(group);
    m_image.customGroup = uint8_t(group);
    SaveDeviceProfile();
}

void CTolvanicKeyboardDevice::LoadCustomGroup() {
    const int group = m_profile.ReadCustomGroupIndex();
    LoadGroupColours(group);
    if (LightPanelLink* panel = Presenter().LightPanel()) {
        panel->SelectCustomGroup(group);
    }
    UploadCustomGroup();
}

void CTolvanicKeyboardDevice::ReloadCustomGroup() {
    LoadGroupColours(m_profile.ReadCustomGroupIndex());
    UploadCustomGroup();
}

void CTolvanicKeyboardDevice::FillCustomColour(bool lit) {
    const LightInfoRecord light = State().LightRecord();
    State().Leds().With([&](LedFrame& frame) {
        for (uint32_t& led : frame.leds) {
            led = lit ? WithColour(led, light.red, light.green, light.blue) : WithColour(led, 0, 0, 0);
        }
    });
    UploadCustomGroup();
    const int group =
        Presenter().LightPanel() != nullptr ? Presenter().LightPanel()->SelectedCustomGroup() : -1;
    if (group >= 0) {
        StoreGroupColours(group);
        SaveDeviceProfile();
    }
}

void CTolvanicKeyboardDevice::PaintCustomKey(int key) {
    const LightInfoRecord light = State().LightRecord();
    if (light.selectItem != kCustomColourEffect || key < 0 || key >= State().LightCount()) {
        return;
    }
    State().Leds().With([&](LedFrame& frame) {
        frame.SetLed(key, WithColour(frame.Led(key), light.red, light.green, light.blue));
    });
    // Without a lighting panel the profile's own group is the one painted.
    const int group = Presenter().LightPanel() != nullptr ? Presenter().LightPanel()->SelectedCustomGroup()
                                                          : light.customGroup;
    if (group >= 0) {
        StoreGroupColours(group);
        SaveDeviceProfile();
        UploadCustomGroup();
    }
}

} // namespace velkor
