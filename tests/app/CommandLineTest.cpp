// The program's command line: what --page accepts and refuses.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace velkor::test {
namespace {

struct PageCase {
    const char* argument;
    CommandLineAction action;
    DeviceClass kind;
    int tab;
};

class PageOption : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageOption, NamesADeviceKindAndATab) {
    const PageCase& c = GetParam();
    const std::vector<const char*> argv = {"velkor", c.argument};
    ProgramOptions options;
    std::string error;
    EXPECT_EQ(ParseCommandLine(int(argv.size()), argv.data(), options, error), c.action) << c.argument;
    if (c.action == CommandLineAction::Run) {
        EXPECT_EQ(options.pageKind, c.kind);
        EXPECT_EQ(options.pageTab, c.tab);
    } else {
        EXPECT_NE(error.find("--page"), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, PageOption,
    ::testing::Values(PageCase{"--page=keyboard", CommandLineAction::Run, DeviceClass::Keyboard, 0},
                      PageCase{"--page=mouse:3", CommandLineAction::Run, DeviceClass::Mouse, 3},
                      PageCase{"--page=mousepad:1", CommandLineAction::Run, DeviceClass::MousePad, 1},
                      PageCase{"--page=headset:6", CommandLineAction::Run, DeviceClass::Headset, 6},
                      PageCase{"--page=", CommandLineAction::Error, DeviceClass::None, 0},
                      PageCase{"--page=phone", CommandLineAction::Error, DeviceClass::None, 0},
                      PageCase{"--page=mouse:9", CommandLineAction::Error, DeviceClass::None, 0},
                      PageCase{"--page=mouse:", CommandLineAction::Error, DeviceClass::None, 0},
                      PageCase{"--page=mouse:12", CommandLineAction::Error, DeviceClass::None, 0}));

} // namespace
} // namespace velkor::test
