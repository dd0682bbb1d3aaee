// Why an input node cannot be read, as the user is told: only a permission
// error is cured by group input; every other cause is named as what it is.
#include "platform/input/InputNodes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace velkor {
namespace {

struct CauseCase {
    const char* name;
    std::vector<InputNodeInfo> nodes;
    bool orMouse;
    std::vector<std::string> says;  // parts of the lines, in order
    std::vector<std::string> never; // parts no line has
};

InputNodeInfo Node(const char* devnode, bool keyboard, bool mouse, int error) {
    InputNodeInfo node;
    node.devnode = devnode;
    node.keyboard = keyboard;
    node.mouse = mouse;
    node.readable = error == 0;
    node.error = error;
    node.reason = error != 0 ? InputOpenReason(error) : "";
    return node;
}

class UnreadableInput : public ::testing::TestWithParam<CauseCase> {};

TEST_P(UnreadableInput, NamesTheRealCause) {
    const std::vector<std::string> lines = UnreadableInputCause(GetParam().nodes, GetParam().orMouse);
    std::string all;
    for (const std::string& line : lines) {
        all += line + "\n";
    }
    size_t at = 0;
    for (const std::string& part : GetParam().says) {
        at = all.find(part, at);
        ASSERT_NE(at, std::string::npos) << "no \"" << part << "\" in order in:\n" << all;
    }
    for (const std::string& part : GetParam().never) {
        EXPECT_EQ(all.find(part), std::string::npos) << all;
    }
}

const std::string kGroup = "group input";

INSTANTIATE_TEST_SUITE_P(
    Causes, UnreadableInput,
    ::testing::Values(
        CauseCase{"NoNodeAtAll", {}, false, {"udev lists no keyboard"}, {kGroup}},
        CauseCase{"OnlyAMouse",
                  {Node("/dev/input/event4", false, true, 0)},
                  false,
                  {"udev lists no keyboard"},
                  {kGroup}},
        CauseCase{"PermissionDenied",
                  {Node("/dev/input/event3", true, false, EACCES)},
                  false,
                  {"no keyboard under /dev/input is readable", "add yourself to " + kGroup},
                  {"event3"}},
        CauseCase{"NotPermitted", {Node("/dev/input/event3", true, false, EPERM)}, false, {kGroup}, {}},
        CauseCase{
            "NodeMissing",
            {Node("/dev/input/event3", true, false, ENOENT)},
            false,
            {"/dev/input/event3: No such file or directory (udev lists the device but its node is missing"},
            {kGroup}},
        CauseCase{"DeviceGone",
                  {Node("/dev/input/event3", true, true, ENODEV)},
                  false,
                  {"/dev/input/event3: No such device (the device is gone"},
                  {kGroup}},
        CauseCase{"Busy",
                  {Node("/dev/input/event3", true, false, EBUSY)},
                  false,
                  {"event3: Device or resource busy (another program holds the device)"},
                  {kGroup}},
        CauseCase{"AnotherError",
                  {Node("/dev/input/event3", true, false, EIO)},
                  false,
                  {"event3: Input/output error"},
                  {kGroup, "("}},
        CauseCase{"EachNodeItsOwnCause",
                  {Node("/dev/input/event3", true, false, ENOENT),
                   Node("/dev/input/event5", true, false, EACCES),
                   Node("/dev/input/event6", false, true, EBUSY)},
                  false,
                  {"event3: No such file", kGroup},
                  {"event5", "event6"}},
        CauseCase{"MiceCountForRecording",
                  {Node("/dev/input/event6", false, true, EBUSY)},
                  true,
                  {"no keyboard or mouse under /dev/input is readable", "event6: Device or resource busy"},
                  {kGroup}}),
    [](const ::testing::TestParamInfo<CauseCase>& info) { return info.param.name; });

} // namespace
} // namespace velkor
