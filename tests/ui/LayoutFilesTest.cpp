// Reading layout files and the resource index: the shipped files read, and
// damaged or unsafe input is refused with a reason instead of half a tree.
#include "UiTestSupport.h"
#include "ui/ControlClasses.h"
#include "ui/LayoutReader.h"
#include "ui/ResourceIndex.h"

#include <gtest/gtest.h>

namespace velkor::ui {
namespace {

using test::ScratchFolder;
using test::SkinFolder;

std::string Ui(const std::string& widgets) {
    return "<?xml version=\"1.0\"?><ui version=\"4.0\">" + widgets + "</ui>";
}

TEST(LayoutReader, ReadsTheTestLayoutWithLayoutsTabsAndItems) {
    LayoutNode root;
    std::string error;
    ASSERT_TRUE(ReadLayoutFile(SkinFolder() + "/test/controls.ui", root, &error)) << error;
    EXPECT_EQ(root.className, "QWidget");
    EXPECT_EQ(root.name, "root");
    EXPECT_EQ(root.Property("geometry")->rect, (Rect{0, 0, 640, 480}));

    std::map<std::string, const LayoutNode*> byName;
    root.Visit([&](const LayoutNode& node) { byName[node.name] = &node; });
    ASSERT_TRUE(byName.count("profile_combo"));
    ASSERT_EQ(byName["profile_combo"]->items.size(), 3u);
    EXPECT_EQ(byName["profile_combo"]->items[2].text, "Three");
    EXPECT_TRUE(byName["title_label"]->Bool("resourceText", false));
    EXPECT_EQ(byName["badge"]->String("bkColor"), "#FF102030");
    EXPECT_EQ(byName["light_slider"]->Number("maximum", 0), 4);
    ASSERT_EQ(byName["page_tab"]->children.size(), 2u);
    EXPECT_EQ(byName["page_1"]->attributes.at("title").text, "Second");
}

TEST(LayoutReader, WidgetsInsideLayoutsBecomeChildrenAndSpacersAreSkipped) {
    LayoutNode root;
    ASSERT_TRUE(ReadLayoutFile(SkinFolder() + "/msg.ui", root));
    std::vector<std::string> names;
    for (const LayoutNode& child : root.children) {
        names.push_back(child.name);
        EXPECT_TRUE(child.placedByLayout) << child.name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"MessageTitle", "minbtn", "maxbtn", "restorebtn", "closebtn",
                                               "MessageText", "cancel_btn", "confirm_btn"}));
}

TEST(LayoutReader, DamagedInputGivesAReasonAndLeavesTheTreeAlone) {
    struct Case {
        const char* what;
        std::string text;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"not XML", "<ui><widget class=\"QWidget\"", "damaged layout"},
        {"no widget", Ui(""), "without <ui><widget>"},
        {"no class", Ui("<widget name=\"x\"/>"), "has no class"},
        {"bad bool",
         Ui("<widget class=\"QWidget\" name=\"x\"><property "
            "name=\"visible\"><bool>yes</bool></property></widget>"),
         "not true or false"},
        {"bad number",
         Ui("<widget class=\"QSlider\" name=\"s\"><property "
            "name=\"value\"><number>4x</number></property></widget>"),
         "not a number"},
        {"bad rect",
         Ui("<widget class=\"QWidget\" name=\"r\"><property "
            "name=\"geometry\"><rect><x>1</x><y>a</y><width>1</width><height>1</height></rect></property></"
            "widget>"),
         "damaged y"},
        {"bad colour",
         Ui("<widget class=\"QWidget\" name=\"c\"><property "
            "name=\"c\"><color><red>300</red><green>0</green><blue>0</blue></color></property></widget>"),
         "damaged red"},
    };
    for (const Case& c : cases) {
        LayoutNode root;
        root.name = "untouched";
        std::string error;
        EXPECT_FALSE(ParseLayout(c.text, root, &error)) << c.what;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(root.name, "untouched") << c.what;
    }
}

