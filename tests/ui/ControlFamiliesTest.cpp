// A control answers for the families its kind has, and for no other.
#include "KindFamilies.h"
#include "UiTestSupport.h"
#include "ui/memory/MemoryToolkit.h"

#include <gtest/gtest.h>

namespace velkor::ui {
namespace {

TEST(ControlFamilies, EveryKindOfTheMemoryToolkitAnswersForItsFamiliesOnly) {
    ManualClock clock;
    std::string error;
    auto toolkit = MemoryToolkit::Create(test::SkinFolder(), clock, &error);
    ASSERT_NE(toolkit, nullptr) << error;
    test::KindsCreator creator;
    auto window =
        toolkit->CreateWindow(WindowOptions{"test/kinds.ui", "TestWnd", nullptr, nullptr, &creator}, &error);
    ASSERT_NE(window, nullptr) << error;
    test::ExpectKindFamilies(*window);
}

} // namespace
} // namespace velkor::ui
