// Discovery end to end: the scan thread on the simulated family, the device
// objects built from the program's own layouts in the in-memory toolkit, the
// channels they open, the switch between cable and receiver, and the items.
#include "DiscoveryTestSupport.h"
#include "profiles/LanguageTexts.h"
#include "ui/Control.h"
#include "ui/FamilyAccess.h"

namespace velkor::test {
namespace {

using sim::SimUnit;
using ui::test::PagesOf;

class ItemObserver final : public DeviceListObserver {
public:
    void SelectedItemHiding() override { ++selectedHidings; }
    void VisibleItemsChanged(int visible) override { lastVisible = visible; }
    int selectedHidings = 0;
    int lastVisible = -1;
};

class Discovery : public ::testing::Test {
protected:
    Discovery() : Discovery(BuiltInCatalog()) {}
    // Discovery and the simulator on the models of `catalog` (which outlives the test).
    explicit Discovery(const DeviceCatalog& catalog) : m_catalog(catalog) {}

    void SetUp() override {
        std::string error;
        m_toolkit = ui::MemoryToolkit::Create(SkinFolder(), m_clock, &error);
        ASSERT_NE(m_toolkit, nullptr) << error;
        m_window = m_toolkit->CreateWindow(ui::WindowOptions{"XML_MAIN", "MainWnd"}, &error);
        ASSERT_NE(m_window, nullptr) << error;
        m_factory = std::make_unique<DeviceFactory>(DeviceServices{
            m_backend, m_toolkit->GetDispatcher(), m_ticks, {m_folder.Path(), m_folder.Path()}});
        m_discovery = std::make_unique<DeviceDiscovery>(
            DeviceDiscoveryServices{*m_toolkit, *m_window, *m_factory, &m_router, &m_observer, &m_catalog});
        m_router.discovery = m_discovery.get();
        ASSERT_EQ(m_discovery->CreateStartupDevices(), 2);
        m_scanner = std::make_unique<DeviceScanner>(m_backend, m_toolkit->GetDispatcher(),
                                                    m_discovery->Slots(), m_router);
        ASSERT_TRUE(m_scanner->Start());
    }
    void TearDown() override {
        m_scanner.reset();
        m_discovery.reset();
    }
    bool Until(const std::function<bool()>& done) { return PumpUntil(*m_toolkit, done); }
    // The start-up timer of the device of `row` has read it: its item shows.
    bool ReadAndShown(int row) {
        m_toolkit->AdvanceTime(kStartupDelayMs);
        return Until([&] { return ItemShown(row); });
    }
    CTolvanicUSBDevice* Model(int row) const { return m_discovery->DeviceOfModel(row); }
    bool ItemShown(int row) const { return m_discovery->ListItemOfModel(row)->IsVisible(); }
    ui::Control& Find(std::string_view name) const { return *m_window->FindControl(name); }
    // The page "device_switch" shows.
    ui::Control* ShownPage() const {
        ui::Control& pages = Find("device_switch");
        return pages.ChildAt(PagesOf(pages).CurrentPage());
    }