TEST(LayoutReader, NestingAndSizeAreBounded) {
    std::string deep;
    for (int i = 0; i < 200; ++i) {
        deep += "<widget class=\"QWidget\" name=\"w" + std::to_string(i) + "\">";
    }
    for (int i = 0; i < 200; ++i) {
        deep += "</widget>";
    }
    LayoutNode root;
    std::string error;
    EXPECT_FALSE(ParseLayout(Ui(deep), root, &error));
    EXPECT_NE(error.find("deeper"), std::string::npos) << error;

    std::string many = "<widget class=\"QWidget\" name=\"top\">";
    for (size_t i = 0; i <= kMaxLayoutWidgets; ++i) {
        many += "<widget class=\"QLabel\"/>";
    }
    many += "</widget>";
    EXPECT_FALSE(ParseLayout(Ui(many), root, &error));
    EXPECT_NE(error.find("more than"), std::string::npos) << error;

    ScratchFolder folder;
    const std::string big = folder.Write("big.ui", std::string(kMaxLayoutBytes + 1, ' '));
    EXPECT_FALSE(ReadLayoutFile(big, root, &error));
    EXPECT_NE(error.find("larger"), std::string::npos) << error;
    EXPECT_FALSE(ReadLayoutFile(folder.Path() + "/missing.ui", root, &error));
}

TEST(LayoutReader, MenuLayoutGivesEntriesAndSeparators) {
    std::string text;
    ASSERT_TRUE(ReadTextFile(SkinFolder() + "/test/menu.ui", kMaxLayoutBytes, text));
    std::vector<MenuEntry> entries;
    std::string error;
    ASSERT_TRUE(ParseMenuLayout(text, entries, &error)) << error;
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, "setwnd_menu");
    EXPECT_TRUE(entries[0].resourceText);
    EXPECT_TRUE(entries[1].name.empty()) << "separator";
    EXPECT_FALSE(entries[2].enabled);
    EXPECT_EQ(entries[3].text, "Exit");

    EXPECT_FALSE(ParseMenuLayout(
        Ui("<widget class=\"QMenu\" name=\"m\"><addaction name=\"ghost\"/></widget>"), entries, &error));
    EXPECT_NE(error.find("ghost"), std::string::npos);
    EXPECT_FALSE(ParseMenuLayout(Ui("<widget class=\"QWidget\" name=\"m\"/>"), entries, &error));
    EXPECT_EQ(entries.size(), 4u) << "a refused menu leaves the entries alone";
}

TEST(ResourceIndex, MapsNamesToFilesInsideTheFolder) {
    ResourceIndex index;
    std::string error;
    ASSERT_TRUE(index.Load(SkinFolder(), &error)) << error;
    EXPECT_TRUE(index.HasLayout("XML_MSG"));
    EXPECT_EQ(index.LayoutPath("XML_MSG"), SkinFolder() + "/msg.ui");
    EXPECT_EQ(index.LayoutPath("test/controls.ui"), SkinFolder() + "/test/controls.ui");
    EXPECT_EQ(index.LayoutPath("test\\controls.ui"), SkinFolder() + "/test/controls.ui");
    EXPECT_EQ(index.StyleSheetPath(), SkinFolder() + "/style.qss");
}

TEST(ResourceIndex, RefusesPathsThatLeaveTheFolder) {
    ResourceIndex index;
    ASSERT_TRUE(index.Load(SkinFolder()));
    EXPECT_EQ(index.LayoutPath("../CMakeLists.txt"), "");
    EXPECT_EQ(index.LayoutPath("test/../../CMakeLists.txt"), "");
    EXPECT_EQ(index.LayoutPath("/etc/passwd"), "");
    EXPECT_EQ(index.LayoutPath(""), "");
    EXPECT_EQ(index.LayoutPath("test/../msg.ui"), SkinFolder() + "/msg.ui") << "staying inside is fine";
}

