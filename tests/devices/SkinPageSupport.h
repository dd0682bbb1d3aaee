#pragma once
// Shared by the page tests: a device page as the program ships it, built by
// the in-memory toolkit from the real skin, with both language files loaded.
#include "DiscoveryTestSupport.h"
#include "profiles/LanguageTexts.h"
#include "ui/Control.h"
#include "ui/memory/MemoryToolkit.h"

#include <array>
#include <gtest/gtest.h>
#include <string>
#include <string_view>

namespace velkor::test {

// Accepts the page's top class, so that the layout builds without a device behind it.
class PageClassCreator final : public ui::ControlCreator {
public:
    explicit PageClassCreator(std::string className) : m_className(std::move(className)) {}
    bool CanCreate(std::string_view className) const override { return className == m_className; }
    void ControlCreated(std::string_view, ui::Control&) override {}

private:
    std::string m_className;
};

class SkinPageTest : public ::testing::Test {
protected:
    SkinPageTest(std::string layout, std::string className)
        : m_layout(std::move(layout)), m_creator(std::move(className)) {}

    void SetUp() override {
        std::string error;
        m_toolkit = ui::MemoryToolkit::Create(SkinFolder(), m_clock, &error);
        ASSERT_NE(m_toolkit, nullptr) << error;
        ui::WindowOptions options{m_layout, "PageTest"};
        options.creator = &m_creator;
        m_window = m_toolkit->CreateWindow(options, &error);
        ASSERT_NE(m_window, nullptr) << error;
        ASSERT_TRUE(m_languages[0].LoadFile(SkinFolder() + "/lan_en.xml", &error)) << error;
        ASSERT_TRUE(m_languages[1].LoadFile(SkinFolder() + "/lan_cn.xml", &error)) << error;
    }
    // The named control; a failure and the window's root when it is missing.
    ui::Control& Find(std::string_view name) const {
        ui::Control* control = m_window->FindControl(name);
        EXPECT_NE(control, nullptr) << name;
        return control != nullptr ? *control : m_window->Root();
    }
    void ExpectTexts(const std::string& key) const {
        ASSERT_FALSE(key.empty());
        for (const LanguageTexts& texts : m_languages) {
            EXPECT_TRUE(texts.Has(key)) << key;
        }
    }
    // `control` lies inside its parent, and no sibling of the same parent
    // shares a pixel with it (pages of a tab container fill the container).
    static void ExpectPlacedAmongSiblings(const ui::Control& control) {
        const ui::Control* parent = control.Parent();
        ASSERT_NE(parent, nullptr) << control.Name();
        ui::Rect area = parent->Geometry();
        if (const ui::Control* tab = parent->Parent();
            area.IsEmpty() && tab != nullptr && tab->Kind() == ui::ControlKind::Tab) {
            area = tab->Geometry();
        }
        const ui::Rect rect = control.Geometry();
        EXPECT_TRUE(!rect.IsEmpty() && rect.x >= 0 && rect.y >= 0 && rect.Right() <= area.width &&
                    rect.Bottom() <= area.height)
            << control.Name() << " leaves " << parent->Name();
        for (int i = 0; i < parent->ChildCount(); ++i) {
            const ui::Control* sibling = parent->ChildAt(i);
            EXPECT_TRUE(sibling == &control || !rect.Intersects(sibling->Geometry()))
                << control.Name() << " and " << sibling->Name() << " overlap";
        }
    }

    std::string m_layout;
    ui::ManualClock m_clock{0};
    PageClassCreator m_creator;
    std::unique_ptr<ui::MemoryToolkit> m_toolkit;
    std::unique_ptr<ui::Window> m_window;
    std::array<LanguageTexts, 2> m_languages;
};

} // namespace velkor::test
