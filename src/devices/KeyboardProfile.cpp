// The keyboard's profile, settings write, options, key writes and audio values.
#include "devices/TolvanicKeyboardDevice.h"

#include "platform/Trace.h"
#include "ui/Control.h"
#include "ui/Toolkit.h"

#include <algorithm>
#include <string>
#include <utility>

namespace velkor {

namespace {

constexpr int kOptionCount = 4;
constexpr int kRepeatDelayStepMs = 250;
// Record keys of the transfer worker: the settings record of slot s is this + s.
constexpr uint32_t kSettingsRecordKey = 0x100;

AudioLightValues AudioValuesOf(const AudioLightInfoRecord& r) {
    const uint8_t bytes[12] = {r.audioMode, r.bkRed,           r.bkGreen,        r.bkBlue, r.fgRed, r.fgGreen,
                               r.fgBlue,    r.sevenColorFlags, r.colorTypeFlags, 0,        0,       0};
    AudioLightValues values{};
    for (size_t i = 0; i < sizeof(bytes); ++i) {
        values[i / 4] |= uint32_t(bytes[i]) << (8 * (i % 4));
    }
    return values;
}

AudioLightInfoRecord AudioRecordOf(const AudioLightValues& values) {
    auto byte = [&](size_t i) { return uint8_t(values[i / 4] >> (8 * (i % 4))); };
    AudioLightInfoRecord r;
    r.audioMode = byte(0);
    r.bkRed = byte(1);
    r.bkGreen = byte(2);
    r.bkBlue = byte(3);
    r.fgRed = byte(4);
    r.fgGreen = byte(5);
    r.fgBlue = byte(6);
    r.sevenColorFlags = byte(7);
    r.colorTypeFlags = byte(8);
    return r;
}

int OptionIndex(int n) {
    return n >= 0 && n < kOptionCount ? n : 0;
}

} // namespace

// ---- Profile ----

void CTolvanicKeyboardDevice::SetupProfilePaths() {
    SetupDeviceProfilePaths(m_profile, *this);
}

bool CTolvanicKeyboardDevice::LoadDeviceProfile() {
    SetupProfilePaths();
    if (m_profile.GetProfilePath().empty() || m_profile.LoadProfile(m_profile.GetProfilePath()).isNull()) {
        return false;
    }
    m_keyList = m_profile.ReadKeyList();
    ApplyLightState();
    m_system = m_profile.ReadKeyboardSystem();
    return true;
}

bool CTolvanicKeyboardDevice::SaveDeviceProfile() {
    return !m_profile.GetProfilePath().empty() && m_profile.SaveProfile();
}

void CTolvanicKeyboardDevice::RestoreDefaults() {
    SetupProfilePaths();
    if (m_profile.LoadProfile(m_profile.GetDefaultPath()).isNull()) {
        Trace("keyboard: the default profile cannot be read");
        return;
    }
    m_keyList = m_profile.ReadKeyList();
    ApplyLightState();
    m_system = m_profile.ReadKeyboardSystem();
    SaveDeviceProfile();
    RefreshView();
}

int CTolvanicKeyboardDevice::SendSettings(int slot, int value, int flag, ScreenSize screen) {
    (void)flag;
    (void)screen;
    const std::optional<uint16_t> offset = KeyboardRecordOffset(slot);
    if (!offset || !Driver().CommandTransport().IsOpen()) {
        return kResultNoReply;
    }
    if (!State().SettingsRead()) {
        // The record carries the keyboard's own bytes: never send them unread, as zeros.
        Trace("keyboard record not written: the keyboard's record has not been read");
        return kResultNoReply;
    }
    const KeyboardSettingsRecord record =
        EncodeSettingsRecord(m_profile.ReadLightInfo(), m_profile.ReadKeyboardSystem(), Paths().NameLists(),
                             m_lastRecord, uint8_t(value));
    auto write = [this, bytes = record.ToBytes(), at = *offset](const StopEvent&) {
        DeviceTransport& transport = Driver().CommandTransport();
        if (!transport.IsOpen()) {
            return int(kResultNoReply);
        }
        transport.BeginSession();
        const int result = transport.WriteParams(bytes.data(), uint16_t(bytes.size()), at);
        transport.EndSession(1);
        if (result != kResultOk) {
            TraceF("keyboard record not written (%d)", result);
        }
        return result;
    };
    return Driver().WriteRecord(kSettingsRecordKey + uint32_t(slot), std::move(write)) ? kResultOk
                                                                                       : kResultNoReply;
}

// ---- Lighting state ----

void CTolvanicKeyboardDevice::SetAudioLightValues(const AudioLightValues& values) {
    m_audioValues = values;
    CTolvanicUSBDevice::SetAudioLightValues(values);
    m_profile.WriteAudioLightInfo(AudioRecordOf(values));
    ShareAudioRecord();
}

void CTolvanicKeyboardDevice::ShareAudioRecord() {
    const AudioLightInfoRecord record = AudioRecordOf(m_audioValues);
    State().Leds().With([&](LedFrame&) { m_fx.audio.record = record; });
}

void CTolvanicKeyboardDevice::ApplyLightState() {
    const uint8_t before = m_image.mode;
    const LightInfoRecord light = m_profile.ReadLightInfo();
    State().StoreLightInfo(LightInfoToWords(light));
    m_audioValues = AudioValuesOf(m_profile.ReadAudioLightInfo());
    ShareAudioRecord();
    m_image.mode = light.selectItem;
    m_image.brightness = light.light;
    m_image.speed = light.speed;
    m_image.colourCycling = light.multiColor;
    m_image.red = light.red;
    m_image.green = light.green;
    m_image.blue = light.blue;
    m_image.customGroup = light.customGroup;
    if (m_image.mode != before || m_image.mode == kCustomColourEffect) {
        RestartEffect(m_image.mode, GroupSource::Profile);
    }
    m_playback.Reload(m_profile);
    const bool drops = m_image.mode == kDropsEffect;
    State().Leds().With([drops](LedFrame& frame) {
        if (drops) {
            frame.colourPositions.fill(0);
        }
        frame.position = 0;
    });
    UpdateLiveStream();
}

void CTolvanicKeyboardDevice::UpdateLiveStream() {
    const int effect = State().LightRecord().selectItem;
    if (effect != kAudioEffect && effect != kBandColourEffect && !DirectActive()) {
        m_stream.Stop();
        return;
    }
    m_stream.SetLayout(m_maps, m_positions);
    m_stream.Start();
}

void CTolvanicKeyboardDevice::DirectChanged(bool on) {
    (void)on;
    UpdateLiveStream();
}

void CTolvanicKeyboardDevice::ResetEffectState() {
    State().Leds().With([this](LedFrame& frame) { kbfx::ResetEffectState(frame, m_fx); });
}

uint32_t CTolvanicKeyboardDevice::RunLightPass(const StopEvent& stop) {
    (void)stop;
    const uint32_t now = Services().clock.NowMs();
    const uint32_t ticks = m_pacer.Advance(now);
    const bool list = ticks > 0 && m_playback.ListActive();
    State().Leds().With([&](LedFrame& frame) {
        const int effect = frame.light.selectItem;
        if (frame.direct) {
            // Another program's colours stay as sent.
        } else if (effect == kAudioEffect || effect == kBandColourEffect) {
            // Woken by a feed: its frame now, whatever the tick.
            const bool fed =
                effect == kAudioEffect ? m_audioInbox.HasNews() : std::exchange(m_fx.fedNews, false);
            const bool due =
                ticks > 0 && m_pacer.FrameDue(StepThreshold(LightKind::Keyboard, effect, frame.light.speed));
            if (m_audioGate.Draw(fed, due, now)) {
                m_pacer.FrameDrawn();
                if (effect == kAudioEffect) {
                    TakeAudioDelivery();
                }
                kbfx::RenderEffect(frame, m_fx, effect, now);
            }
        } else if (ticks == 0) {
            // Woken early: nothing is due.
        } else if (kbfx::PlaysSteps(effect)) {
            m_playback.PlaySteps(frame, now);
        } else if (m_pacer.FrameDue(StepThreshold(LightKind::Keyboard, effect, frame.light.speed))) {
            kbfx::RenderEffect(frame, m_fx, effect, now);
        }
        if (list && !frame.direct) {
            m_playback.PlayList(frame, now);
        }
    });
    return m_pacer.MsToNextTick(now);
}

void CTolvanicKeyboardDevice::RestartEffect(int effect, GroupSource source) {
    if (kbfx::EffectOf(effect).start != kbfx::StartStep::CustomGroup) {
        State().Leds().With([&](LedFrame& frame) {
            kbfx::ResetEffectState(frame, m_fx);
            kbfx::RunStartStep(frame, m_fx, effect);
        });
        return;
    }
    ResetEffectState();
    if (source == GroupSource::Device) {
        ReadCustomGroupFromDevice();
    } else {
        LoadCustomGroup();
    }
    State().Leds().With([&](LedFrame& frame) { kbfx::RunStartStep(frame, m_fx, effect); });
}

void CTolvanicKeyboardDevice::EffectBreathing() {
    State().Leds().With([this](LedFrame& frame) { kbfx::ColumnBreathing(frame, m_fx, 0); });
}

void CTolvanicKeyboardDevice::EffectStatic() {
    State().Leds().With([this](LedFrame& frame) { kbfx::StaticRingRainbow(frame, m_fx, 0); });
}

void CTolvanicKeyboardDevice::KeyEvent(int position, int kind) {
    if (position < 0 || position >= kNoPosition) {
        return;
    }
    const auto& positions = m_maps.position;
    const auto found = std::find(positions.begin(), positions.end(), uint8_t(position));
    if (found != positions.end()) {
        DispatchKeyEvent(int(found - positions.begin()), kind);
    }
}

void CTolvanicKeyboardDevice::DispatchKeyEvent(int key, int kind) {
    State().Leds().With([&](LedFrame& frame) { kbfx::KeyEvent(frame, m_fx, key, kind); });
}

void CTolvanicKeyboardDevice::SeedEffectRandom(uint64_t seed) {
    State().Leds().With([&](LedFrame&) { m_fx.random.Seed(seed); });
}

// ---- Page state ----

void CTolvanicKeyboardDevice::RefreshView() {
    ReloadPanels();
    if (LightPanelLink* panel = Presenter().LightPanel()) {
        panel->ShowDeviceLighting();
        panel->ShowAudioLightValues(m_audioValues);
    }
    SetCustomGroup(State().LightRecord().customGroup);
    ShowOptions();
}

void CTolvanicKeyboardDevice::ShowOptions() {
    auto select = [this](std::string_view name, bool on) {
        if (auto* control = ui::As<ui::SelectableControl>(PageControl(name))) {
            control->SetSelected(on, false);
        }
    };
    select("winlockflag_option", m_system.winFlag != 0);
    select("wflag_option", m_system.wFlag != 0);
    select("6flag_option", m_system.key6Flag != 0);
    if (auto* slider = ui::As<ui::RangeControl>(PageControl("repeat_rate_slider"))) {
        slider->SetValue(m_system.repeat);
    }
    ShowRepeatDelay(OptionIndex(m_system.repeatDelay));
    if (ui::Control* edit = PageControl("repeat_input_richedit")) {
        edit->SetText("");
        edit->SetToolTip(ui::TextOrKey(m_texts, "Repeat_input_text"));
    }
    select("polling_rate_option_" + std::to_string(OptionIndex(m_system.pollingRate)), true);
}

void CTolvanicKeyboardDevice::ShowRepeatDelay(int n) {
    if (auto* option =
            ui::As<ui::SelectableControl>(PageControl("repeat_delay_check_" + std::to_string(n)))) {
        option->SetSelected(true, false);
    }
    if (ui::Control* label = PageControl("repeat_delay_time_label1")) {
        label->SetResourceText(false); // composed here from the language's text
        label->SetText(ui::TextOrKey(m_texts, "Repeat_Delay_Time") +
                       std::to_string(n * kRepeatDelayStepMs + kRepeatDelayStepMs) + "ms");
    }
}

// ---- Options ----

int CTolvanicKeyboardDevice::SetOptionFlag(KeyboardFlag flag, bool on) {
    m_system = m_profile.ReadKeyboardSystem();
    uint16_t& field = flag == KeyboardFlag::WinLock ? m_system.winFlag
                      : flag == KeyboardFlag::WKey  ? m_system.wFlag
                                                    : m_system.key6Flag;
    field = on ? 1 : 0;
    m_profile.WriteKeyboardSystem(m_system);
    SaveDeviceProfile();
    return SendSettings(0, 0, 1, {});
}

int CTolvanicKeyboardDevice::SelectPollingRate(int n) {
    n = OptionIndex(n);
    if (auto* option =
            ui::As<ui::SelectableControl>(PageControl("polling_rate_option_" + std::to_string(n)))) {
        option->SetSelected(true, false);
    }
    m_system.pollingRate = uint16_t(n);
    m_profile.WriteKeyboardSystem(m_system);
    SaveDeviceProfile();
    return SendSettings(0, 0, 1, {});
}

void CTolvanicKeyboardDevice::SelectRepeatDelay(int n) {
    n = OptionIndex(n);
    ShowRepeatDelay(n);
    m_system.repeatDelay = uint16_t(n);
    m_profile.WriteKeyboardSystem(m_system);
    SaveDeviceProfile();
}

void CTolvanicKeyboardDevice::SetRepeatRate(int value) {
    m_system.repeat = uint16_t(std::clamp(value, 0, 0xFFFF));
    m_profile.WriteKeyboardSystem(m_system);
    SaveDeviceProfile();
}

bool CTolvanicKeyboardDevice::StoreKeyEntry(int key, const KeyListEntry& entry) {
    return StoreKeyListEntry(*this, m_profile, m_keyList, key, entry);
}

void CTolvanicKeyboardDevice::SelectEntry(int index) {
    CTolvanicUSBDevice::SelectEntry(index);
    if (m_keyPanelHook) {
        m_keyPanelHook(index);
    }
}

// ---- Keys ----

int CTolvanicKeyboardDevice::WriteProfileKeys(int bank) {
    m_keyList = m_profile.ReadKeyList();
    return WriteKeyAssignments(bank, m_keyList);
}

MacroWriteRequest CTolvanicKeyboardDevice::PrepareMacroWrite(MacroWriteMode mode, int bank) {
    if (mode == MacroWriteMode::MacrosAndKeys) {
        m_keyList = m_profile.ReadKeyList(); // as WriteProfileKeys takes them
    }
    MacroWriteRequest request;
    request.mode = mode;
    request.bank = bank;
    request.keyTableRead = m_keyTableRead;
    request.blockInDevice = BlockInDevice();
    MacroPlanInput& plan = request.plan;
    plan.keys = m_keyList;
    for (size_t key = 0; key < kScreenKeyCount; ++key) {
        plan.visited.emplace_back(int(key), m_maps.position[key]);
    }
    plan.noPosition = kNoPosition;
    plan.keyPositions = m_positions;
    plan.deviceTable = m_deviceKeyList;
    plan.macroFolder = Paths().UserDataFolder();
    plan.capacity = m_macroCapacity;
    return request;
}

void CTolvanicKeyboardDevice::PruneKeyFunctions() {
    ReloadPanels();
    if (PruneMacroAssignments(m_keyList, Paths().NameLists().macroNames.size())) {
        m_profile.WriteKeyList(m_keyList);
    }
    ReloadPanels();
}

// ---- Audio ----

void CTolvanicKeyboardDevice::FeedAudioLevels(std::span<const int32_t> levels) {
    const uint8_t style = AudioRecordOf(m_audioValues).audioMode;
    if (m_image.mode != kAudioEffect || style != kBeatStyle) {
        m_audioInbox.PutBands(levels);
    } else {
        // The beat style uses the levels up here: its frames see no bands.
        AudioBandBlock block{};
        kbfx::CopyBands(block, levels);
        m_audioInbox.ClearBands();
        if (m_beat.Feed(block)) {
            m_audioInbox.AddRipple();
        }
    }
    if (State().LightRecord().selectItem == kAudioEffect) {
        Driver().WakeLight();
    }
}

void CTolvanicKeyboardDevice::TakeAudioDelivery() {
    // Called by the light thread with the LED lock held; the inbox has its own lock.
    const AudioInbox::Delivery delivery = m_audioInbox.Take(m_fx.audio.record.audioMode != kBeatStyle);
    m_fx.audio.bands = delivery.bands;
    for (uint32_t i = 0; i < delivery.ripples; ++i) {
        kbfx::SeedRipple(m_fx, kBeatKey, kbfx::kPress);
    }
}

void CTolvanicKeyboardDevice::SetAudioBands(std::span<const int32_t> values) {
    const size_t count = std::min(values.size(), m_bands.size());
    for (size_t i = 0; i < count; ++i) {
        m_bands[i] = values[i];
    }
    // Effect 30 shows the first three as one colour, from its next frame, which is drawn at once.
    const std::array<int32_t, 6> bands = AudioBands();
    State().Leds().With([&](LedFrame&) {
        m_fx.fed = {uint8_t(bands[0]), uint8_t(bands[1]), uint8_t(bands[2])};
        m_fx.fedNews = true;
    });
    if (State().LightRecord().selectItem == kBandColourEffect) {
        Driver().WakeLight();
    }
}

std::array<int32_t, 6> CTolvanicKeyboardDevice::AudioBands() const {
    std::array<int32_t, 6> bands{};
    for (size_t i = 0; i < bands.size(); ++i) {
        bands[i] = m_bands[i];
    }
    return bands;
}

} // namespace velkor
