// The mouse pad's page: the shipped layout shows the fifteen LEDs as the lit
// edge in ring order with each pair facing each other, and the pad's page
// build takes its LED overlays by name and by user data and paints them on
// the tick without sending anything.
#include "DeviceTestSupport.h"
#include "SkinPageSupport.h"
#include "devices/LightTables.h"
#include "devices/TolvanicMousePadDevice.h"
#include "ui/ControlClasses.h"
#include "ui/FamilyAccess.h"

#include <cmath>
#include <complex>

namespace velkor::test {
namespace {

using ui::test::LightOf;

constexpr int kLedCount = 15;

class MousePadDevicePage : public SkinPageTest {
protected:
    MousePadDevicePage() : SkinPageTest("XML\\DeviceXml\\mousepaddevice.xml", "TolvanicMousePadDevice") {}

    std::complex<double> Centre(int led) {
        const ui::Rect r = Find(ui::FamilyName("light_", led)).Geometry();
        return {r.x + r.width / 2.0, r.y + r.height / 2.0};
    }
};

TEST_F(MousePadDevicePage, TheLitEdgeRunsRoundThePadWithThePairsFacingEachOther) {
    ui::Control& panel = Find("mousepad_device_key_light");
    ASSERT_EQ(panel.Kind(), ui::ControlKind::SelectPanel);
    ExpectPlacedAmongSiblings(panel);
    const auto buttons = panel.FindAllOfClass(ui::kDeviceKeyButtonClass);
    ASSERT_EQ(buttons.size(), size_t(kLedCount)) << "LEDs only: the pad has no keys";
    for (const ui::Control* button : buttons) {
        for (const ui::Control* other : buttons) {
            EXPECT_TRUE(button == other || !button->Geometry().Intersects(other->Geometry()))
                << button->Name() << " and " << other->Name();
        }
    }
    // Pair (k, 15 - k): straight across the pad from each other.
    const double depth = std::abs(Centre(1) - Centre(14));
    for (int k = 1; k <= 7; ++k) {
        const std::complex<double> across = Centre(kLedCount - k) - Centre(k);
        EXPECT_EQ(across.real(), 0) << k;
        EXPECT_EQ(across.imag(), depth) << k;
    }
    // Ring order: each LED is nearer the next than the one after it.
    for (int n = 0; n < kLedCount; ++n) {
        EXPECT_LT(std::abs(Centre(n) - Centre((n + 1) % kLedCount)),
                  std::abs(Centre(n) - Centre((n + 2) % kLedCount)))
            << n;
    }

    // Every option tab still finds a page; the lighting panel's is the only container.
    EXPECT_EQ(Find("device_function_switch").ChildCount(), 4);
    EXPECT_EQ(Find("device_key_function_switch").ChildCount(), 3);
    EXPECT_EQ(m_window->FindControl("KeySetControlUI"), nullptr);
    EXPECT_EQ(m_window->FindControl("MacroSetControlUI"), nullptr);
    EXPECT_NE(m_window->FindControl("LightSetControlUI"), nullptr);
}

class MousePadDevicePageBuild : public DeviceWindowFixture {};

TEST_F(MousePadDevicePageBuild, TakesOverlaysByNameAndUserDataAndTheTickOnlyPaints) {
    DevicePtr device = BuildPage("pad_page.ui");
    auto* pad = dynamic_cast<CTolvanicMousePadDevice*>(device.get());
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->State().KindTag(), DeviceClass::MousePad) << "before any identity";
    EXPECT_TRUE(m_factory->Knows("CTolvanicMousePadDevice"));
    pad->Presenter().SetPageLayoutPath("pad_page.ui");
    pad->SetLightCount(4);
    pad->InitPage();
    ui::Control& group = *pad->Presenter().Page()->FindChild("key_group");
    EXPECT_EQ(pad->Presenter().LightControls(),
              (std::vector<ui::Control*>{group.FindChild("light_0"), group.FindChild("light_1"),
                                         group.FindChild("edge_2"), group.FindChild("light_3")}));

    m_backend.Plug(sim::SimUnit::MousePad);
    ASSERT_TRUE(pad->Driver().CommandTransport().Open(ChannelType::Wired,
                                                      m_backend.CommandPath(sim::SimUnit::MousePad)));
    m_backend.ClearFrames();
    pad->State().SetLedColour(2, PackLed(255, 128, 0, 200));
    pad->Presenter().SetPreviewSeen(true);
    pad->OutputLightFrame();
    EXPECT_EQ(LightOf(group.FindChild("edge_2")).LightColour(), 0xFF8000u);
    EXPECT_EQ(LightOf(group.FindChild("edge_2")).LightLevel(), 200);
    EXPECT_TRUE(m_backend.Frames().empty()) << "the pad's frame is shown, never sent";

    pad->Presenter().SetPageLayoutPath("");
    pad->InitPage();
    EXPECT_TRUE(pad->Presenter().LightControls().empty());
    EXPECT_TRUE(pad->State().Leds().Copy().leds.empty());
}

} // namespace
} // namespace velkor::test
