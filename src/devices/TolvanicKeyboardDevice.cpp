// The keyboard's attach sequence, layout, settings record, events and power.
// Profile, options and key writes: KeyboardProfile.cpp; colours: KeyboardColours.cpp.
#include "devices/TolvanicKeyboardDevice.h"

#include "keys/KeyTable.h"
#include "platform/Trace.h"
#include "ui/Control.h"
#include "ui/ControlClasses.h"

#include <chrono>
#include <string>
#include <thread>

namespace velkor {

namespace {

constexpr std::string_view kTraceLightThreadExit = "KB灯光线程设定退出";
constexpr std::string_view kTraceResyncRequest = "接收到自动添加设备的同步信息要求";
constexpr uint16_t kEventProfileSwitched = 0x0402;
constexpr uint16_t kEventIgnored = 0x0404;
// Byte 5 of the device information block: the number of key positions.
constexpr size_t kInfoKeyPositions = 5;
constexpr size_t kInfoMacroSlots = 6;
// Key 110 (Fn) cannot be reassigned.
constexpr int kFnKey = 110;
constexpr int kLightingPage = 1;
constexpr int kKeyPage = 2;
// The key without a row in the key table gets a caption of its own.
constexpr int kUnnamedKey = 17;
constexpr std::string_view kUnnamedKeyCaption = "keyboard_screen_key_17";
constexpr std::string_view kUnnamedKeyLegend = "keyboard_cap_17";
// The keys whose names are too long for their caps on the picture carry a
// legend of their own ("keyboard_cap_" + the name's suffix), as printed on a
// compact board; their full name stays their tool tip and accessible name.
constexpr std::string_view kNamePrefix = "keyboard_key_";
constexpr std::string_view kLegendPrefix = "keyboard_cap_";
constexpr std::string_view kLegendKeys[] = {
    "Num 0", "Num 1",       "Num 2", "Num 3",     "Num 4",   "Num 5",   "Num 6",  "Num 7",     "Num 8",
    "Num 9", "Num /",       "Num *", "Num -",     "Num +",   "Decimal", "K107",   "Num Enter", "Num Lock",
    "Home",  "Scroll Lock", "Pause", "Page Down", "Page Up", "App",     "Insert", "Delete",    "GM",
    "Enter", "BackSpace",   "K42",   "Up",        "Down",    "Left",    "Right",  "RWin",      "RAlt",
    "RCtrl", "K131",        "K132",  "K133",      "K150",    "K151",    "K45",    "Print Scr",
};

std::string LegendOf(std::string_view nameKey) {
    if (!nameKey.starts_with(kNamePrefix)) {
        return std::string(nameKey);
    }
    const std::string_view suffix = nameKey.substr(kNamePrefix.size());
    for (std::string_view key : kLegendKeys) {
        if (key == suffix) {
            return std::string(kLegendPrefix) + std::string(suffix);
        }
    }
    return std::string(nameKey);
}

} // namespace

CTolvanicKeyboardDevice::CTolvanicKeyboardDevice(const DeviceServices& services)
    : CTolvanicUSBDevice(services) {
    UseProfileData(&m_profile);
    m_tickLeds.reserve(kScreenKeyCount);
}

CTolvanicKeyboardDevice::~CTolvanicKeyboardDevice() = default;

// ---- Page ----

void CTolvanicKeyboardDevice::InitPage() {
    Presenter().RegisterPageNotifications(*this);
    BuildPage();
}

void CTolvanicKeyboardDevice::BuildPage() {
    if (Presenter().PageLayoutPath().empty() || Presenter().Page() == nullptr) {
        SetKeyCount(0);
        SetLightCount(0);
        CollectPageButtons(nullptr);
        return;
    }
    // The buttons of page 0 are the keys until a layout read picks another page.
    SelectLayoutPage(0);
}

void CTolvanicKeyboardDevice::SetKeyCaptions(ui::Control& container) {
    for (ui::Control* button : container.FindAllOfClass(ui::kDeviceKeyButtonClass)) {
        std::string prefix;
        int key = -1;
        if (!ui::SplitFamilyName(button->Name(), prefix, key) || prefix != "key_") {
            continue;
        }
        std::string_view name;
        std::string legend;
        if (const KeyTableRow* row = KeyRowAt(FindKeyByFunction(KeyIdentity(key)))) {
            name = row->nameKey;
            legend = LegendOf(name);
        } else if (key == kUnnamedKey) {
            name = kUnnamedKeyCaption;
            legend = kUnnamedKeyLegend;
        }
        if (!name.empty()) {
            button->SetResourceText(true);
            button->SetText(legend);
            button->SetToolTip(name);
        }
    }
}

void CTolvanicKeyboardDevice::SelectLayoutPage(int page) {
    ui::Control* container = PageControl(std::string(kLayoutPagePrefix) + std::to_string(page));
    if (container == nullptr && page == 0 && Presenter().Page() != nullptr) {
        container = Presenter().Page()->FindFirstOfClass(ui::kSelectPanelClass); // a page with one picture
    }
    if (container == nullptr) {
        TraceF("keyboard layout page %d missing", page);
        return;
    }
    if (auto* tab = ui::As<ui::PageControl>(PageControl(kLayoutTab))) {
        tab->SelectPage(page);
    }
    m_layoutPage = page;
    SetKeyCaptions(*container);
    CollectPageButtons(container);
}

void CTolvanicKeyboardDevice::SelectFunctionPage(int type) {
    CTolvanicUSBDevice::SelectFunctionPage(type);
    if (m_keysLit && !LightsOnPage()) {
        PaintKeys(false); // the other tabs show the keys unlit; no tick paints them there
    }
    if (type != kLightingPage && type != kKeyPage) {
        return;
    }
    const auto& keys = Presenter().KeyControls();
    if (size_t(kFnKey) < keys.size() && keys[size_t(kFnKey)] != nullptr) {
        keys[size_t(kFnKey)]->SetEnabled(type == kLightingPage);
    }
}

ui::Control* CTolvanicKeyboardDevice::PageControl(std::string_view name) const {
    return Presenter().Page() != nullptr ? Presenter().Page()->FindChild(name) : nullptr;
}

// ---- Attach ----

void CTolvanicKeyboardDevice::ReadAttached(std::function<void()> done) {
    m_keyTableRead = false; // until the layout is read, no key write starts from the old table
    SetSynchronisedLighting(false);
    Driver().ReadThenShow(
        [this] {
            return AttachRead{FetchLayout(), FetchSettings()};
        },
        [this, done](const AttachRead& read) {
            ApplyLayout(read.layout);
            LoadDeviceProfile();
            ApplySettings(read.settings, nullptr);
            RefreshView();
            StartLightThread();
            if (done) {
                done();
            }
        });
}

void CTolvanicKeyboardDevice::ReloadAfterEvent() {
    // The indication belongs to this keyboard and is used once.
    if (m_profileSwitchPending.exchange(false)) {
        ReloadProfileList();
        LoadDeviceProfile();
    }
    SetSynchronisedLighting(false);
    Driver().ReadThenShow([this] { return FetchSettings(); },
                          [this](const KeyboardRecordRead& read) {
                              ApplySettings(read, nullptr);
                              RefreshView();
                          });
}

void CTolvanicKeyboardDevice::SetProfileListReloader(std::function<void()> reload) {
    m_reloadProfileList = std::move(reload);
}

void CTolvanicKeyboardDevice::ReloadProfileList() {
    if (m_reloadProfileList) {
        m_reloadProfileList();
    }
}

bool CTolvanicKeyboardDevice::ReadLayout() {
    m_keyTableRead = false; // until this read succeeds, no key write starts from the old table
    return ApplyLayout(FetchLayout());
}

CTolvanicKeyboardDevice::LayoutRead CTolvanicKeyboardDevice::FetchLayout() {
    LayoutRead read;
    DeviceTransport& transport = Driver().CommandTransport();
    if (!transport.IsOpen()) {
        return read;
    }
    read.asked = true;
    transport.BeginSession();
    // Everything is read into scratch buffers first: a failed read keeps the
    // layout the keyboard had, and the next attach tries again.
    bool complete = transport.ReadDeviceInfo(read.info.data()) == kResultOk;
    const int positions = read.info[kInfoKeyPositions];
    complete = complete && transport.SetDataSize(uint16_t(positions * 3));
    complete = complete && transport.ReadKeyTable(read.keyList.data()) == kResultOk;
    complete = complete && transport.ReadKeyLightMap(read.lightMap.data()) == kResultOk;
    transport.EndSession(1);
    read.complete = complete;
    return read;
}

bool CTolvanicKeyboardDevice::ApplyLayout(const LayoutRead& read) {
    if (!read.asked) {
        return false;
    }
    m_keyTableRead = read.complete;
    ForgetBlockInDevice();
    SelectLayoutPage(KeyboardLayoutPage(m_regionalLayouts, m_layoutVariant, m_layoutPage));
    if (!read.complete) {
        Trace("keyboard layout not read: the previous key maps stay");
        return false;
    }
    const int positions = read.info[kInfoKeyPositions];
    m_deviceKeyList = read.keyList;
    m_deviceLightMap = read.lightMap;
    m_positions = positions;
    m_macroCapacity = size_t(read.info[kInfoMacroSlots]) * kMacroSlotBytes;
    const std::vector<KeyFunction> written = WrittenFunctions();
    m_maps = BuildKeyboardKeyMaps(m_deviceKeyList, std::span(m_deviceLightMap).first(size_t(positions)),
                                  positions, written);
    m_stream.SetLayout(m_maps, m_positions);
    TraceF("keyboard layout read: %d key positions, layout page %d", positions, m_layoutPage);
    return true;
}

std::vector<KeyFunction> CTolvanicKeyboardDevice::WrittenFunctions() {
    return LastSentKeyFunctions(*this, *this, m_profile, m_keyList);
}

bool CTolvanicKeyboardDevice::ReadSettings(int* activeProfile) {
    SetSynchronisedLighting(false);
    return ApplySettings(FetchSettings(), activeProfile);
}

CTolvanicKeyboardDevice::KeyboardRecordRead CTolvanicKeyboardDevice::FetchSettings() {
    KeyboardRecordRead read = ReadActiveRecord<KeyboardSettingsRecord::kSize>(
        Driver().CommandTransport(), kActiveProfileOffset, KeyboardRecordOffset);
    if (read.Ok()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return read;
}

bool CTolvanicKeyboardDevice::ApplySettings(const KeyboardRecordRead& read, int* activeProfile) {
    if (!read.Ok()) {
        return false;
    }
    const uint8_t profile = read.profile;
    const KeyboardSettingsRecord::Bytes& bytes = read.bytes;
    if (activeProfile != nullptr) {
        *activeProfile = profile;
    }
    const LightInfoRecord before = State().LightRecord();
    const DecodedKeyboardSettings decoded = DecodeSettingsRecord(
        KeyboardSettingsRecord::FromBytes(bytes), profile, before, m_system, Paths().NameLists());
    m_lastRecord = decoded.last;
    m_image = decoded.image;
    State().StoreLightInfo(LightInfoToWords(decoded.light));
    if (decoded.light.selectItem != before.selectItem || decoded.light.selectItem == kCustomColourEffect) {
        RestartEffect(decoded.light.selectItem, GroupSource::Device);
    }
    m_system = decoded.system;
    m_profile.WriteKeyboardSystem(m_system);
    m_profile.WriteLightInfo(decoded.light);
    SaveDeviceProfile();
    State().SetSettingsRead(true);
    UpdateLiveStream();
    TraceF("keyboard settings read: profile %d, effect %d, brightness %d, Win-lock %d", int(profile),
           int(decoded.light.selectItem), int(decoded.light.light), int(m_system.winFlag));
    return true;
}

// ---- Events ----

void CTolvanicKeyboardDevice::OnDeviceEvent(uint16_t code, ChannelType channel) {
    (void)channel;
    if (code == kEventProfileSwitched) {
        m_profileSwitchPending = true;
        Trace(kTraceResyncRequest);
        RequestResync();
        return;
    }
    if (code <= kEventProfileSwitched || code == kEventIgnored) {
        return;
    }
    // The record and the page belong to the user-interface thread; through the
    // worker, so that a re-read already under way is shown before this event.
    Driver().ShowInTurn([this, code] { HandleDeviceEvent(code); });
}

void CTolvanicKeyboardDevice::HandleDeviceEvent(uint16_t code) {
    if (!Driver().TransportOpen()) {
        return;
    }
    const std::optional<ProfileEvent> event = ProfileEventOf(code);
    if (!event) {
        return;
    }
    ApplyProfileEvent(*event, m_image, m_lastRecord);
    RefreshView();
}

std::string_view CTolvanicKeyboardDevice::LightThreadExitTrace() const {
    return kTraceLightThreadExit;
}

std::string_view CTolvanicKeyboardDevice::EventThreadExitTrace() const {
    return kTraceKeyboardMouseEventExit;
}

// ---- Power ----

int CTolvanicKeyboardDevice::ReadPower() {
    return ReadWirelessPower(*this);
}

bool CTolvanicKeyboardDevice::IsLinkUp() {
    return WirelessLinkUp(*this);
}

} // namespace velkor
