// The lit pad-like devices: page, attach, settings record, profile and lighting state.
#include "devices/PadLightingDevice.h"

#include "platform/Trace.h"
#include "ui/Control.h"
#include "ui/ControlClasses.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>

namespace velkor {

namespace {

// "01 02 .. 0C": the pad's own bytes in a trace line.
std::string HexBytes(std::span<const uint8_t> bytes) {
    std::string text;
    char byte[4];
    for (const uint8_t b : bytes) {
        std::snprintf(byte, sizeof(byte), text.empty() ? "%02X" : " %02X", b);
        text += byte;
    }
    return text;
}

// The record key of the settings record on the transfer worker.
constexpr uint32_t kSettingsRecordKey = 0x100;

} // namespace

CPadLightingDevice::CPadLightingDevice(const DeviceServices& services, const PadKindFacts& facts,
                                       CBasicProfiledata& profile)
    : CTolvanicUSBDevice(services, facts.kindTag), m_facts(facts), m_profile(profile) {
    UseProfileData(&m_profile);
}

CPadLightingDevice::~CPadLightingDevice() = default;

ui::Control* CPadLightingDevice::PageControl(std::string_view name) const {
    return Presenter().Page() != nullptr ? Presenter().Page()->FindChild(name) : nullptr;
}

// ---- Page ----

void CPadLightingDevice::BuildPage() {
    if (Presenter().PageLayoutPath().empty() || Presenter().Page() == nullptr) {
        SetKeyCount(0);
        SetLightCount(0);
        CollectPageButtons(nullptr);
        return;
    }
    ui::Control* container = PageControl(m_facts.lightContainer);
    if (container == nullptr) {
        container = Presenter().Page()->FindFirstOfClass(ui::kSelectPanelClass);
    }
    CollectPageButtons(container);
}

// ---- Attach ----

void CPadLightingDevice::ReadAttached(std::function<void()> done) {
    // A new attach: the pad may have changed its own bytes meanwhile.
    m_imageFromPad = false;
    struct InfoRead {
        bool asked = false;
        int result = kResultNoReply;
        std::array<uint8_t, kDeviceInfoSize> info{};
    };
    const auto fetch = [this] {
        InfoRead read;
        DeviceTransport& transport = Driver().CommandTransport();
        if (transport.IsOpen()) {
            read.asked = true;
            transport.BeginSession();
            read.result = transport.ReadDeviceInfo(read.info.data());
            transport.EndSession(1);
        }
        return read;
    };
    Driver().ReadThenShow(fetch, [this, done](const InfoRead& read) {
        if (read.asked && read.result == kResultOk) {
            m_info = read.info;
            TraceF("%s information block read: %zu bytes", TraceName(), read.info.size());
        } else if (read.asked) {
            TraceF("%s information block not read (%d)", TraceName(), read.result);
        }
        LoadDeviceProfile();
        ReadKindState();
        RefreshView();
        StartLightThread();
        if (done) {
            done();
        }
    });
}

void CPadLightingDevice::ReloadAfterEvent() {
    SetSynchronisedLighting(false);
    Driver().ReadThenShow([this] { return FetchRecord(); },
                          [this](const PadRecordRead& read) {
                              const std::optional<PadSettingsImage> image = DecodeRecord(read);
                              if (TakeImage(image)) {
                                  Presenter().NotifyMainWindow(kMessageActiveProfile, image->activeProfile,
                                                               0);
                              }
                          });
}

CPadLightingDevice::PadRecordRead CPadLightingDevice::FetchRecord() {
    return ReadActiveRecord<PadSettingsRecord::kSize>(Driver().CommandTransport(), kPadActiveProfileOffset,
                                                      PadReadOffset);
}

std::optional<PadSettingsImage> CPadLightingDevice::DecodeRecord(const PadRecordRead& read) const {
    if (!read.Ok()) {
        TraceF("%s settings not read (%d, profile byte %d): nothing changes", TraceName(), read.result,
               int(read.profile));
        return std::nullopt;
    }
    const PadSettingsRecord record = PadSettingsRecord::FromBytes(read.bytes);
    const PadSettingsImage image = DecodePadRecord(record, read.profile, Paths().NameLists());
    TraceF("%s settings read: profile %d, %zu bytes at %d, effect %d, own bytes %s", TraceName(),
           int(read.profile), read.bytes.size(), int(*read.offset), int(image.mode),
           HexBytes(image.padOwn).c_str());
    return image;
}

std::optional<PadSettingsImage> CPadLightingDevice::ReadFromPad() {
    return DecodeRecord(FetchRecord());
}

bool CPadLightingDevice::TakeImage(const std::optional<PadSettingsImage>& read) {
    if (!read) {
        return false;
    }
    m_image = *read;
    m_imageFromPad = true;
    return true;
}

bool CPadLightingDevice::ReadSettings(int* activeProfile) {
    SetSynchronisedLighting(false);
    const std::optional<PadSettingsImage> read = ReadFromPad();
    if (!TakeImage(read)) {
        return false;
    }
    if (activeProfile != nullptr) {
        *activeProfile = read->activeProfile;
    }
    return true;
}

// ---- Settings write ----

int CPadLightingDevice::SendSettings(int slot, int value, int flag, ScreenSize screen) {
    (void)value;
    (void)flag;
    (void)screen;
    const std::optional<uint16_t> offset = PadWriteOffset(slot);
    if (!offset) {
        TraceF("%s record of slot %d not written: only slot 0 is known", TraceName(), slot);
        return kResultNoReply;
    }
    if (!Driver().CommandTransport().IsOpen()) {
        return kResultNoReply;
    }
    if (!State().SettingsRead()) {
        TraceF("%s record not written: its profile has not been read", TraceName());
        return kResultNoReply;
    }
    if (!m_imageFromPad) {
        // Once per attach, on this thread (the decoding reads the name lists).
        // Bytes 0, 4 and 9..20 go back as the pad holds them, never as zeros.
        const std::optional<PadSettingsImage> read = ReadFromPad();
        if (!read) {
            TraceF("%s record not written: its own bytes could not be read first", TraceName());
            return kResultNoReply;
        }
        TakePadOwnBytes(m_image, *read);
        m_imageFromPad = true;
    }
    const PadSettingsRecord record =
        EncodePadRecord(m_image, m_profile.ReadLightInfo().selectItem, Paths().NameLists());
    auto write = [this, record, at = *offset](const StopEvent&) {
        DeviceTransport& transport = Driver().CommandTransport();
        if (!transport.IsOpen()) {
            return int(kResultNoReply);
        }
        const PadSettingsRecord::Bytes bytes = record.ToBytes();
        transport.BeginSession();
        const int result = transport.WriteParams(bytes.data(), uint16_t(PadSettingsRecord::kWrittenSize), at);
        transport.EndSession(1);
        TraceF("%s record written: %zu bytes at %d, profile byte %d, effect code %d, own bytes %s, result %d",
               TraceName(), PadSettingsRecord::kWrittenSize, int(at), int(record.activeProfile),
               int(record.effectCode), HexBytes(record.padOwn).c_str(), result);
        return result;
    };
    return Driver().WriteRecord(kSettingsRecordKey, std::move(write)) ? kResultOk : kResultNoReply;
}

// ---- Profile ----

bool CPadLightingDevice::LoadDeviceProfile() {
    SetupProfilePaths();
    if (m_profile.GetProfilePath().empty() || m_profile.LoadProfile(m_profile.GetProfilePath()).isNull()) {
        return false;
    }
    ApplyLightState();
    State().SetSettingsRead(true); // the record a write sends is built from it
    return true;
}

bool CPadLightingDevice::SaveDeviceProfile() {
    return !m_profile.GetProfilePath().empty() && m_profile.SaveProfile();
}

void CPadLightingDevice::RestoreDefaults() {
    SetupProfilePaths();
    if (m_profile.LoadProfile(m_profile.GetDefaultPath()).isNull()) {
        TraceF("%s: the default profile cannot be read", TraceName());
        return;
    }
    ApplyLightState();
    SaveDeviceProfile();
    RefreshView();
}

void CPadLightingDevice::RefreshView() {
    ReloadPanels();
    if (LightPanelLink* panel = Presenter().LightPanel()) {
        panel->ShowDeviceLighting();
    }
}

// ---- Lighting ----

void CPadLightingDevice::ApplyLightState() {
    const LightInfoRecord light = m_profile.ReadLightInfo();
    State().StoreLightInfo(LightInfoToWords(light));
    TakeProfileLighting(m_image, light);
    if (light.selectItem != m_effect) {
        // One ring mark to travel, as the mouse has: without it the rings stay dark.
        State().Leds().With([](LedFrame& frame) { leds::ResetEffect(frame, true); });
        m_effect = light.selectItem;
    }
    m_playback.Reload(m_profile);
    // The light thread may sleep until a frame of the old speed is due.
    Driver().WakeLight();
}

uint32_t CPadLightingDevice::RunLightPass(const StopEvent& stop) {
    (void)stop;
    const uint32_t now = Services().clock.NowMs();
    const uint32_t ticks = m_pacer.Advance(now);
    if (ticks == 0) {
        return m_pacer.MsToNextTick(now);
    }
    const bool list = m_playback.ListActive();
    uint32_t ticksApart = 1; // custom steps and the list move on every tick
    State().Leds().With([&](LedFrame& frame) {
        const int effect = frame.light.selectItem;
        if (frame.direct) {
            // Another program's colours stay as sent.
        } else if (effect == 5 || effect > 8) {
            m_playback.PlaySteps(frame, now);
        } else {
            const uint32_t threshold = StepThreshold(LightKind::Pad, effect, frame.light.speed);
            if (m_pacer.FrameDue(threshold)) {
                leds::RenderEffect(m_facts.effects, frame, effect, now);
            }
            ticksApart = list ? 1 : threshold;
        }
        if (list && !frame.direct) {
            m_playback.PlayList(frame, now);
        }
    });
    FrameRendered(now);
    // Nothing changes before the next frame is due: no pass until then
    // (ApplyLightState wakes the thread for a new speed or effect).
    return m_pacer.MsToFrameDue(ticksApart, now);
}

} // namespace velkor
