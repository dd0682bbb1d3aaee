// The KWin back end against a fake KWin on a private session bus: only the
// family's mice change, a refusal is reported with KWin's words, and a session
// without KWin or without a family mouse offers nothing.
#include "bus/PrivateBus.h"
#include "desktop/FakeKwin.h"
#include "platform/desktop/DesktopPointerSettings.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

using test::FakeInputDevice;
using test::FakeKwin;
using test::PrivateBus;

// The family's mouse on its cable and through its receiver.
const std::vector<UsbProductId> kFamilyMice = {{0x320F, 0x7070}, {0x320F, 0x221D}};

FakeInputDevice CableMouse() {
    return {.vendor = 0x320F, .product = 0x7070};
}
FakeInputDevice ReceiverMouse() {
    return {.vendor = 0x320F, .product = 0x221D};
}
// Someone else's mouse, with settings of its own that must survive.
FakeInputDevice OtherMouse() {
    return {.vendor = 0x046D, .product = 0xC077, .pointerAcceleration = -0.4, .scrollFactor = 1.0};
}

size_t Index(PointerSetting setting) {
    return static_cast<size_t>(setting);
}

class DesktopPointerKwin : public testing::Test {
protected:
    void SetUp() override {
        if (!PrivateBus::DaemonInstalled()) {
            GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus)";
        }
        std::string why;
        ASSERT_TRUE(m_bus.Start(why)) << why;
    }

    DesktopPointerOptions Options() const { return {"KDE", "", m_bus.Address(), kFamilyMice}; }

    void Serve(FakeKwin& kwin) {
        std::string why;
        ASSERT_TRUE(kwin.Start(m_bus.Address(), why)) << why;
    }

    PrivateBus m_bus;
};

TEST_F(DesktopPointerKwin, OnlyTheFamilysMouseChanges) {
    FakeKwin kwin({{"event4", OtherMouse()}, {"event5", CableMouse()}});
    ASSERT_NO_FATAL_FAILURE(Serve(kwin));
    DesktopPointerSettings settings(Options());
    EXPECT_EQ(settings.BackendName(), "KDE Plasma (KWin)");

    const PointerValues values{
        .speed = 15, .precision = 0, .doubleClickMs = 500, .wheelLines = 6, .pageScroll = 1};
    const PointerResults applied = settings.Apply(values);
    const PointerResults read = settings.Read();
    for (const PointerResults* results : {&applied, &read}) {
        for (PointerSetting setting :
             {PointerSetting::Speed, PointerSetting::Precision, PointerSetting::WheelLines}) {
            const PointerResult& result = (*results)[Index(setting)];
            EXPECT_TRUE(result.IsOk()) << PointerSettingInfoOf(setting).name << ": " << result.reason;
            EXPECT_EQ(result.value, values.Get(setting)) << PointerSettingInfoOf(setting).name;
        }
        EXPECT_EQ((*results)[Index(PointerSetting::DoubleClick)].status, PointerStatus::NotOffered);
        EXPECT_EQ((*results)[Index(PointerSetting::PageScroll)].status, PointerStatus::NotOffered);
    }

    kwin.Stop();
    const FakeInputDevice& family = kwin.Device(1);
    EXPECT_DOUBLE_EQ(family.pointerAcceleration, 0.5);
    EXPECT_EQ(family.profileFlat, 1);
    EXPECT_EQ(family.profileAdaptive, 0);
    EXPECT_DOUBLE_EQ(family.scrollFactor, 2.0);
    const FakeInputDevice& other = kwin.Device(0);
    EXPECT_DOUBLE_EQ(other.pointerAcceleration, -0.4);
    EXPECT_EQ(other.profileAdaptive, 1);
    EXPECT_DOUBLE_EQ(other.scrollFactor, 1.0);
}

TEST_F(DesktopPointerKwin, ARefusedOrIgnoredWriteFailsAndTheOtherMouseStillChanges) {
    FakeInputDevice refusing = CableMouse();
    refusing.refusedProperty = "scrollFactor";
    FakeInputDevice withoutFlat = ReceiverMouse();
    withoutFlat.hasFlatProfile = 0;
    FakeKwin kwin({{"event5", refusing}, {"event6", withoutFlat}});
    ASSERT_NO_FATAL_FAILURE(Serve(kwin));
    DesktopPointerSettings settings(Options());

    const PointerResult wheel = settings.Apply(PointerSetting::WheelLines, 6);
    EXPECT_EQ(wheel.status, PointerStatus::Failed);
    EXPECT_NE(wheel.reason.find(test::kRefusal), std::string::npos) << wheel.reason;
    EXPECT_NE(wheel.reason.find("event5"), std::string::npos) << wheel.reason;
    const PointerResult precision = settings.Apply(PointerSetting::Precision, 0);
    EXPECT_EQ(precision.status, PointerStatus::Failed);
    EXPECT_NE(precision.reason.find("KWin holds 1 for /org/kde/KWin/InputDevice/event6 after 0 was written"),
              std::string::npos)
        << precision.reason;
    const PointerResult speed = settings.Apply(PointerSetting::Speed, 5);
    EXPECT_TRUE(speed.IsOk()) << speed.reason;

    kwin.Stop();
    EXPECT_EQ(kwin.Device(0).profileFlat, 1);
    EXPECT_DOUBLE_EQ(kwin.Device(0).scrollFactor, 1.0);
    EXPECT_DOUBLE_EQ(kwin.Device(1).scrollFactor, 2.0);
    EXPECT_DOUBLE_EQ(kwin.Device(1).pointerAcceleration, -0.5);
}

TEST_F(DesktopPointerKwin, WithoutKwinOrWithoutAFamilyMouseNothingIsOffered) {
    {
        DesktopPointerSettings settings(Options());
        const PointerResult speed = settings.Read(PointerSetting::Speed);
        EXPECT_EQ(speed.status, PointerStatus::NotOffered);
        EXPECT_NE(speed.reason.find("KWin is not running"), std::string::npos) << speed.reason;
        EXPECT_EQ(settings.Apply(PointerSetting::Precision, 1).status, PointerStatus::NotOffered);
    }
    {
        FakeKwin noDevices({});
        ASSERT_NO_FATAL_FAILURE(Serve(noDevices));
        DesktopPointerSettings settings(Options());
        EXPECT_EQ(settings.Read(PointerSetting::WheelLines).reason,
                  "no mouse of the family is known to KWin");
    }
    FakeKwin kwin({{"event4", OtherMouse()}});
    ASSERT_NO_FATAL_FAILURE(Serve(kwin));
    DesktopPointerSettings settings(Options());
    const PointerResult speed = settings.Apply(PointerSetting::Speed, 20);
    EXPECT_EQ(speed.status, PointerStatus::NotOffered);
    EXPECT_EQ(speed.reason, "no mouse of the family is known to KWin");
    kwin.Stop();
    EXPECT_DOUBLE_EQ(kwin.Device(0).pointerAcceleration, -0.4);
}

} // namespace
} // namespace velkor
