#pragma once
// The control classes the toolkits build themselves, and small helpers about
// control names and attribute values that both toolkits share.
#include "ui/Control.h"
#include "ui/Errors.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::ui {

class ControlCreator;

inline constexpr std::string_view kDeviceKeyButtonClass = "DeviceKeyButton";
// A push button that also keeps the layout's "redioimage" (the macro panel's
// start and stop buttons).
inline constexpr std::string_view kRedioMacroButtonClass = "RedioMacroButton";
inline constexpr std::string_view kSelectPanelClass = "SelectPanel";
// A colour field: a click raises "colorchanged" with the colour picked (Qt draws it; here a container).
inline constexpr std::string_view kColorPaletteClass = "ColorPalette";
// A waveform of up to 500 bars (SetWaveform): Qt draws it; here a container that keeps its samples.
inline constexpr std::string_view kAudioRecordClass = "AudioRecord";
inline constexpr size_t kWaveformSamples = 500;
// A scrolling view onto many rows through a few reused row controls (RowViewControl).
inline constexpr std::string_view kRowViewClass = "RowView";
// The row height of a row view before it has a slot, at 96 DPI.
inline constexpr int kDefaultRowHeight = 30;

// The kind of a class the toolkits build themselves; nullopt for any other
// class name, which a layout may use only when a ControlCreator accepts it.
std::optional<ControlKind> BuiltInKind(std::string_view className);

bool KindHasSelection(ControlKind kind); // options, check boxes, key buttons
bool KindHasItems(ControlKind kind);     // combos, lists
bool KindHasValue(ControlKind kind);     // sliders, progress bars
bool KindHoldsLayouts(ControlKind kind); // containers the dialog builder may fill

// The container a toolkit's BuildInto fills, as that toolkit's own control
// class; null with `error` set when it belongs to another toolkit or cannot
// hold a layout.
template <typename OwnControl> OwnControl* BuildTarget(Control& container, std::string* error) {
    auto* target = dynamic_cast<OwnControl*>(&container);
    if (target == nullptr) {
        SetError(error, "the container does not belong to this toolkit");
    } else if (!KindHoldsLayouts(target->Kind())) {
        SetError(error, "'" + target->Name() + "' is not a container");
        target = nullptr;
    }
    return target;
}

// Families of controls carry a number after a fixed prefix: "key_12" splits into
// "key_" and 12 at the last underscore. False when the name does not end in an
// underscore followed by decimal digits (or the number does not fit an int).
bool SplitFamilyName(std::string_view name, std::string& prefix, int& number);
// "key_" and 12 give "key_12".
std::string FamilyName(std::string_view prefix, int number);

// Colours in layouts: "#AARRGGBB", "#RRGGBB" (opaque), "0xAARRGGBB"; nullopt when damaged.
std::optional<uint32_t> ParseColour(std::string_view text);
// The file of an image description: "file='a/b.png' corner='2,2,2,2'" gives
// "a/b.png"; a description without file='...' is the file itself. Backslashes
// become slashes.
std::string ImageFileOf(std::string_view description);

// Drag selection of a selection panel: every key button below `panel` whose
// rectangle (in panel coordinates) meets `dragged` becomes selected, every other
// key button below it unselected; no "selectchanged" is raised. Returns how many
// are selected.
int ApplyDragSelection(Control& panel, const Rect& dragged);

// Calls creator->ControlCreated for `top` and every control below it whose kind
// is Custom, in layout order. The list is taken first, so controls a creator
// builds during a call are not offered again here.
void OfferCustomControls(ControlCreator* creator, Control& top);

} // namespace velkor::ui
