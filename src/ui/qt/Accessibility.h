#pragma once
// What makes a built layout usable with a screen reader and the keyboard:
// each edit, slider, combo and spin box without a name of its own gets the
// label that stands before it on its line as its buddy, so Qt names it by
// that label's text (in the current language, as the label follows it). Key
// buttons and buttons that show only a glyph are named in
// QtControl::RefreshTexts instead, from their tool tips.
class QWidget;

namespace velkor::ui {

// Gives the unnamed value controls under `root` their labels as buddies.
// Called on the widgets of each layout once it is built.
void LabelValueControls(QWidget* root);

} // namespace velkor::ui
