// The message box on the in-memory toolkit, with the program's own layout.
#include "AppTestSupport.h"
#include "app/CMsgWnd.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/memory/MemoryUser.h"

#include <gtest/gtest.h>

namespace velkor::test {
namespace {

using ui::MemoryWindow;

class Texts final : public ui::TextProvider {
public:
    std::optional<std::string> Text(std::string_view key) const override {
        return key == "message_text_22" ? std::optional<std::string>("Delete this profile?") : std::nullopt;
    }
};

class MsgWndTest : public ::testing::Test {
protected:
    MsgWndTest() { UseSkin(SourceSkin().string()); }

    void UseSkin(const std::string& folder) {
        m_toolkit = ui::MemoryToolkit::Create(folder, m_clock);
        ASSERT_NE(m_toolkit, nullptr);
        m_toolkit->SetTextProvider(&m_texts);
    }

    // Opens a box, notes how it looks once shown, then clicks `button` (or acts with `act`).
    int Show(std::string_view title, std::string_view text, int dpi, bool isKey, int buttons,
             std::string button, ui::Window* parent = nullptr, std::function<void(MemoryWindow&)> act = {}) {
        m_toolkit->SetModalDriver([&](MemoryWindow& box) {
            const auto shown = [&](const char* name) {
                return box.FindControl(name) != nullptr && box.FindControl(name)->IsVisible();
            };
            const auto label = [&](const char* name) {
                return box.FindControl(name) != nullptr ? box.FindControl(name)->DisplayText() : "<none>";
            };
            m_buttons =
                std::string(shown("cancel_btn") ? "cancel " : "") + (shown("confirm_btn") ? "confirm" : "");
            m_title = label("MessageTitle");
            m_text = label("MessageText");
            m_dpi = box.Dpi();
            if (act) {
                act(box);
            } else if (button == "frame") {
                m_user.RequestClose(box);
            } else {
                EXPECT_TRUE(m_user.Click(box, button)) << button;
            }
        });
        return ShowMessage(*m_toolkit, parent, title, text, dpi, isKey, buttons);
    }

    ui::ManualClock m_clock;
    Texts m_texts;
    std::unique_ptr<ui::MemoryToolkit> m_toolkit;
    ui::MemoryUser m_user;
    std::string m_buttons, m_title, m_text;
    int m_dpi = 0; // 0 until a box opened
};

TEST_F(MsgWndTest, NoticeHasOneButtonQuestionTwoAndOnlyConfirmGivesOne) {
    EXPECT_EQ(Show("", "Saved.", 96, false, 0, "confirm_btn"), kMsgConfirmed);
    EXPECT_EQ(m_buttons, "confirm");
    EXPECT_EQ(Show("", "Saved.", 96, false, 0, "closebtn"), kMsgCancelled);
    EXPECT_EQ(Show("", "Sure?", 96, false, 1, "cancel_btn"), kMsgCancelled);
    EXPECT_EQ(m_buttons, "cancel confirm");
    EXPECT_EQ(Show("", "Sure?", 96, false, 1, "confirm_btn"), kMsgConfirmed);
    EXPECT_EQ(Show("", "Sure?", 96, false, 1, "frame"), kMsgCancelled);
    // Other values leave the layout's buttons (both shown).
    EXPECT_EQ(Show("", "Sure?", 96, false, 7, "cancel_btn"), kMsgCancelled);
    EXPECT_EQ(m_buttons, "cancel confirm");
}

TEST_F(MsgWndTest, TextIsALanguageKeyOrShownAsItIs) {
    Show("Profiles", "message_text_22", 96, true, 0, "confirm_btn");
    EXPECT_EQ(m_title, "Profiles");
    EXPECT_EQ(m_text, "Delete this profile?");
    Show("", "message_text_22", 96, false, 0, "confirm_btn");
    EXPECT_EQ(m_text, "message_text_22");
    EXPECT_EQ(m_title, "Velkor"); // an empty title leaves the layout's
    // A key the language file lacks shows the key; the box still opens.
    EXPECT_EQ(Show("", "message_text_99", 96, true, 0, "confirm_btn"), kMsgConfirmed);
    EXPECT_EQ(m_text, "message_text_99");
}

TEST_F(MsgWndTest, UnsupportedDpiBecomes96AndTheOwnerKeepsItsScale) {
    TraceCapture traces;
    Show("", "x", 100, false, 0, "confirm_btn");
    EXPECT_EQ(m_dpi, 96);
    EXPECT_EQ(traces.Count("MSG_WND DPI SET ERROR"), 1);

    auto owner = m_toolkit->CreateWindow(ui::WindowOptions{.layout = "XML_MAIN"});
    owner->SetGeometry(ui::Rect{100, 100, 800, 572});
    ui::Rect box;
    Show("", "x", 120, false, 0, "", owner.get(), [&](MemoryWindow& window) {
        box = window.Geometry();
        m_user.Click(window, "confirm_btn");
    });
    EXPECT_EQ(box.width, 525);                  // the layout's 420 at 120 DPI
    EXPECT_NEAR(box.x + box.width / 2, 500, 1); // centred on the owner
    EXPECT_NEAR(box.y + box.height / 2, 386, 1);
    EXPECT_EQ(owner->Dpi(), 96);
    EXPECT_EQ(traces.Count("MSG_WND DPI SET ERROR"), 1);
}

TEST_F(MsgWndTest, BoxWithoutTextControlStillOpensAndOneWithoutLayoutNeverConfirms) {
    ProgramFolder folder;
    folder.Write("skin/res.xml", "<resources><layout name=\"XML_MSG\" file=\"msg.ui\"/></resources>");
    folder.Write("skin/msg.ui", "<ui><widget class=\"QWidget\" name=\"root\">"
                                "<widget class=\"QPushButton\" name=\"Confirm_Btn\"/></widget></ui>");
    UseSkin(folder.Path() + "/skin");
    // Names are matched without regard to case.
    EXPECT_EQ(Show("Title", "message_text_22", 96, true, 1, "Confirm_Btn"), kMsgConfirmed);
    EXPECT_EQ(m_text, "<none>");

    folder.Write("skin/res.xml", "<resources/>");
    UseSkin(folder.Path() + "/skin");
    m_dpi = 0;
    EXPECT_EQ(Show("", "x", 96, false, 1, "confirm_btn"), kMsgNotShown);
    EXPECT_EQ(m_dpi, 0); // never opened
    EXPECT_TRUE(m_toolkit->Windows().empty());
}

} // namespace
} // namespace velkor::test
