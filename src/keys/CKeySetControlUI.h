#pragma once
// CKeySetControlUI: the key assignment panel of keyboard and mouse pages.
//
// It shows the function of one chosen key on the page of its kind, reads the
// panel back into a new function, and applies a captured key press. It keeps
// the edited key's current and default function; it never talks to a device
// (KeySetPanelRouter does, through its hooks).
//
// Numbers typed into the edits are clamped into the range their function
// takes and the clamped number is written back, so what the edit shows is
// what is stored. A table page with nothing selected keeps the stored
// current function instead of reading entry -1.
//
// User-interface thread only. The panel control must outlive the object.
#include "devices/DeviceModels.h"
#include "keys/KeyFunction.h"
#include "keys/KeyTable.h"

#include <string>
#include <string_view>
#include <vector>

namespace velkor {

namespace ui {
class Control;
}

// Function pages: the user data of the items of the function list, and the
// page index of the page container.
enum KeySetPage : int {
    kPageDefault = 0,
    kPageMouseButton = 1,
    kPageSwing = 2,
    kPageWheel = 3,
    kPageDpi = 4,
    kPageRapidFire = 5,
    kPageKeyboard = 6,
    kPageMedia = 7,
    kPageSystem = 8,
    kPageMacro = 9,
    kPageGunKey = 10,
    kPageShortcut = 11,
};

class CKeySetControlUI {
public:
    // The container name of the page layout that the panel fills.
    static constexpr std::string_view kItemName = "KeySetControlUI";
    static constexpr std::string_view kLayout = "keyset_layout";
    static constexpr std::string_view kFunctionCombo = "keyset_function_combo";
    static constexpr std::string_view kPages = "function_switch_tablayout";
    static constexpr std::string_view kSaveButton = "key_butt_keysave";
    static constexpr std::string_view kDefaultButton = "key_butt_keydefalut";
    static constexpr std::string_view kCancelButton = "key_butt_keycancel";
    static constexpr std::string_view kWriteButton = "key_butt_prosave";
    static constexpr std::string_view kKeyTextEdit = "keyset_keyboard_text_edit";
    static constexpr std::string_view kPlayModeCombo = "keyset_macro_over_combo";
    static constexpr std::string_view kModifierPrefix = "key_ComBox_check_";
    static constexpr int kModifierOptions = 5;
    static constexpr int kRepeatPlayMode = 4;

    // Binds: finds every named control below `panel` once.
    explicit CKeySetControlUI(ui::Control& panel);

    ui::Control& Panel() const { return m_panel; }
    // Every named control was found.
    bool Bound() const;

    // Kind 1 (keyboard) removes the DPI and gun-key functions from the list.
    void SetDeviceKind(DeviceClass kind);
    DeviceClass DeviceKind() const { return m_kind; }

    // The macro list: its names in the device's order; nothing selected after a fill.
    void FillMacroList(const std::vector<std::string>& names);
    void AppendMacro(const std::string& name);
    void RemoveMacro(int index);
    void RenameMacro(int index, const std::string& name);

    // Stores both functions and shows the current one.
    void EditKey(const KeyFunction& current, const KeyFunction& standard);
    void ShowDefault() { ShowValue(m_default); }
    void ShowCurrent() { ShowValue(m_current); }
    // Reads the panel into a new current function and returns the entry.
    KeyListEntry Build();
    void SetCurrent(const KeyFunction& value) { m_current = value; }
    const KeyFunction& Current() const { return m_current; }
    const KeyFunction& Default() const { return m_default; }

    // Enables or disables the save, cancel and write buttons together.
    void EnableSaving(bool enabled);

    // Modifier options 0 (none) .. 4 (Win); -1 selects none.
    void SetModifierOption(int option);
    int ModifierOption() const;
    // Shows the text of a key-table name key in the key edit.
    void SetKeyText(std::string_view nameKey);
    std::string KeyText() const;

    // A press of the key with this scan code while capturing: true when it
    // named a keyboard key and became the current function.
    bool CaptureKey(ScanCode scan);

    // The function list chose a page: that page shows; the keyboard page
    // starts empty.
    void ShowChosenPage();
    // The repeat-count row shows exactly for play mode 4.
    void ShowPlayModeRow();
    // The page shown by the function list's selection, or -1.
    int SelectedPage() const;

private:
    ui::Control* Find(std::string_view name) const;
    void ShowValue(const KeyFunction& value);
    int ShowKeyboardValue(const KeyFunction& value);
    void ShowMacroValue(const KeyFunction& value);
    void ShowMotion(std::string_view prefix, const KeyFunction& value);
    // The function list's item whose user data is `page`, or -1.
    int FunctionItemOfPage(int page) const;
    KeyFunction BuildValue(int page);
    KeyFunction BuildMotion(std::string_view prefix, bool wheel);
    KeyFunction BuildMacro();
    std::uint8_t ModifierByte() const;
    // Leading decimal digits of the edit, clamped into low..high; the clamped
    // number is written back when it differs from what the edit shows.
    int ReadNumber(std::string_view edit, int low, int high);
    void WriteNumber(std::string_view edit, int value);
    void SelectIn(std::string_view combo, int index);
    int SelectedIn(std::string_view combo) const;

    ui::Control& m_panel;
    DeviceClass m_kind = DeviceClass::None;
    KeyFunction m_current;
    KeyFunction m_default;
};

// The modifier option of key-table row 0..7: left and right versions of a
// modifier share one option (Ctrl 1, Shift 2, Alt 3, Win 4).
constexpr int ModifierOptionOfRow(int row) {
    return ((row + 1) % 5) + (row + 1) / 5;
}

} // namespace velkor
