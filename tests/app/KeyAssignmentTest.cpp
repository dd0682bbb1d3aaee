// The key assignment panel on a page of the main window, with the simulated
// keyboard and mouse: a captured combination reaches the keyboard's key
// table, the mouse keeps a left button, and the write results end or keep
// the pending key changes.
#include "MainWndFixture.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "devices/TolvanicMouseDevice.h"
#include "keys/EvdevKeys.h"
#include "sim/SimBackend.h"
#include "ui/FamilyAccess.h"
#include "ui/memory/MemoryWindow.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

namespace velkor::test {
namespace {

using ui::test::ListOf;

class KeyAssignmentTest : public MainWndFixture {
protected:
    KeyAssignmentTest() {
        m_folder.AddDefaultData();
        m_toolkit->SetModalDriver([this](ui::MemoryWindow& box) {
            ui::Control* text = box.FindControl("MessageText");
            m_messages.push_back(text != nullptr ? text->Text() : "?");
            m_user.Click(box, "confirm_btn");
        });
    }
    template <class Device> Device* Attach(sim::SimUnit unit, int row) {
        m_sim.Plug(unit);
        if (!Start()) {
            return nullptr;
        }
        Device* device = nullptr;
        Until([&] {
            auto* found = m_main->Discovery() != nullptr ? m_main->Discovery()->DeviceOfModel(row) : nullptr;
            device = dynamic_cast<Device*>(found);
            return device != nullptr && !device->KeyList().empty() && device->Driver().LightThreadRunning();
        });
        if (device != nullptr) {
            device->SelectFunctionPage(2); // the key tab
        }
        return device;
    }
    ui::Control& On(CTolvanicUSBDevice& device, std::string_view name) {
        ui::Control* control = device.Presenter().Page()->FindChild(name);
        EXPECT_NE(control, nullptr) << name;
        return *control;
    }
    void ChoosePage(CTolvanicUSBDevice& device, int page) {
        ui::Control& combo = On(device, CKeySetControlUI::kFunctionCombo);
        EXPECT_TRUE(combo.IsVisible());
        for (int i = 0; i < ListOf(combo).ItemCount(); ++i) {
            if (ListOf(combo).ItemUserData(i) == std::to_string(page)) {
                m_user.ChooseItem(combo, i);
            }
        }
    }
    bool WaitForWrite(CTolvanicUSBDevice& device) {
        return Until([&] { return !m_main->PanelsOf(device)->Writing(); }, 1);
    }

