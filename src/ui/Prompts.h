#pragma once
// What a panel asks the user: the program's message box, the file dialogs
// and the colour palette. The main window supplies the real ones; tests script the answers.
// Panels take a UserPrompts& instead of reaching for the window, so their
// logic runs without one.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor {

// How a message box was closed.
inline constexpr int kMsgConfirmed = 1; // "confirm_btn"
inline constexpr int kMsgCancelled = 0; // "cancel_btn", "closebtn" or the frame's close
inline constexpr int kMsgNotShown = -1; // no box: its layout failed, or the program's loop ended first

enum class MsgButtons {
    Notice = 0,   // only "confirm_btn"
    Question = 1, // "cancel_btn" and "confirm_btn"
};

namespace ui {

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // Shows the language text of `key` in the message box and waits until it
    // is closed. Callers treat only kMsgConfirmed as "yes".
    virtual int ShowMessageKey(std::string_view key, MsgButtons buttons) = 0;
    // Shows a text that is already formatted (a language text used as a format).
    virtual int ShowMessageText(std::string_view text, MsgButtons buttons) = 0;
    // Tells what a background result brings (a write that failed) without
    // waiting: the box shows beside the window and the caller goes on, so no
    // box ever runs inside another. One notice of a `kind` at a time: while it
    // shows, a repeat only puts its text in. `text` is a language key when
    // `textIsKey`, else a formatted text.
    virtual void ShowNotice(std::string_view kind, std::string_view text, bool textIsKey) = 0;
    // The language text of `key` (the key itself when there is none).
    virtual std::string Text(std::string_view key) const = 0;
    // File dialogs with one filter ("Profile Files(*.json)", "*.json"):
    // the chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> AskOpenFile(std::string_view filterName, std::string_view pattern) = 0;
    virtual std::optional<std::string> AskSaveFile(std::string_view filterName, std::string_view pattern,
                                                   std::string_view suggestedName) = 0;
    // The colour palette, opened with `initial` (0xRRGGBB): the colour
    // confirmed (0xRRGGBB), or nothing when the user cancelled or no palette
    // could open. One at a time: asked while one is open, it answers nothing.
    virtual std::optional<uint32_t> AskColour(uint32_t initial) = 0;
};

} // namespace ui
} // namespace velkor
