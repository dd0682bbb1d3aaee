#pragma once
// Notifications: what a control tells its window when the user acts on it or
// when one of its timers runs out.
//
// Every notification is delivered on the user-interface thread, synchronously,
// to the window's handler first and then to the receivers added to the window,
// in the order they were added. The sender pointer is valid for the duration
// of the call only.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace velkor::ui {

class Control;
class Window;

// Notification types. A toolkit raises exactly these; the meaning of wParam and
// lParam is given per type.
inline constexpr std::string_view kNotifyClick = "click"; // button, option, check box, key
inline constexpr std::string_view kNotifySelectChanged =
    "selectchanged";                                                // option / check box / key changed state
inline constexpr std::string_view kNotifyItemSelect = "itemselect"; // wParam new index, lParam old index
inline constexpr std::string_view kNotifyItemClick = "itemclick";   // wParam row clicked in a list
inline constexpr std::string_view kNotifyItemActivate =
    "itemactivate"; // wParam row of a list activated (double click, Enter)
inline constexpr std::string_view kNotifyValueChanged =
    "valuechanged"; // slider released or stepped; wParam value
inline constexpr std::string_view kNotifyMoveValueChanged =
    "movevaluechanged"; // slider dragged; wParam value
inline constexpr std::string_view kNotifyKillFocus = "killfocus";
// The user asked for a control's context menu (right button, menu key); sender
// = the nearest container or list row under the pointer.
inline constexpr std::string_view kNotifyMenu = "menu";
inline constexpr std::string_view kNotifySetFocus = "setfocus";
inline constexpr std::string_view kNotifyWindowInit = "windowinit"; // once, sender = root
inline constexpr std::string_view kNotifyWindowSize =
    "windowsize"; // sender = root; wParam width, lParam height
inline constexpr std::string_view kNotifyColorChanged = "colorchanged";  // wParam the colour, 0xAARRGGBB
inline constexpr std::string_view kNotifyTimer = "timer";                // wParam the timer id
inline constexpr std::string_view kNotifyTextChanged = "textchanged";    // the user edited the text
inline constexpr std::string_view kNotifySelectEnd = "click_select_end"; // drag selection ended; wParam count
// A row view scrolled or changed size; wParam the first row in view.
inline constexpr std::string_view kNotifyScroll = "scroll";

struct Notification {
    std::string_view type;
    Control* sender = nullptr;
    Window* window = nullptr;
    int64_t wParam = 0;
    int64_t lParam = 0;
};

class NotifyReceiver {
public:
    virtual ~NotifyReceiver() = default;
    virtual void Notify(const Notification& notification) = 0;
};

// The receivers of one window. Delivery survives what the receivers do meanwhile:
// one removed during a delivery hears nothing more of it, and when the window
// dies (`alive` expires) the delivery stops.
class NotifierList {
public:
    void Add(NotifyReceiver& receiver);
    void Remove(NotifyReceiver& receiver);
    // The handler first, then the receivers in the order they were added.
    void Deliver(NotifyReceiver* handler, const Notification& notification,
                 const std::weak_ptr<int>& alive) const;

private:
    bool Holds(const NotifyReceiver* receiver) const;

    std::vector<NotifyReceiver*> m_receivers;
};

} // namespace velkor::ui