    std::vector<std::string> m_messages;
};

TEST_F(KeyAssignmentTest, CapturedAltAReachesTheKeyboardsKeyTable) {
    auto* keyboard = Attach<CTolvanicKeyboardDevice>(sim::SimUnit::Keyboard, 1);
    ASSERT_NE(keyboard, nullptr);
    DevicePanelSet* panels = m_main->PanelsOf(*keyboard);
    ASSERT_NE(panels->KeyRouter(), nullptr);
    // The key picture of "A" (its factory function) and where the keyboard holds it.
    int key = -1;
    for (size_t k = 0; k < keyboard->KeyList().size(); ++k) {
        if (keyboard->KeyList()[k].current.SameFunction(MakeKeyboardKey(0, 0x04)) &&
            keyboard->KeyMaps().position[k] != 255) {
            key = int(k);
            break;
        }
    }
    ASSERT_GE(key, 0);
    const uint8_t position = keyboard->KeyMaps().position[size_t(key)];
    keyboard->SelectEntry(key);
    ASSERT_EQ(panels->ChosenKey(), key);
    ChoosePage(*keyboard, kPageKeyboard);

    // Focus on the key edit starts the capture through the main window's hook.
    ASSERT_TRUE(m_user.Focus(On(*keyboard, CKeySetControlUI::kKeyTextEdit)));
    ASSERT_TRUE(m_main->Recording().InputHook().IsHooked());
    EXPECT_EQ(m_main->Recording().InputHook().Mode(), 1);
    ui::Window& window = *m_main->GetWindow();
    m_user.PressKey(window, KEY_LEFTALT, true);
    m_user.PressKey(window, KEY_A, true);
    m_user.PressKey(window, KEY_A, false);
    m_user.PressKey(window, KEY_LEFTALT, false);
    EXPECT_TRUE(m_main->Recording().KeyChangesPending());
    ASSERT_TRUE(m_user.Focus(On(*keyboard, CKeySetControlUI::kFunctionCombo)));
    EXPECT_FALSE(m_main->Recording().InputHook().IsHooked());
    EXPECT_EQ(window.GetInputTap(), nullptr);
    EXPECT_TRUE(keyboard->KeyList()[size_t(key)].current.SameFunction(MakeKeyboardKey(0x04, 0x04)));

    ASSERT_TRUE(m_user.Click(On(*keyboard, CKeySetControlUI::kWriteButton)));
    ASSERT_TRUE(WaitForWrite(*keyboard));
    const std::vector<uint8_t> table = m_sim.Memory(sim::SimModel::Keyboard, sim::SimMemory::KeyTable);
    ASSERT_GT(table.size(), position * 3u + 2);
    EXPECT_EQ(table[position * 3u], 0x20);
    EXPECT_EQ(table[position * 3u + 1], 0x04);
    EXPECT_EQ(table[position * 3u + 2], 0x04);
    EXPECT_FALSE(m_main->Recording().KeyChangesPending());
    EXPECT_FALSE(On(*keyboard, CKeySetControlUI::kSaveButton).IsEnabled());
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(KeyAssignmentTest, AnUnknownModeKeepsKeysFromTheFocusedEditAndReportsNothing) {
    auto* keyboard = Attach<CTolvanicKeyboardDevice>(sim::SimUnit::Keyboard, 1);
    ASSERT_NE(keyboard, nullptr);
    ChoosePage(*keyboard, kPageMacro);
    ui::Control& edit = On(*keyboard, "keyset_macro_cycle_edit");
    ASSERT_TRUE(m_user.Type(edit, "12"));
    int reports = 0;
    m_main->Recording().SetHookListener([&](HookReport, const ui::InputPress&) { ++reports; });
    ui::Window& window = *m_main->GetWindow();
    ASSERT_EQ(m_main->Recording().StartInputHook(64, true, true), 1);
    m_user.PressKey(window, KEY_3, true);
    m_user.PressButton(window, BTN_LEFT, true);
    EXPECT_EQ(edit.Text(), "12");
    EXPECT_EQ(reports, 0);
    m_main->Recording().StopInputHook();
    m_user.PressKey(window, KEY_3, true); // the edit takes keys again
    EXPECT_EQ(edit.Text(), "123");
}

TEST_F(KeyAssignmentTest, TheMousesLastLeftButtonIsNotOpened) {
    auto* mouse = Attach<CTolvanicMouseDevice>(sim::SimUnit::Mouse, 0);
    ASSERT_NE(mouse, nullptr);
    DevicePanelSet* panels = m_main->PanelsOf(*mouse);
    const KeyFunction left{0, KeyCategory::MouseButton, kMouseLeft, 0};
    int leftKey = -1;
    int lefts = 0;
    for (size_t k = 0; k < mouse->KeyList().size(); ++k) {
        if (mouse->KeyList()[k].current.SameFunction(left)) {
            leftKey = leftKey < 0 ? int(k) : leftKey;
            ++lefts;
        }
    }
    ASSERT_EQ(lefts, 1);
    mouse->SelectEntry(leftKey);
    EXPECT_EQ(panels->ChosenKey(), -1);
    ASSERT_EQ(m_messages.size(), 1u);

    // Another button opens; once it is a left button too, the first one opens.
    const int other = leftKey == 0 ? 1 : 0;
    mouse->SelectEntry(other);
    ASSERT_EQ(panels->ChosenKey(), other);
    ChoosePage(*mouse, kPageMouseButton);
    m_user.ChooseItem(On(*mouse, "keyset_mousekey_combo"), 0);
    EXPECT_TRUE(mouse->KeyList()[size_t(other)].current.SameFunction(left));
    mouse->SelectEntry(leftKey);
    EXPECT_EQ(panels->ChosenKey(), leftKey);
    EXPECT_EQ(m_messages.size(), 1u);
}

} // namespace
} // namespace velkor::test
