// Skins: the skin window at the skin button, what each choice announces and
// records in "main.ini", the main window's background, and the record read
// back at the next start.
#include "MainWndFixture.h"
#include "app/SkinChange.h"
#include "ui/FamilyAccess.h"

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

using ui::test::PagesOf;

struct IniCase {
    const char* before;
    const char* after; // after FLAGS=1, IMAGE=skins/a.png
};

class IniTest : public ::testing::TestWithParam<IniCase> {};

TEST_P(IniTest, SetsTheKeysAndKeepsEverythingElse) {
    std::string text = SetIniValue(GetParam().before, "SKINIMAGE", "FLAGS", "1");
    text = SetIniValue(text, "SKINIMAGE", "IMAGE", "skins/a.png");
    EXPECT_EQ(text, GetParam().after);
    EXPECT_EQ(IniValue(text, "skinimage", "image"), "skins/a.png");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniTest,
    ::testing::Values(IniCase{"", "[SKINIMAGE]\nFLAGS=1\nIMAGE=skins/a.png\n"},
                      IniCase{"[OTHER]\r\nX=1\r\n",
                              "[OTHER]\r\nX=1\r\n[SKINIMAGE]\r\nFLAGS=1\r\nIMAGE=skins/a.png\r\n"},
                      IniCase{"[SKINIMAGE]\r\nFLAGS=0\r\nOWN=k\r\nIMAGE=old.png\r\n[NEXT]\r\nY=2",
                              "[SKINIMAGE]\r\nFLAGS=1\r\nOWN=k\r\nIMAGE=skins/a.png\r\n[NEXT]\r\nY=2"},
                      IniCase{"; note\n[SKINIMAGE]\nFLAGS = 0\n\n[NEXT]\nY=2\n",
                              "; note\n[SKINIMAGE]\nFLAGS=1\nIMAGE=skins/a.png\n\n[NEXT]\nY=2\n"}));

// Records what it hears; may leave the subject when it hears something.
struct Listener final : SkinChangeReceiver {
    Listener(std::vector<std::string>& log, std::string name) : log(log), name(std::move(name)) {}
    void SkinChanged(const SkinChangedParam& param) override {
        log.push_back(
            name + ":" +
            (param.kind == SkinChangedParam::kColour ? std::to_string(param.colour) : param.picture));
        if (leaveFrom != nullptr) {
            leaveFrom->Remove(*leaving);
        }
    }
    std::vector<std::string>& log;
    std::string name;
    SkinChangeSubject* leaveFrom = nullptr;
    SkinChangeReceiver* leaving = nullptr;
};

TEST(SkinChangeSubject, ReceiversHearInRegistrationOrderAndMayLeave) {
    std::vector<std::string> log;
    Listener a(log, "a"), b(log, "b"), c(log, "c");
    SkinChangeSubject subject;
    subject.Add(a);
    subject.Add(b);
    subject.Add(c);
    subject.Add(a);
    a.leaveFrom = &subject;
    a.leaving = &b; // b leaves before its turn
    subject.Announce({SkinChangedParam::kPicture, 0, "p"});
    EXPECT_EQ(log, (std::vector<std::string>{"a:p", "c:p"}));
    EXPECT_EQ(subject.Count(), 2u);
}

class SkinTest : public MainWndFixture {
protected:
    bool StartMain() {
        if (!StartWith(Services(false))) {
            return false;
        }
        m_main->SkinChanges().Add(m_heard);
        return true;
    }
    ui::Window& Frame() {
        EXPECT_TRUE(m_user.Click(*m_main->GetWindow(), "skinbtn"));
        EXPECT_NE(m_main->SkinFrame(), nullptr);
        return *m_main->SkinFrame()->GetWindow();
    }
    ui::Control& Button(ui::Window& frame, int page, int index) {
        return *frame.FindControl("skin_tab")->ChildAt(page)->ChildAt(index);
    }
    ui::Control& Root() { return m_main->GetWindow()->Root(); }
    std::string Ini() {
        std::ifstream in(m_folder.Path() + "/VELKOR01/main.ini", std::ios::binary);
        return in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string("(none)");
    }

    std::vector<std::string> m_log;
    Listener m_heard{m_log, "heard"};
};

