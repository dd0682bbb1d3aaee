#include "app/DevicePanels.h"

#include "devices/KeyboardOptionsRouter.h"
#include "devices/MouseOptionsRouter.h"
#include "devices/RecoilUpload.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "devices/TolvanicMouseDevice.h"
#include "devices/TolvanicUSBDevice.h"
#include "headset/TolvanicHS6533Device.h"
#include "lighting/AudioLightControls.h"
#include "lighting/LightPanelHandlers.h"
#include "platform/JsonFileHelper.h"
#include "platform/Trace.h"
#include "platform/desktop/DesktopPointerSettings.h"
#include "profiles/JsonFields.h"
#include "profiles/ProfileSections.h"
#include "ui/Control.h"
#include "ui/Notification.h"
#include "ui/Prompts.h"
#include "ui/Toolkit.h"

namespace velkor {

// The lighting panel as the device sees it.
class LightPanelAdapter final : public LightPanelLink {
public:
    LightPanelAdapter(CTolvanicUSBDevice& device, CLightControlUI& panel)
        : m_device(device), m_panel(panel), m_audio(panel.Panel()) {}

    void ShowAudioLightValues(const AudioLightValues& values) override { m_audio.Show(values); }
    bool ReadAudioLightValues(AudioLightValues& values) const override { return m_audio.Read(false, values); }
    void ShowDeviceLighting() override { PrepareLightPanel(m_panel, m_device); }
    void SelectCustomGroup(int group) override { m_panel.SetCustomGroupIndex(group); }
    int SelectedCustomGroup() override { return m_panel.CustomGroupIndex(); }

private:
    CTolvanicUSBDevice& m_device;
    CLightControlUI& m_panel;
    AudioLightControls m_audio;
};

ui::Control* FilledPanel(ui::Control& page, std::string_view containerName) {
    ui::Control* container = page.FindChild(containerName);
    if (container == nullptr || container->ChildCount() == 0) {
        return nullptr;
    }
    return container->ChildAt(container->ChildCount() - 1); // the panel layout's top control
}

DevicePanelSet::DevicePanelSet(CTolvanicUSBDevice& device, ui::UserPrompts& prompts,
                               const ui::TextProvider* texts, ui::Rect screen, LightPanels* lightPanels,
                               DesktopPointerSettings* pointer)
    : m_device(device), m_prompts(prompts), m_texts(texts), m_screen(screen), m_lightPanels(lightPanels),
      m_pointer(pointer) {}

DevicePanelSet::~DevicePanelSet() {
    if (m_lightLink) {
        m_device.Presenter().SetLightPanel(nullptr);
    }
    if (auto* mouse = dynamic_cast<CTolvanicMouseDevice*>(&m_device)) {
        mouse->SetKeyPanelHook({});
    }
    if (auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(&m_device)) {
        keyboard->SetKeyPanelHook({});
        keyboard->SetProfileListReloader({});
        keyboard->SetTextProvider(nullptr);
    }
    if (auto* headset = dynamic_cast<CTolvanicHS6533Device*>(&m_device)) {
        headset->SetViewShown({});
    }
    if (m_lightPanel && m_lightPanels != nullptr) {
        m_lightPanels->Detach(m_device);
    }
}

void DevicePanelSet::ReloadPanels() {
    m_device.ReloadPanels();
    if (m_lightPanel) {
        PrepareLightPanel(*m_lightPanel, m_device);
    }
    if (m_keyPanel) {
        m_keyPanel->FillMacroList(m_device.Paths().NameLists().macroNames);
    }
}

void DevicePanelSet::Attach(ui::Control& page) {
    if (ui::Control* bar = FilledPanel(page, "DeviceProfileUI")) {
        m_profileBar = std::make_unique<CDeviceProfileUI>(*bar);
        m_profileRouter = std::make_unique<ProfileBarRouter>(*m_profileBar, m_prompts, *this);
        m_device.Presenter().SetProfileBar(bar);
        m_profileBar->SetDeviceKind(m_device.State().KindTag());
        m_profileBar->SetFolders(m_device.Paths().UserDataFolder(), m_device.Paths().DefaultProfilePath());
        if (!m_profileBar->InitProfileBar()) {
            Trace("profile bar: the profile list cannot be read or written");
        }
        m_profileBar->SelectOptionTab(1);
        m_device.State().SetProfileIdentifier(m_profileBar->GetSelectedIdentifier());
    }
    // Only keyboards and mice play macros.
    if (m_device.State().KindTag() == DeviceClass::Keyboard ||
        m_device.State().KindTag() == DeviceClass::Mouse) {
        if (ui::Control* panel = FilledPanel(page, "MacroSetControlUI")) {
            AttachMacroPanel(*panel);
        }
        if (ui::Control* panel = FilledPanel(page, CKeySetControlUI::kItemName)) {
            AttachKeyPanel(*panel);
        }
    }
    if (ui::Control* panel = FilledPanel(page, CLightControlUI::kItemName)) {
        m_lightPanel = std::make_unique<CLightControlUI>(*panel);
        if (m_lightPanels != nullptr) {
            m_lightPanels->Attach(m_device, *m_lightPanel);
        }
        m_lightLink = std::make_unique<LightPanelAdapter>(m_device, *m_lightPanel);
        m_device.Presenter().SetLightPanel(m_lightLink.get());
    }
    AttachKeyboard();
    AttachMouse(page);
    AttachHeadset(page);
    ReloadPanels();
}

void DevicePanelSet::AttachHeadset(ui::Control& page) {
    auto* headset = dynamic_cast<CTolvanicHS6533Device*>(&m_device);
    if (headset == nullptr) {
        return;
    }
    if (ui::Control* panel = FilledPanel(page, CVoice6533ControlUI::kItemName)) {
        m_voicePanel = std::make_unique<CVoice6533ControlUI>(*panel);
    }
    if (ui::Control* panel = FilledPanel(page, CMagicControlUI::kItemName)) {
        m_magicPanel = std::make_unique<CMagicControlUI>(*panel);
    }
    m_headsetRouter =
        std::make_unique<HeadsetPanelRouter>(m_device, m_voicePanel.get(), m_magicPanel.get(), m_prompts);
    m_headsetRouter->SetSelectedQuery([this] { return IsSelected(); });
    headset->SetViewShown([this] { m_headsetRouter->ShowDevice(); });
    m_headsetRouter->ShowDevice();
}

void DevicePanelSet::AttachMouse(ui::Control& page) {
    auto* mouse = dynamic_cast<CTolvanicMouseDevice*>(&m_device);
    if (mouse == nullptr) {
        return;
    }
    if (ui::Control* panel = FilledPanel(page, "ShootKeySetControlUI")) {
        m_shootPanel = std::make_unique<CShootControlUI>(*panel);
        m_shootPanel->SetUserFolder(m_device.Paths().UserDataFolder());
        m_shootPanel->SetDefaultFolder(m_device.Paths().DefaultDataFolder());
        m_shootPanel->InitShootPanel();
        m_shootPanel->SelectGun(0);
        m_shootPanel->SelectBullet(0);
        ShootPanelHooks shootHooks;
        shootHooks.mouseSelected = [this] {
            return m_device.State().KindTag() == DeviceClass::Mouse && IsSelected();
        };
        shootHooks.upload = [mouse](std::function<void(const RecoilSendResult&)> done) {
            return mouse->UploadRecoil([done = std::move(done)](const RecoilUploadOutcome& outcome) {
                const bool oversized = outcome.status == RecoilUploadStatus::Oversized;
                done(RecoilSendResult{outcome.Ok(), oversized ? outcome.gun : -1});
            });
        };
        m_shootRouter = std::make_unique<ShootPanelRouter>(*m_shootPanel, m_prompts, std::move(shootHooks));
    }
    mouse->SetScreenSize(ScreenSize{m_screen.width, m_screen.height});
    MouseOptionsRouter::Hooks hooks;
    hooks.askColour = [this](uint32_t current) { return m_prompts.AskColour(current); };
    hooks.pointerChanged = [this](std::string_view control, int value) {
        ApplyDesktopPointer(control, value);
    };
    m_mouseRouter = std::make_unique<MouseOptionsRouter>(*mouse, std::move(hooks));
    ShowDesktopPointer();
}

namespace {

struct PointerControl {
    std::string_view name;
    PointerSetting setting;
};
constexpr PointerControl kPointerControls[] = {
    {"pointer_speed_slider", PointerSetting::Speed},
    {"pointer_precision_check", PointerSetting::Precision},
    {"double_click_slider", PointerSetting::DoubleClick},
    {"scroll_speed_slider", PointerSetting::WheelLines},
    {"scrolls_page_check", PointerSetting::PageScroll},
};

} // namespace

void DevicePanelSet::ShowDesktopPointer() {
    ui::Control* page = m_device.Presenter().Page();
    if (page == nullptr) {
        return;
    }
    for (const PointerControl& entry : kPointerControls) {
        ui::Control* control = page->FindChild(entry.name);
        if (control == nullptr) {
            continue;
        }
        const PointerResult result =
            m_pointer != nullptr
                ? m_pointer->Read(entry.setting)
                : PointerResult::NotOffered("this program was started without the desktop's settings");
        control->SetEnabled(result.status != PointerStatus::NotOffered);
        if (result.IsOk()) {
            // A slider shows the number, a check box whether it is on.
            if (ui::RangeControl* slider = control->AsRange()) {
                slider->SetValue(result.value);
            }
            if (ui::SelectableControl* check = control->AsSelectable()) {
                check->SetSelected(result.value != 0, false);
            }
            control->SetToolTip("");
        } else {
            const char* key = result.status == PointerStatus::NotOffered ? "pointer_not_offered_tip"
                                                                         : "pointer_apply_failed_tip";
            control->SetToolTip(ui::TextOrKey(m_texts, key) + " (" + result.reason + ")");
        }
    }
}

void DevicePanelSet::ApplyDesktopPointer(std::string_view name, int value) {
    ui::Control* page = m_device.Presenter().Page();
    for (const PointerControl& entry : kPointerControls) {
        if (entry.name != name || m_pointer == nullptr || page == nullptr) {
            continue;
        }
        const PointerResult result = m_pointer->Apply(entry.setting, value);
        if (ui::Control* control = page->FindChild(name)) {
            control->SetToolTip(result.IsOk() ? std::string()
                                              : ui::TextOrKey(m_texts, "pointer_apply_failed_tip") + " (" +
                                                    result.reason + ")");
        }
    }
}

void DevicePanelSet::AttachKeyboard() {
    auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(&m_device);
    if (keyboard == nullptr) {
        return;
    }
    m_keyboardRouter = std::make_unique<KeyboardOptionsRouter>(*keyboard);
    keyboard->SetTextProvider(m_texts);
    keyboard->SetProfileListReloader([this] {
        if (m_profileBar && m_profileBar->InitProfileBar()) {
            m_device.State().SetProfileIdentifier(m_profileBar->GetSelectedIdentifier());
        }
    });
}

void DevicePanelSet::AttachMacroPanel(ui::Control& panel) {
    m_macroPanel = std::make_unique<CMacroControlUI>(panel, m_texts);
    m_macroPanel->SetMacroFolder(m_device.Paths().UserDataFolder());
    m_macroPanel->LoadMacroList();
    MacroPanelHooks hooks;
    hooks.profilePaths = [this] { return ProfilePaths(); };
    hooks.selectedProfilePath = [this] {
        return m_profileBar ? m_profileBar->GetSelectedProfilePath() : std::string();
    };
    hooks.currentKeys = [this] { return SelectedProfileKeys(); };
    hooks.takeKeys = [this](const std::vector<KeyListEntry>& keys) { return StoreSelectedProfileKeys(keys); };
    hooks.reloadPanels = [this] { ReloadPanels(); };
    hooks.writeMacrosAndKeys = [this] { WriteMacrosAndKeys(true); }; // as the key save does
    hooks.macroAdded = [this](const std::string& name) {
        if (m_keyPanel) {
            m_keyPanel->AppendMacro(name);
        }
    };
    hooks.macroRenamed = [this](int index, const std::string& name) {
        if (m_keyPanel) {
            m_keyPanel->RenameMacro(index, name);
        }
    };
    hooks.macroRemoved = [this](int index) {
        if (m_keyPanel) {
            m_keyPanel->RemoveMacro(index);
        }
    };
    hooks.refreshKeyDisplay = [this] {
        KeyEntryStore* keys = Capability<KeyEntryStore>(m_device);
        if (m_keyPanel && keys != nullptr && m_chosenKey >= 0 &&
            size_t(m_chosenKey) < keys->KeyList().size()) {
            const KeyListEntry& entry = keys->KeyList()[size_t(m_chosenKey)];
            m_keyPanel->EditKey(entry.current, entry.defaultFunction);
        }
    };
    hooks.enableKeySaving = [this] { EnableKeySaving(); };
    if (m_recordingLinks.start) {
        hooks.startRecording = [this](RecordDelayMode delayMode, int hookMode) {
            m_recordingLinks.start(*this, delayMode, hookMode);
        };
    }
    if (m_recordingLinks.stop) {
        hooks.stopRecording = [this] { m_recordingLinks.stop(*this); };
    }
    hooks.openMenu = m_recordingLinks.openMenu;
    m_macroRouter = std::make_unique<MacroPanelRouter>(*m_macroPanel, m_prompts, std::move(hooks));
}

void DevicePanelSet::EnableKeySaving() {
    if (m_keyPanel) {
        m_keyPanel->EnableSaving(true);
    }
    if (m_keyLinks.pendingChanged) {
        m_keyLinks.pendingChanged(true);
    }
}

void DevicePanelSet::AttachKeyPanel(ui::Control& container) {
    m_keyPanel = std::make_unique<CKeySetControlUI>(container);
    if (!m_keyPanel->Bound()) {
        Trace("key panel: its layout lacks some of the named controls");
    }
    m_keyPanel->SetDeviceKind(m_device.State().KindTag());
    m_keyPanel->FillMacroList(m_device.Paths().NameLists().macroNames);
    m_keyPanel->EnableSaving(false);
    KeySetHooks hooks;
    hooks.storeEntry = [this](const KeyListEntry& entry) {
        if (KeyEntryStore* keys = Capability<KeyEntryStore>(m_device)) {
            keys->StoreKeyEntry(m_chosenKey, entry);
        }
    };
    hooks.writeAllKeys = [this](std::function<void(int)> done) {
        return WriteMacrosAndKeys(true, std::move(done));
    };
    hooks.pendingChanged = [this](bool pending) {
        if (m_keyLinks.pendingChanged) {
            m_keyLinks.pendingChanged(pending);
        }
    };
    hooks.captureChanged = [this](bool on) {
        if (m_keyLinks.captureChanged) {
            m_keyLinks.captureChanged(on);
        }
    };
    m_keyRouter = std::make_unique<KeySetPanelRouter>(*m_keyPanel, std::move(hooks));
    const auto open = [this](int key) { OpenKey(key); };
    if (auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(&m_device)) {
        keyboard->SetKeyPanelHook(open);
    } else if (auto* mouse = dynamic_cast<CTolvanicMouseDevice*>(&m_device)) {
        mouse->SetKeyPanelHook(open);
    }
}

namespace {

constexpr KeyFunction kLeftButton{0, KeyCategory::MouseButton, kMouseLeft, 0};

// Key `key` is the only one with the left-button function.
bool LastLeftButton(const std::vector<KeyListEntry>& keys, size_t key) {
    if (!keys[key].current.SameFunction(kLeftButton)) {
        return false;
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i != key && keys[i].current.SameFunction(kLeftButton)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool DevicePanelSet::OpenKey(int key) {
    KeyEntryStore* keys = Capability<KeyEntryStore>(m_device);
    if (!m_keyPanel || keys == nullptr || key < 0 || size_t(key) >= keys->KeyList().size()) {
        return false;
    }
    if (m_device.State().KindTag() == DeviceClass::Mouse && LastLeftButton(keys->KeyList(), size_t(key))) {
        m_prompts.ShowMessageKey("message_text_6", MsgButtons::Notice);
        return false;
    }
    m_chosenKey = key;
    if (ui::Control* layout = m_keyPanel->Panel().FindChild(CKeySetControlUI::kLayout)) {
        layout->SetVisible(true);
    }
    const KeyListEntry& entry = keys->KeyList()[size_t(key)];
    m_keyPanel->EditKey(entry.current, entry.defaultFunction);
    return true;
}

bool DevicePanelSet::Route(const ui::Notification& notification) {
    if (m_profileRouter && m_profileRouter->Route(notification)) {
        return true;
    }
    if (m_keyRouter && m_keyRouter->Route(notification)) {
        return true;
    }
    if (m_keyboardRouter && m_keyboardRouter->Route(notification)) {
        return true;
    }
    if (m_mouseRouter && m_mouseRouter->Route(notification)) {
        return true;
    }
    if (m_headsetRouter && m_headsetRouter->Route(notification)) {
        return true;
    }
    if (m_shootRouter && m_shootRouter->Route(notification)) {
        return true;
    }
    return m_macroRouter && m_macroRouter->Route(notification);
}

std::vector<std::string> DevicePanelSet::ProfilePaths() const {
    std::vector<std::string> paths;
    if (!m_profileBar) {
        return paths;
    }
    const int count = m_profileBar->GetProfileCount();
    for (int i = 0; i < count; ++i) {
        if (std::string path = m_profileBar->GetProfilePathAt(i); !path.empty()) {
            paths.push_back(std::move(path));
        }
    }
    return paths;
}

std::vector<KeyListEntry> DevicePanelSet::SelectedProfileKeys() const {
    std::vector<KeyListEntry> keys;
    if (!m_profileBar) {
        return keys;
    }
    CJsonFileHelper json;
    Json::Value document = json.ReadJsonFile(m_profileBar->GetSelectedProfilePath());
    KeyListFromJson(JsonMember(ProfileObjectOf(document, 0), "KeyList"), keys);
    return keys;
}

bool DevicePanelSet::StoreSelectedProfileKeys(const std::vector<KeyListEntry>& keys) const {
    if (!m_profileBar) {
        return false;
    }
    const std::string path = m_profileBar->GetSelectedProfilePath();
    CJsonFileHelper json;
    Json::Value document = json.ReadJsonFile(path);
    Json::Value* profile = MutableProfileObjectOf(document, 0);
    if (path.empty() || profile == nullptr) {
        return false;
    }
    WriteKeyListSection((*profile)["KeyList"], keys);
    return json.WriteJsonFile(document, path);
}

bool DevicePanelSet::WriteMacrosAndKeys(bool saveProfile, std::function<void(int result)> done) {
    KeyWriter* keys = Capability<KeyWriter>(m_device);
    if (keys == nullptr) {
        if (done) {
            done(0); // this kind keeps no key table
        }
        return true;
    }
    MacroWriteRequest request = keys->PrepareMacroWrite(MacroWriteMode::MacrosAndKeys, 0);
    std::weak_ptr<int> alive = m_alive;
    CTolvanicUSBDevice& device = m_device;
    const bool started =
        m_device.Driver().RunTransfer([=, this, &device](const StopEvent& stop) -> std::function<void()> {
            size_t shownPercent = 101;
            const MacroWriteProgress progress = [&](size_t sent, size_t planned) {
                const size_t percent = planned == 0 ? 100 : sent * 100 / planned;
                if (percent != shownPercent) {
                    shownPercent = percent;
                    device.Driver().PostToUi([alive, this, sent, planned] {
                        if (!alive.expired()) {
                            ShowProgress(sent, planned);
                        }
                    });
                }
                return !stop.IsSet();
            };
            MacroWriteOutcome outcome = RunMacroWrite(device.Driver().CommandTransport(), request, progress);
            return [alive, this, &device, outcome = std::move(outcome), saveProfile, done] {
                if (KeyWriter* writer = Capability<KeyWriter>(device)) {
                    writer->FinishMacroWrite(outcome); // the device takes over what reached it
                }
                if (!alive.expired()) {
                    TakeWriteResult(outcome, saveProfile, done);
                }
            };
        });
    if (started && m_pendingWrites++ == 0) {
        ShowWriting(true);
    }
    return started;
}

void DevicePanelSet::TakeWriteResult(const MacroWriteOutcome& outcome, bool saveProfile,
                                     const std::function<void(int)>& done) {
    ShowProgress(outcome.framesSent, outcome.framesPlanned);
    if (--m_pendingWrites == 0) {
        ShowWriting(false);
    }
    if (ReportMacroWriteResult(outcome.result, m_prompts) && saveProfile) {
        if (ProfileIo* profile = Capability<ProfileIo>(m_device)) {
            profile->SaveDeviceProfile();
        }
    }
    if (done) {
        done(outcome.result);
    }
}

void DevicePanelSet::ShowWriting(bool writing) {
    ui::Control* page = m_device.Presenter().Page();
    if (writing) {
        m_progress = {};
        m_disabledForWrite.clear();
        for (std::string_view name : kWriteControls) {
            ui::Control* control = page != nullptr ? page->FindChild(name) : nullptr;
            if (control != nullptr && control->IsEnabled()) {
                control->SetEnabled(false);
                m_disabledForWrite.push_back(control);
            }
        }
    } else {
        for (ui::Control* control : m_disabledForWrite) {
            control->SetEnabled(true);
        }
        m_disabledForWrite.clear();
    }
    if (ui::Control* bar = page != nullptr ? page->FindChild(kWriteProgressBar) : nullptr) {
        bar->SetVisible(writing);
    }
}

void DevicePanelSet::ShowProgress(size_t sent, size_t planned) {
    m_progress = {sent, planned};
    ui::Control* page = m_device.Presenter().Page();
    if (auto* bar =
            ui::As<ui::RangeControl>(page != nullptr ? page->FindChild(kWriteProgressBar) : nullptr)) {
        bar->SetRange(0, int(planned));
        bar->SetValue(int(sent));
    }
}

int DevicePanelSet::ApplyProfile(const std::string& identifier, std::function<void(int result)> keysDone) {
    m_device.State().SetProfileIdentifier(identifier);
    ProfileIo* profile = Capability<ProfileIo>(m_device);
    if (profile != nullptr) {
        profile->SetupProfilePaths();
        profile->LoadDeviceProfile();
    }
    m_device.RefreshView();
    if (m_lightPanel) {
        PrepareLightPanel(*m_lightPanel, m_device); // the profile's lighting
    }
    const int sent = profile != nullptr
                         ? profile->SendSettings(0, 0, 1, ScreenSize{m_screen.width, m_screen.height})
                         : kResultOk;
    if (!WriteMacrosAndKeys(false, keysDone) && keysDone) {
        keysDone(-1);
    }
    return sent;
}

void DevicePanelSet::OptionTabChosen(int type) {
    m_device.SelectFunctionPage(type);
}

} // namespace velkor
