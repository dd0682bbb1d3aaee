// The mouse's page, attach, settings record, events and key writes.
// DPI stages and the other page actions: MouseStages.cpp.
#include "devices/TolvanicMouseDevice.h"

#include "devices/KindRenderers.h"
#include "platform/Trace.h"
#include "ui/Control.h"
#include "ui/ControlClasses.h"

#include <chrono>
#include <thread>

namespace velkor {

namespace {

constexpr uint16_t kEventClick = 0x0403;
constexpr int kFlashEffect = 6;
constexpr int kFirstCustomEffect = 10;
constexpr uint16_t kEventResync = 0x0401;
constexpr size_t kInfoKeyPositions = 5;
constexpr size_t kInfoMacroSlots = 6;
// Record keys of the transfer worker: the settings record of slot s is this + s.
constexpr uint32_t kSettingsRecordKey = 0x100;

// The buttons' factory functions, in the picture's numbering: left, right,
// middle, forward, back, DPI up, DPI down, DPI cycle, game mode, wheel
// function, rapid fire.
constexpr std::array<KeyFunction, CTolvanicMouseDevice::kButtonCount> kButtonFunctions = {
    KeyFunction::FromTriple(0x10, 0x01, 0x00), KeyFunction::FromTriple(0x10, 0x02, 0x00),
    KeyFunction::FromTriple(0x10, 0x04, 0x00), KeyFunction::FromTriple(0x10, 0x10, 0x00),
    KeyFunction::FromTriple(0x10, 0x08, 0x00), KeyFunction::FromTriple(0x13, 0x01, 0x00),
    KeyFunction::FromTriple(0x13, 0x02, 0x00), KeyFunction::FromTriple(0x13, 0x03, 0x00),
    KeyFunction::FromTriple(0xA0, 0x1B, 0x00), KeyFunction::FromTriple(0x16, 0x90, 0x01),
    KeyFunction::FromTriple(0x14, 0x78, 0x02),
};

} // namespace

CTolvanicMouseDevice::CTolvanicMouseDevice(const DeviceServices& services) : CTolvanicUSBDevice(services) {
    UseProfileData(&m_profile);
    m_buttons.fill(kNoButtonPosition);
    m_tickLeds.reserve(kMaxCount);
    ResetEffectState(); // the flowing ring starts with one mark
}

CTolvanicMouseDevice::~CTolvanicMouseDevice() = default;

ui::Control* CTolvanicMouseDevice::PageControl(std::string_view name) const {
    return Presenter().Page() != nullptr ? Presenter().Page()->FindChild(name) : nullptr;
}

// ---- Page ----

void CTolvanicMouseDevice::BuildPage() {
    m_secondOverlays.clear();
    m_logo = nullptr;
    if (Presenter().PageLayoutPath().empty() || Presenter().Page() == nullptr) {
        SetKeyCount(0);
        SetLightCount(0);
        CollectPageButtons(nullptr);
        return;
    }
    ui::Control* picture = PageControl("mouse_device_seting_layout");
    if (picture == nullptr) {
        picture = Presenter().Page();
    }
    CollectPageButtons(picture->FindFirstOfClass(ui::kSelectPanelClass));
    const auto& buttons = Presenter().KeyControls();
    for (size_t b = 0; b < buttons.size() && b < size_t(kButtonCount); ++b) {
        if (buttons[b] != nullptr) {
            buttons[b]->SetResourceText(true);
            buttons[b]->SetText("mouse_button_" + std::to_string(b));
        }
    }
    for (ui::Control* button : picture->FindAllOfClass(ui::kDeviceKeyButtonClass)) {
        std::string prefix;
        int number = -1;
        if (ui::SplitFamilyName(button->Name(), prefix, number) && prefix == "light_0_" && number >= 0 &&
            number < kMaxCount) {
            if (size_t(number) >= m_secondOverlays.size()) {
                m_secondOverlays.resize(size_t(number) + 1, nullptr);
            }
            m_secondOverlays[size_t(number)] = button;
        }
        if (button->ToolTip() == "logo") {
            m_logo = button;
        }
    }
}

void CTolvanicMouseDevice::SelectFunctionPage(int type) {
    CTolvanicUSBDevice::SelectFunctionPage(type);
    if (ui::Control* tip = PageControl("device_tishi_info")) {
        tip->SetVisible(false);
    }
}

// ---- Attach ----

bool CTolvanicMouseDevice::UploadRecoil(std::function<void(const RecoilUploadOutcome&)> done) {
    RecoilUploadRequest request{Paths().UserDataFolder(), Driver().OnReceiver(), {}};
    // Each button's default while the block goes in, and the gun key the profile gives it after.
    const std::vector<KeyListEntry> keys = m_profile.ReadKeyList();
    for (size_t b = 0; b < m_buttons.size(); ++b) {
        if (m_buttons[b] == kNoButtonPosition) {
            continue;
        }
        RecoilKey key{m_buttons[b], b < keys.size() ? keys[b].defaultFunction : kButtonFunctions[b], {}};
        if (b < keys.size() && keys[b].current.category == KeyCategory::GunKey) {
            key.gun = keys[b].current;
        }
        request.keys.push_back(key);
    }
    return Driver().RunTransfer([this, request = std::move(request),
                                 done = std::move(done)](const StopEvent&) -> std::function<void()> {
        RecoilUploadOutcome outcome = RunRecoilUpload(Driver().CommandTransport(), request);
        return [this, done, outcome] {
            if (outcome.tableInDevice) {
                TakeKeyTable(*outcome.tableInDevice); // the key table the mouse holds now
            }
            if (done) {
                done(outcome);
            }
        };
    });
}

bool CTolvanicMouseDevice::Reachable() {
    return !Driver().OnReceiver() || Driver().CommandTransport().QueryLink();
}

void CTolvanicMouseDevice::ReadAttached(std::function<void()> done) {
    m_keyTableRead = false; // until the layout is read, no key write starts from the old table
    Driver().ReadThenShow([this] { return FetchLayout(); },
                          [this, done](const LayoutRead& read) {
                              ApplyLayout(read);
                              LoadDeviceProfile();
                              RefreshView();
                              StartLightThread();
                              if (done) {
                                  done();
                              }
                          });
}

void CTolvanicMouseDevice::ReloadAfterEvent() {
    SetSynchronisedLighting(false);
    Driver().ReadThenShow([this] { return FetchSettings(); },
                          [this](const MouseRecordRead& read) {
                              ApplySettings(read, nullptr);
                              RefreshView();
                          });
}

bool CTolvanicMouseDevice::ReadLayout() {
    m_keyTableRead = false; // until this read succeeds, no key write starts from the old table
    return ApplyLayout(FetchLayout());
}

CTolvanicMouseDevice::LayoutRead CTolvanicMouseDevice::FetchLayout() {
    LayoutRead read;
    DeviceTransport& transport = Driver().CommandTransport();
    if (!transport.IsOpen() || !Reachable()) {
        return read;
    }
    read.asked = true;
    transport.BeginSession();
    bool complete = transport.ReadDeviceInfo(read.info.data()) == kResultOk;
    const int positions = read.info[kInfoKeyPositions];
    complete = complete && transport.SetDataSize(uint16_t(positions * 3));
    complete = complete && transport.ReadKeyTable(read.keys.data()) == kResultOk;
    transport.EndSession(1); // also after a failed read: the mouse must not stay in the session
    read.complete = complete;
    return read;
}

bool CTolvanicMouseDevice::ApplyLayout(const LayoutRead& read) {
    if (!read.asked) {
        return false;
    }
    m_keyTableRead = read.complete;
    ForgetBlockInDevice();
    if (!read.complete) {
        Trace("mouse layout not read: the previous button positions stay");
        return false;
    }
    const KeyTransferBuffer& keys = read.keys;
    const int positions = read.info[kInfoKeyPositions];
    m_deviceKeyList = keys;
    m_positions = positions;
    m_macroCapacity = size_t(read.info[kInfoMacroSlots]) * kMacroSlotBytes;
    m_limits = MouseDpiLimits::FromInfo(read.info);
    m_limitsRead = true;
    State().SetSettingsRead(m_profileLoaded);
    // A button is found at its factory function, else (a button given
    // another function, a macro among them) at the function last sent to it.
    std::vector<bool> taken(size_t(positions), false);
    const auto claim = [&](size_t b, const KeyFunction& function) {
        if (IsNoKey(function) || function.SameFunction(KeyFunction{})) {
            return; // an empty position is no button's place
        }
        for (int p = 0; p < positions; ++p) {
            const std::optional<KeyFunction> at = ReadDeviceKey(keys, size_t(p));
            if (!taken[size_t(p)] && at && at->SameFunction(function)) {
                taken[size_t(p)] = true;
                m_buttons[b] = uint8_t(p);
                return;
            }
        }
    };
    m_buttons.fill(kNoButtonPosition);
    for (size_t b = 0; b < m_buttons.size(); ++b) {
        claim(b, kButtonFunctions[b]);
    }
    const std::vector<KeyFunction> written = WrittenFunctions();
    for (size_t b = 0; b < m_buttons.size() && b < written.size(); ++b) {
        if (m_buttons[b] == kNoButtonPosition) {
            claim(b, written[b]);
        }
    }
    for (int n = 0; n < kMouseStageCount; ++n) {
        if (auto* slider = ui::As<ui::RangeControl>(PageControl("DPI_slider_" + std::to_string(n)))) {
            slider->SetRange(0, m_limits.highestStep);
        }
    }
    TraceF("mouse layout read: %d key positions (%d-byte key table), sensor %04X, highest step %d", positions,
           positions * 3, m_limits.sensorId, m_limits.highestStep);
    return true;
}

bool CTolvanicMouseDevice::ReadSettings(int* activeProfile) {
    SetSynchronisedLighting(false);
    return ApplySettings(FetchSettings(), activeProfile);
}

CTolvanicMouseDevice::MouseRecordRead CTolvanicMouseDevice::FetchSettings() {
    DeviceTransport& transport = Driver().CommandTransport();
    if (!transport.IsOpen() || !Reachable()) {
        return {};
    }
    return ReadActiveRecord<MouseSettingsRecord::kSize>(transport, 0, MouseRecordOffset);
}

bool CTolvanicMouseDevice::ApplySettings(const MouseRecordRead& read, int* activeProfile) {
    if (!read.Ok()) {
        return false;
    }
    const uint8_t profile = read.profile;
    const MouseSettingsRecord::Bytes& bytes = read.bytes;
    const std::optional<uint16_t>& offset = read.offset;
    if (activeProfile != nullptr) {
        *activeProfile = profile;
    }
    const DecodedMouseSettings decoded = DecodeMouseRecord(MouseSettingsRecord::FromBytes(bytes), profile,
                                                           State().LightRecord(), Paths().NameLists());
    m_lastRecord = decoded.last;
    m_activeProfile = profile;
    State().StoreLightInfo(LightInfoToWords(decoded.light));
    m_imageMode = decoded.light.selectItem;
    if (decoded.activeStage) {
        m_activeStage = *decoded.activeStage;
        m_profile.WriteActiveDpiStage(m_activeStage);
    } else {
        TraceF("mouse reports stage %d, which it does not have: ignored", int(m_lastRecord.activeStage));
    }
    m_profile.WriteLightInfo(decoded.light);
    SaveDeviceProfile();
    TraceF("mouse settings read: %zu bytes at %d, profile %d, effect %d, stage %d", bytes.size(),
           int(*offset), int(profile), int(decoded.light.selectItem), m_activeStage);
    return true;
}

// ---- Events ----

void CTolvanicMouseDevice::OnDeviceEvent(uint16_t code, ChannelType channel) {
    if (code == kEventClick) {
        if (channel == ChannelType::Wired) {
            Flash(); // through the receiver the click is not followed
        }
        return;
    }
    if (code > kEventResync) {
        // The record and the page belong to the user-interface thread; through the
        // worker, so that a re-read already under way is shown before this event.
        Driver().ShowInTurn([this, code] { HandleDeviceEvent(code); });
    }
}

void CTolvanicMouseDevice::HandleDeviceEvent(uint16_t code) {
    if (!Driver().TransportOpen()) {
        return;
    }
    const int kind = code >> 8;
    if (kind != 0x10 && kind != 0x11) {
        return;
    }
    m_activeProfile = uint8_t(code & 0x0F);
    if (kind == 0x11) {
        const int stage = (code >> 4) & 0x0F;
        if (stage >= kMouseStageCount) {
            TraceF("mouse event %04X names stage %d, which it does not have: ignored", code, stage);
            return;
        }
        m_lastRecord.activeStage = uint8_t(stage);
        m_activeStage = stage;
        m_profile.WriteActiveDpiStage(stage);
    }
    RefreshView();
}

// ---- Settings write ----

int CTolvanicMouseDevice::SendSettings(int slot, int value, int flag, ScreenSize screen) {
    const std::optional<uint16_t> offset = MouseRecordOffset(slot);
    if (!offset || !Driver().CommandTransport().IsOpen()) {
        return kResultNoReply;
    }
    if (!State().SettingsRead()) {
        // Built from the profile and the DPI limits: never from an empty profile or unknown limits.
        Trace("mouse record not written: its profile or DPI limits have not been read");
        return kResultNoReply;
    }
    MouseRecordInput in;
    in.light = m_profile.ReadLightInfo();
    in.stages = m_profile.ReadDpiStages();
    in.activeStage = m_profile.GetActiveDpiStage();
    in.reportRate = m_profile.ReadMouseSystem().reportStage;
    in.corrections = m_profile.ReadCorrectInfo();
    in.byteZero = uint8_t(value);
    in.flag = uint8_t(flag);
    in.screenWidth = screen.width;
    in.screenHeight = screen.height;
    const MouseSettingsRecord::Bytes bytes = EncodeMouseRecord(in, Paths().NameLists(), m_limits).ToBytes();
    auto write = [this, bytes, at = *offset](const StopEvent&) {
        DeviceTransport& transport = Driver().CommandTransport();
        if (!transport.IsOpen()) {
            return int(kResultNoReply);
        }
        if (!Reachable()) {
            return int(kResultNoReply); // sent once the mouse answers again (IsLinkUp)
        }
        transport.BeginSession();
        const int result =
            transport.WriteParams(bytes.data(), uint16_t(MouseSettingsRecord::kWrittenSize), at);
        transport.EndSession(1);
        TraceF("mouse record written: %zu bytes at %d in %d-byte chunks, result %d",
               MouseSettingsRecord::kWrittenSize, int(at), int(transport.ChunkSize()), result);
        return result;
    };
    const bool queued =
        Driver().WriteRecord(kSettingsRecordKey + uint32_t(slot), std::move(write), [this](int result) {
            m_writePending = result != kResultOk && Driver().OnReceiver();
        });
    return queued ? kResultOk : kResultNoReply;
}

bool CTolvanicMouseDevice::IsLinkUp() {
    const bool up = WirelessLinkUp(*this);
    if (up && m_writePending) {
        // The write is built on the user-interface thread, whichever asked.
        Driver().PostToUi([this] {
            if (m_writePending) {
                SendSettings(0, 0, 1, m_screen);
            }
        });
    }
    return up;
}

// ---- Keys ----

int CTolvanicMouseDevice::WriteProfileKeys(int bank) {
    m_keyList = m_profile.ReadKeyList();
    return WriteKeyAssignments(bank, m_keyList);
}

std::vector<KeyFunction> CTolvanicMouseDevice::WrittenFunctions() {
    return LastSentKeyFunctions(*this, *this, m_profile, m_keyList);
}

MacroWriteRequest CTolvanicMouseDevice::PrepareMacroWrite(MacroWriteMode mode, int bank) {
    if (mode == MacroWriteMode::MacrosAndKeys) {
        m_keyList = m_profile.ReadKeyList(); // as WriteProfileKeys takes them
    }
    MacroWriteRequest request;
    request.mode = mode;
    request.bank = bank;
    request.checkLink = Driver().OnReceiver();
    request.keyTableRead = m_keyTableRead;
    request.blockInDevice = BlockInDevice();
    MacroPlanInput& plan = request.plan;
    plan.keys = m_keyList;
    for (size_t b = 0; b < m_buttons.size(); ++b) {
        plan.visited.emplace_back(int(b), m_buttons[b]);
    }
    plan.noPosition = kNoButtonPosition;
    plan.keyPositions = m_positions;
    plan.deviceTable = m_deviceKeyList;
    plan.macroFolder = Paths().UserDataFolder();
    plan.capacity = m_macroCapacity;
    return request;
}

void CTolvanicMouseDevice::PruneKeyFunctions() {
    ReloadPanels();
    if (PruneMacroAssignments(m_keyList, Paths().NameLists().macroNames.size())) {
        m_profile.WriteKeyList(m_keyList);
    }
    ReloadPanels();
}

bool CTolvanicMouseDevice::StoreKeyEntry(int key, const KeyListEntry& entry) {
    return StoreKeyListEntry(*this, m_profile, m_keyList, key, entry);
}

void CTolvanicMouseDevice::SelectEntry(int index) {
    CTolvanicUSBDevice::SelectEntry(index);
    if (index >= 0 && size_t(index) < m_keyList.size() && m_keyPanelHook) {
        m_keyPanelHook(index);
    }
}

// ---- Lighting ----

void CTolvanicMouseDevice::ResetEffectState() {
    State().Leds().With([](LedFrame& frame) { leds::ResetEffect(frame, true); });
}

void CTolvanicMouseDevice::Flash() {
    m_flashSeed = m_flashSeed * 1664525u + 1013904223u; // only the event thread flashes
    const uint8_t colour = uint8_t((m_flashSeed >> 16) % 192);
    State().Leds().With([colour](LedFrame& frame) {
        if (frame.light.selectItem == kFlashEffect) {
            leds::StartFlash(frame, colour);
        }
    });
}

uint32_t CTolvanicMouseDevice::RunLightPass(const StopEvent& stop) {
    (void)stop;
    const uint32_t now = Services().clock.NowMs();
    const uint32_t ticks = m_pacer.Advance(now);
    if (ticks == 0) {
        return m_pacer.MsToNextTick(now);
    }
    State().Leds().With([&](LedFrame& frame) {
        const int effect = frame.light.selectItem;
        if (effect >= kFirstCustomEffect) {
            m_playback.PlaySteps(frame, now);
        } else if (m_pacer.FrameDue(StepThreshold(LightKind::Mouse, effect, frame.light.speed))) {
            leds::RenderEffect(leds::MouseEffects(), frame, effect, now);
        }
    });
    return m_pacer.MsToNextTick(now);
}

void CTolvanicMouseDevice::ApplyLightState() {
    const LightInfoRecord light = m_profile.ReadLightInfo();
    State().StoreLightInfo(LightInfoToWords(light));
    if (light.selectItem != m_imageMode) {
        ResetEffectState();
    }
    m_imageMode = light.selectItem;
    m_playback.Reload(m_profile);
}

void CTolvanicMouseDevice::OutputLightFrame() {
    if (!State().LightControlFlag() || !Presenter().PicturePaintDue()) {
        return; // nothing else uses the mouse's frame
    }
    State().Leds().With(
        [this](const LedFrame& frame) { m_tickLeds.assign(frame.leds.begin(), frame.leds.end()); });
    auto ledAt = [this](size_t n) { return n < m_tickLeds.size() ? m_tickLeds[n] : 0u; };
    for (size_t n = 0; n < m_secondOverlays.size(); ++n) {
        if (ui::Control* overlay = m_secondOverlays[n]; overlay != nullptr && overlay->IsVisible()) {
            PaintLight(*overlay, ledAt(n), true);
        }
    }
    if (m_logo != nullptr && m_logo->IsVisible() && m_logoLed >= 0) {
        PaintLight(*m_logo, ledAt(size_t(m_logoLed)), true);
    }
    const auto& lights = Presenter().LightControls();
    for (size_t n = 0; n < lights.size() && n < m_tickLeds.size(); ++n) {
        if (ui::Control* overlay = lights[n]; overlay != nullptr && overlay->IsVisible()) {
            PaintLight(*overlay, m_tickLeds[n], true);
        }
    }
}

std::string_view CTolvanicMouseDevice::EventThreadExitTrace() const {
    return kTraceKeyboardMouseEventExit;
}

} // namespace velkor
