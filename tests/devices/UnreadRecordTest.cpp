// Nothing is written to a device from a record the program has not read:
// before the read at attach a kind's settings write sends nothing (the
// keyboard's own bytes would go as zeros, the mouse's and the pad's record
// would come from an empty profile); once read, the write goes.
#include "DeviceTestSupport.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "devices/TolvanicMouseDevice.h"
#include "devices/TolvanicMousePadDevice.h"
#include "support/AttachRead.h"

#include <filesystem>

namespace velkor::test {
namespace {

namespace fs = std::filesystem;
using sim::SimUnit;

struct UnreadCase {
    const char* name;
    SimUnit unit;
    DeviceKind kind;
    const char* typeName;
    uint32_t modelCode;
    DevicePtr (*make)(const DeviceServices& services);
};

class UnreadRecord : public ::testing::TestWithParam<UnreadCase> {
protected:
    void SetUp() override {
        const fs::path source = fs::path(__FILE__).parent_path() / ".." / ".." / "DefaultData";
        fs::create_directories(m_folder.Path() + "/program");
        fs::copy(source.lexically_normal(), m_folder.Path() + "/program/DefaultData",
                 fs::copy_options::recursive);
        m_sim.Plug(GetParam().unit);
        m_device = GetParam().make(
            DeviceServices{m_sim, m_dispatcher, m_ticks, {m_folder.Path() + "/program", m_folder.Path()}});
        m_device->Paths().SetTypeName(GetParam().typeName);
        m_device->Paths().SetLightSettingsName("ornic_light");
        m_device->SetModelCode(GetParam().modelCode);
        m_device->State().SetProfileIdentifier("unread");
        SupportedDevice identity;
        identity.kind = GetParam().kind;
        m_device->State().SetIdentity(identity);
        ASSERT_TRUE(m_device->Driver().CommandTransport().Open(ChannelType::Wired,
                                                               m_sim.CommandPath(GetParam().unit)));
    }
    void TearDown() override { m_device.reset(); }

    // SendSettings and its writes ended: its result; `writes` the WriteParams frames sent.
    int Write(size_t& writes) {
        m_sim.ClearFrames();
        const int result = Capability<ProfileIo>(*m_device)->SendSettings(0, 0, 1, {});
        for (int wait = 0; wait < 5000 && !m_device->Driver().WorkerIdle(); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        m_dispatcher.ProcessPending();
        writes = 0;
        for (const sim::SimFrame& frame : m_sim.Frames()) {
            writes += frame.direction == sim::SimDirection::ToDevice && frame.bytes.size() > 3 &&
                      frame.bytes[3] == 0x06; // WriteParams
        }
        return result;
    }

    TempFolder m_folder;
    sim::SimBackend m_sim{7};
    ui::Dispatcher m_dispatcher;
    SetTickClock m_ticks;
    DevicePtr m_device;
};

TEST_P(UnreadRecord, NothingIsWrittenBeforeTheReadAtAttachAndTheWriteGoesAfterIt) {
    size_t writes = 0;
    EXPECT_EQ(Write(writes), kResultNoReply);
    EXPECT_EQ(writes, 0u) << "written from a record never read";
    ASSERT_TRUE(ReadAtAttach(*m_device, m_dispatcher));
    EXPECT_TRUE(m_device->State().SettingsRead());
    EXPECT_EQ(Write(writes), kResultOk);
    EXPECT_GE(writes, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, UnreadRecord,
    ::testing::Values(UnreadCase{"keyboard", SimUnit::Keyboard, DeviceKind::Keyboard, "keyboard", 0,
                                 [](const DeviceServices& s) -> DevicePtr {
                                     return MakeDevice<CTolvanicKeyboardDevice>(s);
                                 }},
                      UnreadCase{"mouse", SimUnit::Mouse, DeviceKind::Mouse, "mouse", 1,
                                 [](const DeviceServices& s) -> DevicePtr {
                                     return MakeDevice<CTolvanicMouseDevice>(s);
                                 }},
                      UnreadCase{"pad", SimUnit::MousePad, DeviceKind::MousePad, "MousePad", 2,
                                 [](const DeviceServices& s) -> DevicePtr {
                                     return MakeDevice<CTolvanicMousePadDevice>(s);
                                 }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velkor::test
