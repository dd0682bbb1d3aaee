#include "devices/TolvanicUSBDevice.h"

#include "devices/DeviceListItem.h"
#include "platform/Trace.h"
#include "profiles/DeviceDataFiles.h"
#include "profiles/JsonFileHelper.h"
#include "profiles/ProfileFolders.h"
#include "ui/Control.h"
#include "ui/ControlClasses.h"
#include "ui/Dispatcher.h"
#include "ui/Window.h"

namespace velkor {

namespace {

constexpr std::string_view kTracePageNotification = "测试成功   、n";
constexpr std::string_view kFunctionSwitchName = "device_function_switch";
constexpr std::string_view kKeyFunctionSwitchName = "device_key_function_switch";

} // namespace

LightInfoRecord LightInfoFromWords(const LightInfoWords& words) {
    uint8_t bytes[16] = {};
    for (size_t w = 0; w < words.size(); ++w) {
        for (size_t b = 0; b < 4; ++b) {
            bytes[w * 4 + b] = uint8_t(words[w] >> (8 * b));
        }
    }
    LightInfoRecord record;
    record.selectItem = bytes[0];
    record.light = bytes[1];
    record.speed = bytes[2];
    record.fx = bytes[3];
    record.multiColor = bytes[4];
    record.red = bytes[5];
    record.green = bytes[6];
    record.blue = bytes[7];
    record.reserved[0] = bytes[8];
    record.reserved[1] = bytes[9];
    record.reserved[2] = bytes[10];
    record.ledMode = bytes[11];
    record.customGroup = bytes[12];
    record.oldLedMode = bytes[13];
    return record;
}

LightInfoWords LightInfoToWords(const LightInfoRecord& r) {
    const uint8_t bytes[16] = {
        r.selectItem,  r.light,       r.speed,       r.fx,      r.multiColor,  r.red,        r.green, r.blue,
        r.reserved[0], r.reserved[1], r.reserved[2], r.ledMode, r.customGroup, r.oldLedMode, 0,       0};
    LightInfoWords words{};
    for (size_t w = 0; w < words.size(); ++w) {
        for (size_t b = 0; b < 4; ++b) {
            words[w] |= uint32_t(bytes[w * 4 + b]) << (8 * b);
        }
    }
    return words;
}

CTolvanicUSBDevice::CTolvanicUSBDevice(const DeviceServices& services)
    : m_services(services), m_command(services.backend), m_events(services.backend) {}

CTolvanicUSBDevice::~CTolvanicUSBDevice() {
    StopAllThreads();
    if (m_listItem != nullptr) {
        m_listItem->ForgetDevice(*this);
    }
    if (m_notificationsRegistered && m_page != nullptr) {
        m_page->OwnerWindow().RemoveNotifier(*this);
    }
}

// ---- Page ----

void CTolvanicUSBDevice::InitPage() {
    if (m_pageLayoutPath.empty()) {
        // A device without a page has nothing to show.
        SetKeyCount(0);
        SetLightCount(0);
        m_keyControls.clear();
        m_lightControls.clear();
        m_keyPanel = nullptr;
        return;
    }
    // Pointers from an earlier page must not survive a new collection.
    std::fill(m_keyControls.begin(), m_keyControls.end(), nullptr);
    std::fill(m_lightControls.begin(), m_lightControls.end(), nullptr);
    m_keyPanel = m_page != nullptr ? m_page->FindFirstOfClass(ui::kSelectPanelClass) : nullptr;
    if (m_keyPanel == nullptr) {
        return;
    }
    for (ui::Control* button : m_keyPanel->FindAllOfClass(ui::kDeviceKeyButtonClass)) {
        std::string prefix;
        int number = -1;
        if (!ui::SplitFamilyName(button->Name(), prefix, number) || number < 0) {
            continue;
        }
        if (prefix == "key_" && number < int(m_keyControls.size())) {
            m_keyControls[size_t(number)] = button;
        } else if (prefix == "light_" && number < int(m_lightControls.size())) {
            m_lightControls[size_t(number)] = button;
        }
    }
}

void CTolvanicUSBDevice::Notify(const ui::Notification& notification) {
    if (m_page == nullptr || notification.sender == nullptr) {
        return;
    }
    // Only controls of this page: several device pages share one window and
    // may carry controls of the same name.
    const std::string& name = notification.sender->Name();
    if (name.empty() || m_page->FindChild(name) != notification.sender) {
        return;
    }
    Trace(kTracePageNotification);
    OnPageNotify(notification);
}

bool CTolvanicUSBDevice::RegisterPageNotifications() {
    if (m_page == nullptr) {
        return false;
    }
    m_page->OwnerWindow().AddNotifier(*this);
    m_notificationsRegistered = true;
    return true;
}

void CTolvanicUSBDevice::RepaintPicture() {
    if (m_keyPanel != nullptr) {
        m_keyPanel->Invalidate();
    }
}

ui::Control* CTolvanicUSBDevice::FindSwitch(ui::Control*& cache, std::string_view name) {
    if (cache == nullptr && m_page != nullptr) {
        cache = m_page->FindChild(name);
    }
    return cache;
}

void CTolvanicUSBDevice::SelectFunctionPage(int type) {
    m_functionPage = type;
    ui::Control* functions = FindSwitch(m_functionSwitch, kFunctionSwitchName);
    ui::Control* keyFunctions = FindSwitch(m_keyFunctionSwitch, kKeyFunctionSwitchName);
    auto select = [](ui::Control* tab, int page) {
        if (tab != nullptr) {
            tab->SelectPage(page);
        }
    };
    // Page 4 exists only on keyboards and mice; the other kinds show the page of type 7.
    if (type == 4 && m_kindTag != 1 && m_kindTag != 2) {
        type = 7;
    }
    switch (type) {
    case 2:
    case 6:
        select(functions, 0);
        select(keyFunctions, 1);
        break;
    case 3:
    case 8:
        select(functions, 1);
        break;
    case 4:
        select(functions, 3);
        break;
    case 7:
        select(functions, 0);
        select(keyFunctions, 2);
        break;
    case 5:
        select(functions, 2);
        break;
    default:
        select(functions, 0);
        select(keyFunctions, 0);
        break;
    }
}

// ---- Set-up ----

bool CTolvanicUSBDevice::SetKeyCount(int count) {
    if (count < 0 || count > kMaxCount) {
        return false;
    }
    m_keyCount = count;
    m_keyControls.resize(size_t(count), nullptr);
    return true;
}

bool CTolvanicUSBDevice::SetLightCount(int count) {
    if (count < 0 || count > kMaxCount) {
        return false;
    }
    {
        std::lock_guard lock(m_ledLock);
        m_leds.assign(size_t(count), 0);
        m_ledRecords.assign(size_t(count), LedRecord{});
    }
    m_lightCount = count;
    m_lightControls.resize(size_t(count), nullptr);
    // Sized once here so that every frame is built without allocating.
    m_outputLeds.assign(size_t(count), 0);
    m_frame.assign(size_t(count) * 3, 0);
    return true;
}

void CTolvanicUSBDevice::SetBatteryFlag(bool on) {
    m_batteryFlag = on;
    if (!on) {
        m_trayFlag = false;
    }
    if (m_powerPanel != nullptr) {
        m_powerPanel->ShowBatteryArea(on);
    }
}

void CTolvanicUSBDevice::SetPowerPanel(PowerPanelLink* panel) {
    m_powerPanel = panel;
    // The battery flag is set before the panel in the creation order; without
    // this the panel would never hear of it.
    if (m_powerPanel != nullptr) {
        m_powerPanel->ShowBatteryArea(m_batteryFlag);
    }
}

void CTolvanicUSBDevice::SetIdentity(const SupportedDevice& row) {
    m_identity = row;
    m_kindTag = uint32_t(row.kind);
    m_role = row.role;
}

int CTolvanicUSBDevice::SetLightControl(bool on) {
    m_lightControl = on;
    if (on && m_kindTag == uint32_t(DeviceKind::Keyboard)) {
        return m_command.TakeLightingControl();
    }
    return kResultOk;
}

void CTolvanicUSBDevice::SetTrayFlag(bool on) {
    m_trayFlag = on && m_batteryFlag;
}

// ---- Data paths ----

void CTolvanicUSBDevice::ReloadPanels() {
    const CJsonFileHelper files;
    const std::string userFolder = GetUserDataFolder();
    const std::string defaultFolder = GetDefaultDataFolder();
    const uint32_t code = GetModelCode();
    DeviceNameLists& lists = m_nameLists;

    lists.macroNames.clear();
    if (!userFolder.empty()) {
        lists.macroNames = MacroNamesOf(files.ReadJsonFile(userFolder + MacroIndexFileNameFor(KindTag())));
    }

    if (!defaultFolder.empty()) {
        const Json::Value effects = files.ReadJsonFile(defaultFolder + kDefaultLightFileName);
        if (std::optional<ModeListEntries> modes = ModeListOf(effects, code)) {
            lists.modeNames = std::move(modes->names);
            lists.modeVisible = std::move(modes->visible);
            lists.modeCodes = std::move(modes->codes);
        }
        if (std::optional<std::vector<std::string>> areas = NamesOf(effects, "AreaLightName", code)) {
            lists.areaNames = std::move(*areas);
        }
    }

    if (!userFolder.empty()) {
        const Json::Value config = files.ReadJsonFile(LightConfigPath(userFolder));
        if (std::optional<std::vector<std::string>> custom = NamesOf(config, "LightInfo", code)) {
            lists.customEffectNames = std::move(*custom);
        }
    }
}

std::string CTolvanicUSBDevice::GetUserDataFolder() const {
    return UserDataFolder(m_services.folders.dataHome, m_typeName);
}

std::string CTolvanicUSBDevice::GetDefaultDataFolder() const {
    if (m_services.folders.programFolder.empty()) {
        return {};
    }
    return DefaultDataFolder(m_services.folders.programFolder);
}

std::string CTolvanicUSBDevice::GetDefaultProfilePath() const {
    if (m_services.folders.programFolder.empty()) {
        return {};
    }
    return DefaultProfilePath(m_services.folders.programFolder, m_typeName);
}

// ---- Operations the kinds fill ----

int CTolvanicUSBDevice::WriteKeyAssignments(int bank, const std::vector<KeyListEntry>& keys) {
    (void)bank;
    (void)keys;
    return 0;
}

int CTolvanicUSBDevice::WriteProfileKeys(int bank) {
    (void)bank;
    return 0;
}

int CTolvanicUSBDevice::WriteMacros(const MacroList& macros) {
    (void)macros;
    return 0;
}

int CTolvanicUSBDevice::SendSettings(int slot, int value, int flag, int screenWidth, int screenHeight) {
    (void)slot;
    (void)value;
    (void)flag;
    (void)screenWidth;
    (void)screenHeight;
    return 0;
}

void CTolvanicUSBDevice::SetKeyMap(const KeyMap& map) {
    m_thirdKeyMap = map;
}

void CTolvanicUSBDevice::SetLightInfo(const LightInfoWords& words) {
    std::lock_guard lock(m_ledLock);
    m_lightRecord = LightInfoFromWords(words);
}

LightInfoRecord CTolvanicUSBDevice::LightRecord() const {
    std::lock_guard lock(m_ledLock);
    return m_lightRecord;
}

void CTolvanicUSBDevice::SetAudioLightValues(const AudioLightValues& values) {
    m_audioLightValues = values;
    if (m_lightPanel != nullptr) {
        m_lightPanel->ShowAudioLightValues(values);
    }
}

AudioLightValues CTolvanicUSBDevice::GetAudioLightValues() {
    AudioLightValues values{};
    if (m_lightPanel != nullptr && m_lightPanel->ReadAudioLightValues(values)) {
        m_audioLightValues = values;
    }
    return m_audioLightValues;
}

// ---- Main window ----

void CTolvanicUSBDevice::NotifyMainWindow(uint32_t message, int64_t wParam, int64_t lParam) {
    ui::Dispatcher& dispatcher = m_services.dispatcher;
    if (dispatcher.IsUiThread()) {
        if (m_mainWindow != nullptr) {
            m_mainWindow->DeviceMessage(message, wParam, lParam);
        }
        return;
    }
    // From a device thread: never wait for the user-interface thread, which
    // may itself be waiting for this thread to stop.
    std::weak_ptr<int> alive = m_alive;
    dispatcher.Post([this, alive, message, wParam, lParam] {
        if (!alive.expired() && m_mainWindow != nullptr) {
            m_mainWindow->DeviceMessage(message, wParam, lParam);
        }
    });
}

void CTolvanicUSBDevice::RequestResync() {
    std::weak_ptr<int> alive = m_alive;
    m_services.dispatcher.Post([this, alive] {
        if (!alive.expired() && m_listItem != nullptr) {
            m_listItem->StartResyncTimer(ResyncDelayMs());
        }
    });
}

} // namespace velkor
