#pragma once
// The profile bar built from the program's layout with the in-memory toolkit,
// over a temporary user data folder and default profile, with a clock the
// test sets.
#include "ProfileTestSupport.h"
#include "profiles/CDeviceProfileUI.h"
#include "profiles/ProfileList.h"
#include "ui/Control.h"
#include "ui/memory/MemoryToolkit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace velkor::test {

inline std::string ProgramSkinFolder() {
    return (std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "skin").lexically_normal().string();
}

class BarCreator final : public ui::ControlCreator {
public:
    bool CanCreate(std::string_view c) const override { return c == CDeviceProfileUI::kControlClass; }
    void ControlCreated(std::string_view, ui::Control&) override {}
};

// The default profile every new and reset profile starts from.
inline Json::Value DefaultProfileDocument() {
    return ParseRaw(R"({"Device": [{"LightInfo": {"SelectItem": 3, "Light": 4},
                                    "CustomEQNameInfo": [{"Name": "Factory"}],
                                    "CustomEQHzValueInfo": [[{"value": 0}]]}]})");
}

class DeviceProfileBar : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        m_toolkit = ui::MemoryToolkit::Create(ProgramSkinFolder(), m_clock, &error);
        ASSERT_NE(m_toolkit, nullptr) << error;
        m_window = m_toolkit->CreateWindow(ui::WindowOptions{"XML_MAIN", "MainWnd"}, &error);
        ASSERT_NE(m_window, nullptr) << error;
        BarCreator creator;
        ui::Control* built = m_toolkit->BuildInto(*m_window->FindControl("device_page_area"),
                                                  CDeviceProfileUI::kLayout, &creator, &error);
        ASSERT_NE(built, nullptr) << error;
        m_bar = std::make_unique<CDeviceProfileUI>(*built, [this] { return m_now; });
        std::filesystem::create_directories(UserFolder());
        WriteRaw(DefaultPath(), CJsonFileHelper().StyledText(DefaultProfileDocument()));
    }

    // Builds the bar for a device kind and shows the first profiles.
    void Init(DeviceClass kind = DeviceClass::Mouse) {
        m_bar->SetDeviceKind(kind);
        m_bar->SetFolders(UserFolder(), DefaultPath());
        ASSERT_TRUE(m_bar->InitProfileBar());
    }

    std::string UserFolder() const { return m_temp.Path("VELKOR01/mouse/"); }
    std::string DefaultPath() const { return m_temp.Path("Default.Json"); }
    std::string ListPath() const { return UserFolder() + kProfileListFileName; }
    Json::Value List() const { return ReadRawJson(ListPath()); }
    std::string IdentifierAt(int index) const {
        return List()["profilelist"][index]["profileUUID"].asString();
    }
    std::string FileOf(const std::string& identifier) const { return UserFolder() + identifier + ".Json"; }
    Json::Value ProfileAt(int index) const { return ReadRawJson(FileOf(IdentifierAt(index))); }
    ui::Control& Part(std::string_view name) const { return *m_bar->Bar().FindChild(name); }
    std::vector<std::string> Names() const { return m_bar->ProfileNames(); }
    // Profiles named "profile1" ... "profileN" (N >= 1 after Init).
    void AddProfiles(int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(m_bar->AddProfile());
        }
    }

    TempFolder m_temp;
    std::chrono::system_clock::time_point m_now =
        std::chrono::system_clock::time_point(std::chrono::milliseconds(1688461503042));
    ui::ManualClock m_clock;
    std::unique_ptr<ui::MemoryToolkit> m_toolkit;
    std::unique_ptr<ui::Window> m_window;
    std::unique_ptr<CDeviceProfileUI> m_bar;
};

} // namespace velkor::test
