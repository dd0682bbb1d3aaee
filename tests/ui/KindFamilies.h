#pragma once
// Which families a control of each kind answers for, one control of every kind
// (skin/test/kinds.ui); both toolkits check their windows against this table.
#include "ui/Control.h"
#include "ui/Toolkit.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace velkor::ui::test {

struct KindFamilies {
    const char* name;
    ControlKind kind;
    const char* families; // FamiliesOf's answer
};

inline const std::vector<KindFamilies>& KindFamilyTable() {
    static const std::vector<KindFamilies> table = {
        {"kind_frame", ControlKind::Container, ""},
        {"kind_button", ControlKind::Button, ""},
        {"kind_label", ControlKind::Label, ""},
        {"kind_edit", ControlKind::Edit, ""},
        {"kind_option", ControlKind::Option, "selectable"},
        {"kind_check", ControlKind::Check, "selectable"},
        {"kind_combo", ControlKind::Combo, "list"},
        {"kind_slider", ControlKind::Slider, "range"},
        {"kind_progress", ControlKind::Progress, "range"},
        {"kind_list", ControlKind::List, "list"},
        {"kind_tab", ControlKind::Tab, "page"},
        {"kind_stack", ControlKind::Tab, "page"},
        {"kind_key", ControlKind::KeyButton, "selectable light"},
        {"kind_panel", ControlKind::SelectPanel, ""},
        {"kind_waveform", ControlKind::Container, "waveform"},
        {"kind_rows", ControlKind::RowView, "rows"},
        {"kind_custom", ControlKind::Custom, ""},
    };
    return table;
}

inline constexpr int kControlKinds = int(ControlKind::Custom) + 1;

// The families `control` answers for, in a fixed order, space separated.
inline std::string FamiliesOf(const Control& control) {
    std::string out;
    const auto add = [&out](bool has, const char* family) {
        if (has) {
            out += out.empty() ? family : std::string(" ") + family;
        }
    };
    add(control.AsRange() != nullptr, "range");
    add(control.AsList() != nullptr, "list");
    add(control.AsSelectable() != nullptr, "selectable");
    add(control.AsPage() != nullptr, "page");
    add(control.AsLight() != nullptr, "light");
    add(control.AsWaveform() != nullptr, "waveform");
    add(control.AsRowView() != nullptr, "rows");
    return out;
}

// Checks every row of the table on a window built from test/kinds.ui.
inline void ExpectKindFamilies(const Window& window) {
    std::set<ControlKind> kinds;
    for (const KindFamilies& row : KindFamilyTable()) {
        const Control* control = window.FindControl(row.name);
        ASSERT_NE(control, nullptr) << row.name;
        EXPECT_EQ(control->Kind(), row.kind) << row.name;
        EXPECT_EQ(FamiliesOf(*control), row.families) << row.name;
        kinds.insert(control->Kind());
    }
    EXPECT_EQ(int(kinds.size()), kControlKinds) << "one control of every kind";
}

// Accepts the layout's one class of the program's own.
class KindsCreator final : public ControlCreator {
public:
    bool CanCreate(std::string_view className) const override { return className == "TestKindsCustom"; }
    void ControlCreated(std::string_view, Control&) override {}
};

} // namespace velkor::ui::test
