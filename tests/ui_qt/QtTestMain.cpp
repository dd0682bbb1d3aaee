// One Qt toolkit (and so one QApplication) serves every test of this program.
#include "QtTestSupport.h"
#include "ui/UiTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace velkor::ui::test {

namespace {
QtToolkit* g_toolkit = nullptr; // set by main for the test program's lifetime
} // namespace

QtToolkit& TestToolkit() {
    return *g_toolkit;
}

} // namespace velkor::ui::test

int main(int argc, char** argv) {
    // Test discovery runs this program without the test environment, too.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    std::string error;
    auto toolkit = velkor::ui::QtToolkit::Create(velkor::ui::test::SkinFolder(), argc, argv, &error);
    if (!toolkit) {
        std::fprintf(stderr, "no Qt toolkit: %s\n", error.c_str());
        return 1;
    }
    velkor::ui::test::g_toolkit = toolkit.get();
    const int result = RUN_ALL_TESTS();
    velkor::ui::test::g_toolkit = nullptr;
    return result;
}
