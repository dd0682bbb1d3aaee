// A control of the Qt toolkit answers for the families its kind has, and for no other.
#include "QtTestSupport.h"
#include "ui/KindFamilies.h"

#include <gtest/gtest.h>

namespace velkor::ui {
namespace {

TEST(QtControlFamilies, EveryKindAnswersForItsFamiliesOnly) {
    test::KindsCreator creator;
    std::string error;
    auto window = test::TestToolkit().CreateWindow(
        WindowOptions{"test/kinds.ui", "TestWnd", nullptr, nullptr, &creator}, &error);
    ASSERT_NE(window, nullptr) << error;
    test::ExpectKindFamilies(*window);
}

} // namespace
} // namespace velkor::ui