    const DeviceCatalog& m_catalog;
    TempFolder m_folder;
    sim::SimBackend m_sim{5, m_catalog};
    FamilyBackend m_backend{m_sim};
    ui::ManualClock m_clock{100000};
    ToolkitTickClock m_ticks{m_clock};
    WindowRouter m_router;
    ItemObserver m_observer;
    std::unique_ptr<ui::MemoryToolkit> m_toolkit;
    std::unique_ptr<ui::Window> m_window;
    std::unique_ptr<DeviceFactory> m_factory;
    std::unique_ptr<DeviceDiscovery> m_discovery;
    std::unique_ptr<DeviceScanner> m_scanner;
};

TEST_F(Discovery, TheMouseAndKeyboardExistHiddenFromTheStart) {
    CTolvanicUSBDevice* mouse = Model(0);
    ASSERT_TRUE(mouse && Model(1));
    EXPECT_TRUE(Model(1)->State().Identity().SameIdentity(SupportedDeviceTable()[size_t(SlotOf(0x50B7))]));
    EXPECT_EQ(mouse->State().KindTag(), DeviceClass::Mouse);
    EXPECT_TRUE(mouse->State().BatteryFlag());
    EXPECT_EQ(mouse->Presenter().Page()->ClassName(), "TolvanicMouseDevice");
    EXPECT_NE(mouse->Presenter().KeyControls()[10], nullptr) << "the page's key buttons were collected";
    EXPECT_FALSE(ItemShown(0));
    EXPECT_FALSE(mouse->Driver().TransportOpen());
    const ui::Control* name = m_discovery->ListItemOfModel(0)->FindChild("device_name_label");
    EXPECT_EQ(name->Text(), "device_name_mouse");
    EXPECT_TRUE(name->IsResourceText()) << "a language change follows";
    EXPECT_EQ(m_discovery->PowerPanelOfModel(0)->Class(), DeviceClass::Mouse);
    EXPECT_FALSE(m_discovery->Attach(-1));
    EXPECT_FALSE(m_discovery->Detach(int(SupportedDeviceTable().size())));
}

TEST_F(Discovery, TheMouseMovesBetweenReceiverAndCable) {
    CTolvanicUSBDevice* mouse = Model(0);
    m_sim.Plug(SimUnit::MouseReceiver);
    ASSERT_TRUE(Until([&] {
        return m_router.Attaches(SlotOf(0x221D)) == 1 && m_router.Attaches(SlotOf(0x221D, kRoleEvent)) == 1;
    }));
    EXPECT_EQ(Model(0), mouse) << "the existing object, not a new one";
    EXPECT_EQ(m_discovery->DevicesOfClass(DeviceClass::Mouse).size(), 1u);
    EXPECT_TRUE(mouse->Driver().TransportOpen());
    EXPECT_TRUE(mouse->Driver().OnReceiver());
    EXPECT_EQ(mouse->Driver().CommandTransport().ChunkSize(), kReceiverChunkSize);
    EXPECT_TRUE(mouse->Driver().EventThreadRunning(ChannelType::Receiver));
    EXPECT_FALSE(ItemShown(0)) << "hidden until the link check and the read";
    EXPECT_TRUE(ReadAndShown(0));
    EXPECT_EQ(m_discovery->SelectedDevice(), mouse);
    EXPECT_EQ(ShownPage(), mouse->Presenter().Page());

    m_sim.Plug(SimUnit::Mouse);
    ASSERT_TRUE(Until([&] { return m_router.Attaches(SlotOf(0x7070)) == 1; }));
    EXPECT_FALSE(mouse->Driver().OnReceiver());
    EXPECT_EQ(mouse->Driver().CommandTransport().ChunkSize(), kWiredChunkSize);
    EXPECT_TRUE(m_discovery->Slots().IsPresent(SlotOf(0x221D))) << "the receiver stays claimed";
    EXPECT_EQ(mouse->Driver().CommandTransport().BeginSession(), kResultOk);
    EXPECT_TRUE(m_sim.InSession(sim::SimModel::Mouse));

    m_sim.Unplug(SimUnit::Mouse);
    ASSERT_TRUE(Until([&] { return m_router.Detaches(SlotOf(0x7070)) == 1; }));
    EXPECT_TRUE(mouse->Driver().TransportOpen());
    EXPECT_TRUE(mouse->Driver().OnReceiver());
    EXPECT_EQ(mouse->Driver().CommandTransport().ChunkSize(), kReceiverChunkSize);
    EXPECT_TRUE(ItemShown(0)) << "switched back, not hidden";
    EXPECT_EQ(mouse->Driver().CommandTransport().EndSession(), kResultOk);

    m_sim.Unplug(SimUnit::MouseReceiver);
    ASSERT_TRUE(Until([&] {
        return m_router.Detaches(SlotOf(0x221D)) == 1 && m_router.Detaches(SlotOf(0x221D, kRoleEvent)) == 1;
    }));
    EXPECT_FALSE(mouse->Driver().TransportOpen());
    EXPECT_FALSE(mouse->Driver().EventThreadRunning(ChannelType::Receiver));
    EXPECT_FALSE(ItemShown(0));
    EXPECT_TRUE(Find("No_device_Link").IsVisible());
}

TEST_F(Discovery, Keyboard511DHasItsOwnModelAndTheReceiverReachesThe50B7) {
    m_sim.Plug(SimUnit::Keyboard511D);
    ASSERT_TRUE(Until([&] { return m_router.Attaches(SlotOf(0x511D)) == 1; }));
    CTolvanicUSBDevice* k511d = Model(4);
    ASSERT_NE(k511d, nullptr);
    EXPECT_TRUE(k511d->State().Identity().SameIdentity(SupportedDeviceTable()[size_t(SlotOf(0x511D))]));
    EXPECT_TRUE(k511d->Driver().TransportOpen());
    EXPECT_FALSE(k511d->Driver().OnReceiver());
    EXPECT_FALSE(Model(1)->Driver().TransportOpen());

    m_sim.Plug(SimUnit::KeyboardReceiver);
    ASSERT_TRUE(Until([&] { return m_router.Attaches(SlotOf(0x50A9)) == 1; }));
    CTolvanicUSBDevice* k50b7 = Model(1);
    EXPECT_TRUE(k50b7->Driver().TransportOpen());
    EXPECT_TRUE(k50b7->Driver().OnReceiver());
    EXPECT_TRUE(k50b7->State().Identity().SameIdentity(SupportedDeviceTable()[size_t(SlotOf(0x50B7))]));
    EXPECT_TRUE(k511d->Driver().TransportOpen()) << "the receiver is no partner of 0x511D";
    EXPECT_EQ(m_discovery->DevicesOfClass(DeviceClass::Keyboard).size(), 2u);

    // Same kind, same page layout, but each keyboard named as its model.
    LanguageTexts english;
    ASSERT_TRUE(english.LoadFile(SkinFolder() + "/lan_en.xml"));
    m_toolkit->SetTextProvider(&english);
    const auto itemName = [&](int row) {
        return m_discovery->ListItemOfModel(row)->FindChild("device_name_label")->DisplayText();
    };
    const auto title = [](CTolvanicUSBDevice* device) {
        return device->Presenter().Page()->FindChild("device_title_label")->DisplayText();
    };
    EXPECT_EQ(itemName(1), "Wireless keyboard");
    EXPECT_EQ(itemName(4), "Wired keyboard");
    EXPECT_EQ(title(k50b7), "Wireless keyboard");
    EXPECT_EQ(title(k511d), "Wired keyboard");
    m_toolkit->SetTextProvider(nullptr);
}

TEST_F(Discovery, ADeviceThatLeavesIsReusedWhenItComesBack) {
    m_sim.Plug(SimUnit::MousePad);
    ASSERT_TRUE(Until([&] {
        return m_router.Attaches(SlotOf(0x1004)) == 1 && m_router.Attaches(SlotOf(0x1004, kRoleEvent)) == 1;
    }));
    CTolvanicUSBDevice* pad = Model(2);
    ASSERT_NE(pad, nullptr);
    EXPECT_TRUE(pad->Driver().TransportOpen());
    EXPECT_FALSE(pad->Driver().OnReceiver());
    EXPECT_EQ(pad->Driver().CommandTransport().ChunkSize(), kReceiverChunkSize)
        << "the pad keeps the defaults";
    EXPECT_FALSE(ItemShown(2)) << "offered once it was read";
    EXPECT_TRUE(ReadAndShown(2));
    EXPECT_EQ(m_discovery->SelectedDevice(), pad);
    EXPECT_EQ(ShownPage(), pad->Presenter().Page());
    EXPECT_FALSE(Find("No_device_Link").IsVisible());

    m_sim.Unplug(SimUnit::MousePad);
    ASSERT_TRUE(Until([&] {
        return m_router.Detaches(SlotOf(0x1004)) == 1 && m_router.Detaches(SlotOf(0x1004, kRoleEvent)) == 1;
    }));
    EXPECT_FALSE(pad->Driver().TransportOpen());
    EXPECT_FALSE(pad->Driver().EventThreadRunning(ChannelType::Wired));
    EXPECT_FALSE(ItemShown(2));
    EXPECT_TRUE(Find("No_device_Link").IsVisible());

    const int enumerations = m_backend.Enumerations();
    m_sim.Plug(SimUnit::MousePad);
    ASSERT_TRUE(Until([&] { return m_router.Attaches(SlotOf(0x1004)) == 2; }));
    EXPECT_LE(m_backend.Enumerations() - enumerations, 2) << "claimed again on the next pass";
    EXPECT_EQ(Model(2), pad);
    EXPECT_TRUE(pad->Driver().TransportOpen());
    EXPECT_FALSE(ItemShown(2)) << "read again before it is offered again";
    EXPECT_TRUE(ReadAndShown(2));
}

TEST_F(Discovery, HidingTheSelectedItemSelectsTheNextVisibleOne) {
    m_sim.Plug(SimUnit::MousePad);
    m_sim.Plug(SimUnit::Headset);
    ASSERT_TRUE(Until(
        [&] { return m_router.Attaches(SlotOf(0x1004)) == 1 && m_router.Attaches(SlotOf(0x1630)) == 1; }));
    ASSERT_TRUE(ReadAndShown(2));
    ASSERT_TRUE(Until([&] { return ItemShown(3); }));
    ASSERT_EQ(m_discovery->VisibleItemCount(), 2);
    CTolvanicUSBDevice* first = m_discovery->SelectedDevice();
    ASSERT_NE(first, nullptr);
    CTolvanicUSBDevice* other = first == Model(2) ? Model(3) : Model(2);
    EXPECT_EQ(other->Driver().CommandTransport().BeginSession(), kResultOk);

    ASSERT_TRUE(m_discovery->SelectAdjacentItem(true));
    EXPECT_EQ(m_discovery->SelectedDevice(), other);
    ASSERT_TRUE(m_discovery->SelectAdjacentItem(true));
    EXPECT_EQ(m_discovery->SelectedDevice(), first) << "wraps round";

    m_sim.Unplug(first == Model(2) ? SimUnit::MousePad : SimUnit::Headset);
    ASSERT_TRUE(Until([&] { return m_router.detached.size() >= 1 && m_discovery->VisibleItemCount() == 1; }));
    EXPECT_EQ(m_observer.selectedHidings, 1);
    EXPECT_EQ(m_observer.lastVisible, 1);
    EXPECT_EQ(m_discovery->SelectedDevice(), other);
    EXPECT_EQ(ShownPage(), other->Presenter().Page());

    m_sim.Unplug(first == Model(2) ? SimUnit::Headset : SimUnit::MousePad);
    ASSERT_TRUE(Until([&] { return m_discovery->VisibleItemCount() == 0; }));
    EXPECT_EQ(m_discovery->SelectedDevice(), nullptr);
    EXPECT_EQ(m_observer.lastVisible, 0);
    EXPECT_TRUE(Find("No_device_Link").IsVisible());
    EXPECT_EQ(PagesOf(Find("device_switch")).CurrentPage(), 0);
}

// A model the program has never heard of, given only as data: a larger mouse
// pad with its own product ID, its own name key and the pad's page layout.
const DeviceCatalog& CatalogWithASixthModel() {
    static const DeviceCatalog catalog([] {
        std::vector<ModelDescription> models = BuiltInModels();
        ModelDescription pad;
        pad.name = "mousepad-xl";
        pad.deviceClass = DeviceClass::MousePad;
        pad.vendorId = 0x320F;
        pad.cable = {.productId = 0x1010, .chunkSize = 24, .release = 0x0103};
        pad.typeName = "MousePad";
        pad.nameKey = "device_name_mousepad_xl";
        pad.modelCode = 2;
        pad.lightCount = 15;
        pad.pageLayout = "XML\\DeviceXml\\mousepaddevice.xml";
        pad.picture = "devices/pictures/mousepad-xl.svg";
        pad.itemPicture = "devices/pictures/mousepad-xl-small.svg";
        pad.firmware = {.ledCount = 15, .firmwareVersion = 0x0103};
        models.push_back(pad);
        return models;
    }());
    return catalog;
}

class SixthModel : public Discovery {
protected:
    SixthModel() : Discovery(CatalogWithASixthModel()) {}
};

TEST_F(SixthModel, IsDiscoveredSimulatedAndShownFromItsDescriptionAlone) {
    ASSERT_TRUE(m_catalog.Problems().empty()) << m_catalog.Problems().front();
    const std::optional<sim::SimUnit> unit = m_sim.Catalog().UnitFromName("mousepad-xl");
    ASSERT_TRUE(unit.has_value()) << "the simulator has a unit for it";
    EXPECT_EQ(m_sim.CommandPath(*unit), "sim:mousepad-xl#vid_320f&pid_1010&mi_01&col04");
    const int command = m_catalog.FindSlot(0x320F, 0x1010, DeviceKind::MousePad, kRoleCommand);
    const int events = m_catalog.FindSlot(0x320F, 0x1010, DeviceKind::MousePad, kRoleEvent);
    ASSERT_GE(command, 0);
    ASSERT_GE(events, 0);

    m_sim.Plug(*unit);
    ASSERT_TRUE(Until([&] { return m_router.Attaches(command) == 1 && m_router.Attaches(events) == 1; }));
    const int modelRow = int(m_catalog.Models().size()) - 1;
    CTolvanicUSBDevice* pad = Model(modelRow);
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(pad->Presenter().Page()->ClassName(), "TolvanicMousePadDevice")
        << "its page layout named the class";
    EXPECT_EQ(pad->State().KindTag(), DeviceClass::MousePad);
    EXPECT_EQ(pad->State().LightCount(), 15);
    EXPECT_TRUE(pad->Driver().TransportOpen());
    EXPECT_EQ(pad->Driver().CommandTransport().ChunkSize(), int(m_catalog.Models().back().cable.chunkSize));
    EXPECT_TRUE(pad->Driver().EventThreadRunning(ChannelType::Wired));
    EXPECT_TRUE(ReadAndShown(modelRow));
    EXPECT_EQ(ShownPage(), pad->Presenter().Page());
    EXPECT_EQ(m_discovery->ListItemOfModel(modelRow)->FindChild("device_name_label")->Text(),
              "device_name_mousepad_xl");
    EXPECT_EQ(m_discovery->ListItemOfModel(modelRow)->FindChild("device_picture")->BackgroundImage(),
              "devices/pictures/mousepad-xl-small.svg");
    EXPECT_EQ(pad->Presenter().Page()->FindFirstOfClass("SelectPanel")->BackgroundImage(),
              "devices/pictures/mousepad-xl.svg")
        << "its own drawings";
    EXPECT_EQ(m_discovery->DevicesOfClass(DeviceClass::MousePad).size(), 1u) << "not the built-in pad";

    // Its start-up read reaches its own simulated firmware, which answers with its own product ID.
    m_toolkit->AdvanceTime(kStartupDelayMs);
    ASSERT_TRUE(Until([&] {
        for (const sim::SimFrame& frame : m_sim.Frames()) {
            if (frame.unit == *unit && frame.direction == sim::SimDirection::FromDevice &&
                frame.bytes.size() > 9 && frame.bytes[3] == 0x03) {
                return (frame.bytes[8] | frame.bytes[9] << 8) == 0x1010; // the information block's product ID
            }
        }
        return false;
    }));
}

} // namespace
} // namespace velkor::test
