// Every caption of every layout page of the key pictures, in both languages,
// as the program draws it offscreen: whole (never elided), broken only
// between words, inside its cap, and one size for the keys of a row.
#include "ProgramOnQt.h"
#include "app/CMainWnd.h"
#include "devices/DeviceDiscovery.h"
#include "devices/TolvanicKeyboardDevice.h"
#include "ui/qt/QtAccess.h"
#include "ui/qt/SelectPanel.h"

#include <QTextLayout>
#include <gtest/gtest.h>

#include <map>
#include <set>

namespace velkor::test {
namespace {

using ui::DeviceKeyButton;
using ui::SelectPanel;

bool Ideograph(QChar c) {
    return c.unicode() >= 0x3000 && c.unicode() <= 0x9FFF;
}

// Chinese breaks between any two characters; the rest only between words.
bool WordBoundary(QChar before, QChar after) {
    return before == ' ' || before == '\n' || before == '/' || before == '-' || Ideograph(before) ||
           Ideograph(after);
}

// What is wrong with one caption as drawn; empty when nothing is.
std::string CaptionFault(DeviceKeyButton& key) {
    const ui::CaptionLayout caption = key.CurrentCaption();
    if (caption.text != key.text()) {
        return "elided to \"" + caption.text.toStdString() + "\"";
    }
    if (caption.font.pixelSize() < ui::kMinCaptionPixels) {
        return "smaller than the smallest size";
    }
    const QSize box = ui::CaptionBox(key.size());
    QTextLayout layout(caption.text, caption.font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal height = 0;
    std::string fault;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(box.width());
        if (line.textStart() > 0 &&
            !WordBoundary(caption.text[line.textStart() - 1], caption.text[line.textStart()])) {
            fault = "broken inside a word";
        } else if (line.naturalTextWidth() > box.width() + 0.5) {
            fault = "wider than its cap";
        }
        height += line.height();
    }
    layout.endLayout();
    if (fault.empty() && height > box.height() + 0.5) {
        fault = "taller than its cap";
    }
    return fault;
}

// The faults of every caption on the panels shown on `page`.
std::vector<std::string> Faults(QWidget& page, const std::string& where) {
    std::vector<std::string> faults;
    for (SelectPanel* panel : WidgetsOf<SelectPanel>(page)) {
        if (!panel->isVisible()) {
            continue;
        }
        panel->FitRowCaptions();
        std::map<int, std::set<int>> rowSizes;
        for (DeviceKeyButton* key : WidgetsOf<DeviceKeyButton>(*panel)) {
            if (key->isHidden() || key->text().isEmpty()) {
                continue;
            }
            if (const std::string fault = CaptionFault(*key); !fault.empty()) {
                faults.push_back(where + " " + key->objectName().toStdString() + " \"" +
                                 key->text().toStdString() + "\": " + fault);
            }
            rowSizes[key->geometry().top()].insert(key->CurrentCaption().font.pixelSize());
        }
        for (const auto& [top, sizes] : rowSizes) {
            if (sizes.size() > 1) {
                faults.push_back(where + ": the row at " + std::to_string(top) + " mixes caption sizes");
            }
        }
    }
    return faults;
}

class KeyCaptions : public ::testing::TestWithParam<int> {};

// The language index: 0 Simplified Chinese, 1 English.
TEST_P(KeyCaptions, AreWholeInOneSizePerRowOnEveryLayoutPage) {
    CMainWnd& main = *RunningProgram()->MainWindow();
    main.DeviceMessage(CMainWnd::kMessageLanguageChanged, GetParam(), 0);
    ProcessFor(100);
    std::vector<std::string> faults;
    int pictures = 0;
    ASSERT_TRUE(ForEachPageAndTab([&](const PageView& view) {
        auto* keyboard = dynamic_cast<CTolvanicKeyboardDevice*>(main.Discovery()->SelectedDevice());
        // Every regional page of the board, by the languages that choose them.
        for (int variant = 0; variant < (keyboard != nullptr ? 9 : 1); ++variant) {
            if (keyboard != nullptr) {
                keyboard->SetLayoutVariant(variant);
                keyboard->ReadLayout();
                ProcessFor(20);
            }
            const std::string where = view.device + "/" + view.tab + " layout " + std::to_string(variant);
            for (std::string& fault : Faults(*view.page, where)) {
                faults.push_back(std::move(fault));
            }
            ++pictures;
        }
    }));
    EXPECT_GT(pictures, 10);
    for (const std::string& fault : faults) {
        ADD_FAILURE() << fault;
    }
    main.DeviceMessage(CMainWnd::kMessageLanguageChanged, 1, 0);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, KeyCaptions, ::testing::Values(0, 1));

} // namespace
} // namespace velkor::test
