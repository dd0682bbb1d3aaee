// The macro panel's event list on Qt widgets: a 4000-event macro builds only
// the rows in view, the scroll bar spans every event, the wheel places the
// right events at the right heights, and a Shift press selects a range.
#include "QtTestSupport.h"
#include "macros/CMacroControlUI.h"
#include "platform/JsonFileHelper.h"
#include "support/ScratchFolder.h"
#include "ui/FamilyAccess.h"

#include <QAbstractScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace velkor::test {
namespace {

class PanelCreator final : public ui::ControlCreator {
public:
    bool CanCreate(std::string_view c) const override { return c == CMacroControlUI::kControlClass; }
    void ControlCreated(std::string_view, ui::Control&) override {}
};

// One macro of `events` events whose delays are their indexes.
void WriteLibrary(const std::string& folder, int events) {
    CJsonFileHelper json;
    Json::Value index;
    index["MacroInfo"][0]["MacroName"] = "long";
    index["MacroInfo"][0]["Guid"] = "g0";
    ASSERT_TRUE(json.WriteJsonFile(index, folder + "/macro.config"));
    Json::Value document;
    for (int i = 0; i < events; ++i) {
        Json::Value event;
        event["Action"] = "down";
        event["Type"] = 10;
        event["Button"] = 4 + i % 26;
        event["Delay"] = std::to_string(i);
        document["Events"].append(event);
    }
    ASSERT_TRUE(json.WriteJsonFile(document, folder + "/g0.mac"));
}

// A press on the widget under `at` (viewport coordinates), as the pointer would give it.
void PressAt(QWidget* viewport, QPoint at, Qt::KeyboardModifiers modifiers) {
    QWidget* target = viewport->childAt(at);
    target = target != nullptr ? target : viewport;
    const QPointF local = target->mapFrom(viewport, QPointF(at));
    QMouseEvent press(QEvent::MouseButtonPress, local, target->mapToGlobal(local), Qt::LeftButton,
                      Qt::LeftButton, modifiers);
    QApplication::sendEvent(target, &press);
}

TEST(MacroListQt, AFullMacroBuildsOnlyTheRowsInViewAndScrollsThroughItsEvents) {
    ScratchFolder folder("velkor_macrolist_");
    WriteLibrary(folder.Path(), kMaxMacroEvents);
    PanelCreator creator;
    ui::WindowOptions options;
    options.layout = std::string(CMacroControlUI::kLayout);
    options.className = "MacroListQt";
    options.creator = &creator;
    std::string error;
    auto window = ui::test::TestToolkit().CreateWindow(options, &error);
    ASSERT_NE(window, nullptr) << error;
    window->Show();
    CMacroControlUI panel(window->Root());
    panel.SetMacroFolder(folder.Path() + "/");
    panel.LoadMacroList();
    ui::test::ListOf(window->FindControl("macro_name_list")).SelectItem(0, false);
    panel.SelectMacro();
    QCoreApplication::processEvents();

    ui::Control& list = *window->FindControl("macro_action_list");
    ui::RowViewControl& rows = *list.AsRowView();
    auto* view = qobject_cast<QAbstractScrollArea*>(ui::WidgetOf(list));
    ASSERT_NE(view, nullptr);
    QScrollBar* bar = view->verticalScrollBar();
    const int height = bar->singleStep();
    EXPECT_EQ(bar->maximum(), kMaxMacroEvents * height - view->viewport()->height());
    EXPECT_LE(rows.SlotCount(), rows.RowCapacity() + 1);
    EXPECT_LT(rows.SlotCount(), 40) << "a row per event would be 4000";

    for (int turn = 0; turn < 40; ++turn) {
        const QPointF at(10, 10);
        QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &wheel);
        QCoreApplication::processEvents();
    }
    const int top = bar->value();
    EXPECT_GT(top, 40 * height) << "each turn of the wheel scrolls rows";
    ASSERT_GT(rows.VisibleRowCount(), 0);
    for (int row = rows.FirstVisibleRow(); row < rows.FirstVisibleRow() + rows.VisibleRowCount(); ++row) {
        const ui::Control* shown = panel.EventRowControl(row);
        ASSERT_NE(shown, nullptr) << row;
        EXPECT_EQ(ui::WidgetOf(*shown)->y(), row * height - top) << row;
        EXPECT_EQ(shown->FindChild("macro_delay")->Text(), std::to_string(row));
    }

    const int first = rows.FirstVisibleRow() + 1;
    PressAt(view->viewport(), QPoint(4, first * height - top + height / 2), Qt::NoModifier);
    PressAt(view->viewport(), QPoint(4, (first + 2) * height - top + height / 2), Qt::ShiftModifier);
    EXPECT_EQ(panel.SelectedEvents(), (std::vector<int>{first, first + 1, first + 2}));
    EXPECT_EQ(panel.SelectedRow(), first + 2);
}

} // namespace
} // namespace velkor::test