TEST_F(SkinTest, TheWindowOpensAtTheButtonsCornerAndClosesWhenItLosesTheFocus) {
    ASSERT_TRUE(StartMain());
    ui::Control* button = m_main->GetWindow()->FindControl("skinbtn");
    ASSERT_TRUE(button->IsVisible());
    ui::Window& frame = Frame();
    const ui::Rect at = button->ScreenGeometry();
    const ui::Rect placed = frame.Geometry();
    EXPECT_EQ(placed.x + placed.width, at.x + at.width);
    EXPECT_EQ(placed.y, at.y + at.height);
    EXPECT_TRUE(frame.IsVisible());
    ASSERT_TRUE(m_user.Click(frame, "skin_color"));
    EXPECT_EQ(PagesOf(frame.FindControl("skin_tab")).CurrentPage(), 1);
    m_user.Activate(frame, false);
    EXPECT_FALSE(frame.IsVisible());
}

TEST_F(SkinTest, EachChoiceAnnouncesAndOnlyPicturesAreRecorded) {
    ASSERT_TRUE(StartMain());
    ui::Window& frame = Frame();
    ui::Control& colour = Button(frame, 1, 1);
    EXPECT_FALSE(m_user.Click(colour)) << "the colours' page is not shown yet";
    ASSERT_TRUE(m_user.Click(frame, "skin_color"));
    ASSERT_TRUE(m_user.Click(colour));
    EXPECT_EQ(Root().BackgroundColour(), colour.BackgroundColour());
    EXPECT_EQ(Root().BackgroundImage(), "");
    EXPECT_EQ(Ini(), "(none)") << "a colour is not recorded";

    ASSERT_TRUE(m_user.Click(frame, "skin_image"));
    ASSERT_TRUE(m_user.Click(Button(frame, 0, 2)));
    EXPECT_EQ(Root().BackgroundImage(), "skins/tide.png");
    EXPECT_EQ(Root().BackgroundColour(), 0u);
    EXPECT_EQ(Ini(), "[SKINIMAGE]\nFLAGS=1\nIMAGE=skins/tide.png\n");

    ASSERT_TRUE(m_user.Click(frame, "skin_reset"));
    EXPECT_EQ(Root().BackgroundImage(), "common/background.png");
    EXPECT_EQ(Ini(), "[SKINIMAGE]\nFLAGS=0\nIMAGE=common/background.png\n");

    const size_t heard = m_log.size();
    ASSERT_TRUE(m_user.Click(frame, "skin_Custom")); // no answer queued: cancelled
    EXPECT_EQ(m_log.size(), heard) << "a cancelled dialog announces nothing";
    ASSERT_EQ(m_toolkit->FileDialogsAsked().size(), 1u);
    EXPECT_EQ(m_toolkit->FileDialogsAsked()[0].pattern, "*.png");

    const std::string own = (SourceSkin() / "skins/moss.png").string();
    m_toolkit->QueueFileDialogAnswer(own);
    ASSERT_TRUE(m_user.Click(frame, "skin_Custom"));
    EXPECT_EQ(Root().BackgroundImage(), own);
    EXPECT_EQ(Ini(), "[SKINIMAGE]\nFLAGS=0\nIMAGE=common/background.png\n")
        << "the user's own file is not recorded";
    EXPECT_EQ(m_log.back(), "heard:" + own);
}

TEST_F(SkinTest, AnUnusablePictureLeavesTheBackgroundAsItWas) {
    ASSERT_TRUE(StartMain());
    // A 20000 x 20000 picture by its header, a text and a missing file.
    std::string huge("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x4e\x20\0\0\x4e\x20\x08\x02\0\0\0", 29);
    const std::string hugePath = m_folder.Write("huge.png", huge);
    const std::string textPath = m_folder.Write("text.png", "not a picture");
    for (const std::string& picture : {hugePath, textPath, m_folder.Path() + "/missing.png"}) {
        m_main->SkinChanges().Announce({SkinChangedParam::kPicture, 0, picture});
        EXPECT_EQ(Root().BackgroundImage(), "") << picture;
    }
    EXPECT_EQ(m_log.size(), 3u) << "every receiver still hears the choice unchanged";
}

TEST_F(SkinTest, ARestartRestoresTheRecordedPicture) {
    m_folder.Write("VELKOR01/main.ini",
                   "[OTHER]\r\nX=1\r\n[SKINIMAGE]\r\nFLAGS=1\r\nIMAGE=skins/ember.png\r\n");
    ASSERT_TRUE(StartMain());
    EXPECT_EQ(Root().BackgroundImage(), "skins/ember.png");

    m_main.reset();
    m_folder.Write("VELKOR01/main.ini", "[SKINIMAGE]\nFLAGS=0\nIMAGE=skins/ember.png\n");
    ASSERT_TRUE(StartMain());
    EXPECT_EQ(Root().BackgroundImage(), "") << "after a reset nothing is restored";
}

} // namespace
} // namespace velkor::test