TEST(ResourceIndex, DamagedOrUnsafeIndexIsRefusedWhole) {
    ScratchFolder folder;
    ResourceIndex index;
    std::string error;
    EXPECT_FALSE(index.Load(folder.Path() + "/nowhere", &error));
    EXPECT_FALSE(index.Load(folder.Path(), &error)) << "no res.xml";

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"<resources><layout name=\"A\" file=\"a.ui\"/>", "damaged"},
        {"<other/>", "without <resources>"},
        {"<resources><layout name=\"A\" file=\"../a.ui\"/></resources>", "unsafe"},
        {"<resources><stylesheet file=\"/etc/x.qss\"/></resources>", "unsafe"},
        {"<resources><layout file=\"a.ui\"/></resources>", "without a name"},
        {"<resources><layout name=\"A\" file=\"a.ui\"/><layout name=\"A\" file=\"b.ui\"/></resources>",
         "twice"},
    };
    for (const auto& [text, reason] : cases) {
        folder.Write("res.xml", text);
        EXPECT_FALSE(index.Load(folder.Path(), &error)) << text;
        EXPECT_NE(error.find(reason), std::string::npos) << text << ": " << error;
        EXPECT_FALSE(index.HasLayout("A"));
    }
}

TEST(ResourceIndex, ImagePathsKeepAbsoluteFilesAndReadDescriptions) {
    ResourceIndex index;
    ASSERT_TRUE(index.Load(SkinFolder()));
    EXPECT_EQ(index.ImagePath("file='power/power.png' corner='2,2,2,2'"), SkinFolder() + "/power/power.png");
    EXPECT_EQ(index.ImagePath("common\\background.png"), SkinFolder() + "/common/background.png");
    EXPECT_EQ(index.ImagePath("/home/user/picture.png"), "/home/user/picture.png");
    EXPECT_EQ(index.ImagePath(""), "");
}

TEST(ControlNames, FamilyNamesSplitAtTheLastUnderscore) {
    std::string prefix;
    int number = -1;
    ASSERT_TRUE(SplitFamilyName("key_12", prefix, number));
    EXPECT_EQ(prefix, "key_");
    EXPECT_EQ(number, 12);
    ASSERT_TRUE(SplitFamilyName("light_0_7", prefix, number));
    EXPECT_EQ(prefix, "light_0_");
    EXPECT_EQ(number, 7);
    EXPECT_FALSE(SplitFamilyName("key_", prefix, number));
    EXPECT_FALSE(SplitFamilyName("key12", prefix, number));
    EXPECT_FALSE(SplitFamilyName("key_1a", prefix, number));
    EXPECT_FALSE(SplitFamilyName("key_-1", prefix, number));
    EXPECT_FALSE(SplitFamilyName("key_99999999999", prefix, number)) << "does not fit an int";
    EXPECT_EQ(FamilyName("DPI_slider_", 3), "DPI_slider_3");
}

TEST(ControlNames, ColoursAndClasses) {
    EXPECT_EQ(ParseColour("#FF102030"), 0xFF102030u);
    EXPECT_EQ(ParseColour("#102030"), 0xFF102030u) << "six digits are opaque";
    EXPECT_EQ(ParseColour("0x80FFFFFF"), 0x80FFFFFFu);
    EXPECT_FALSE(ParseColour("#12345"));
    EXPECT_FALSE(ParseColour("#GG102030"));
    EXPECT_FALSE(ParseColour("red"));
    EXPECT_EQ(BuiltInKind("QRadioButton"), ControlKind::Option);
    EXPECT_EQ(BuiltInKind("DeviceKeyButton"), ControlKind::KeyButton);
    EXPECT_FALSE(BuiltInKind("TolvanicKeyboardDevice"));
}

} // namespace
} // namespace velkor::ui
