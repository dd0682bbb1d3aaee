#include "ui/memory/MemoryToolkit.h"

#include "ui/ControlClasses.h"
#include "ui/Errors.h"
#include "ui/LayoutReader.h"
#include "ui/memory/MemoryShell.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>

namespace velkor::ui {

namespace {

constexpr size_t kMaxTypefaceBytes = 64u << 20;

// TrueType, OpenType, collections and web fonts start with one of these tags.
bool LooksLikeFont(const std::string& bytes) {
    static const char* const kTags[] = {"\x00\x01\x00\x00", "OTTO", "true", "ttcf", "wOFF", "wOF2"};
    if (bytes.size() < 12) {
        return false;
    }
    for (const char* tag : kTags) {
        if (std::memcmp(bytes.data(), tag, 4) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

MemoryToolkit::MemoryToolkit(ResourceIndex resources, ManualClock& clock, bool realTime)
    : m_resources(std::move(resources)), m_clock(clock), m_realTime(realTime),
      m_dispatcher([this] { Wake(); }) {}

std::unique_ptr<MemoryToolkit> MemoryToolkit::Create(const std::string& resourceFolder, ManualClock& clock,
                                                     std::string* error, bool realTime) {
    ResourceIndex resources;
    if (!resources.Load(resourceFolder, error)) {
        return nullptr;
    }
    return std::make_unique<MemoryToolkit>(std::move(resources), clock, realTime);
}

MemoryToolkit::~MemoryToolkit() {
    m_dispatcher.BeginShutdown();
}

std::optional<std::string> MemoryToolkit::AskOpenFileName(const FileDialogOptions& options) {
    m_fileDialogs.push_back(options);
    if (m_fileAnswers.empty()) {
        return std::nullopt;
    }
    std::optional<std::string> answer = std::move(m_fileAnswers.front());
    m_fileAnswers.pop_front();
    return answer;
}

std::optional<std::string> MemoryToolkit::AskSaveFileName(const FileDialogOptions& options) {
    return AskOpenFileName(options); // both take the next scripted answer
}

std::string MemoryToolkit::LookUpText(std::string_view key) const {
    return TextOrKey(m_textProvider, key);
}

bool MemoryToolkit::ReadCheckedLayout(std::string_view layout, ControlCreator* creator, LayoutNode& node,
                                      std::string* error) const {
    const std::string path = m_resources.LayoutPath(layout);
    if (path.empty()) {
        SetError(error, "unknown layout '" + std::string(layout) + "'");
        return false;
    }
    if (!ReadLayoutFile(path, node, error)) {
        return false;
    }
    std::string problem;
    const auto canCreate = [creator](std::string_view className) {
        return creator != nullptr && creator->CanCreate(className);
    };
    if (!CheckLayout(node, canCreate, &problem)) {
        SetError(error, path + ": " + problem);
        return false;
    }
    return true;
}

bool MemoryToolkit::BuildTree(const LayoutNode& node, MemoryWindow& window, MemoryControl* parent,
                              std::unique_ptr<MemoryControl>& built, std::string* error) {
    const ControlKind kind = BuiltInKind(node.className).value_or(ControlKind::Custom);
    auto control = std::make_unique<MemoryControl>(*this, window, parent, node.name, node.className, kind);
    control->ApplyLayout(node);
    for (const LayoutNode& childNode : node.children) {
        std::unique_ptr<MemoryControl> child;
        if (!BuildTree(childNode, window, control.get(), child, error)) {
            return false;
        }
        control->AddChild(std::move(child));
    }
    if (kind == ControlKind::Tab) {
        control->SelectPage(int(node.Number("currentIndex", 0)));
    }
    built = std::move(control);
    return true;
}

std::unique_ptr<Window> MemoryToolkit::CreateWindow(const WindowOptions& options, std::string* error) {
    LayoutNode node;
    if (!ReadCheckedLayout(options.layout, options.creator, node, error)) {
        return nullptr;
    }
    auto window = std::make_unique<MemoryWindow>(*this, options);
    std::unique_ptr<MemoryControl> root;
    if (!BuildTree(node, *window, nullptr, root, error)) {
        return nullptr;
    }
    const LayoutValue* geometry = node.Property("geometry");
    const Size size = geometry != nullptr && geometry->type == LayoutValue::Type::Rect
                          ? Size{std::max(0, geometry->rect.width), std::max(0, geometry->rect.height)}
                          : Size{};
    MemoryControl* top = root.get();
    window->SetRoot(std::move(root), size);
    OfferCustomControls(options.creator, *top);
    MemoryWindow* raw = window.get();
    m_dispatcher.Post([raw, alive = raw->AliveToken()] {
        if (!alive.expired()) {
            raw->Deliver(kNotifyWindowInit, &raw->Root(), 0, 0);
        }
    });
    return window;
}

Control* MemoryToolkit::BuildInto(Control& container, std::string_view layout, ControlCreator* creator,
                                  std::string* error) {
    auto* target = BuildTarget<MemoryControl>(container, error);
    if (target == nullptr) {
        return nullptr;
    }
    LayoutNode node;
    std::unique_ptr<MemoryControl> built;
    if (!ReadCheckedLayout(layout, creator, node, error) ||
        !BuildTree(node, target->HostWindow(), target, built, error)) {
        return nullptr;
    }
    MemoryControl* top = built.get();
    target->AddChild(std::move(built));
    OfferCustomControls(creator, *top);
    return top;
}

int MemoryToolkit::ProcessPending() {
    return m_dispatcher.ProcessPending();
}

bool MemoryToolkit::StartTimer(MemoryControl& control, int id, int intervalMs) {
    if (intervalMs <= 0) {
        return false;
    }
    const int64_t due = m_clock.NowMs() + intervalMs;
    for (Timer& timer : m_timers) {
        if (timer.control == &control && timer.id == id) {
            timer.interval = intervalMs;
            timer.due = due;
            timer.order = ++m_timerOrder;
            return true;
        }
    }
    m_timers.push_back(Timer{&control, id, intervalMs, due, ++m_timerOrder});
    return true;
}

bool MemoryToolkit::StopTimer(const MemoryControl& control, int id) {
    const auto found = std::find_if(m_timers.begin(), m_timers.end(), [&](const Timer& timer) {
        return timer.control == &control && timer.id == id;
    });
    if (found == m_timers.end()) {
        return false;
    }
    m_timers.erase(found);
    return true;
}

void MemoryToolkit::StopAllTimers(const MemoryControl& control) {
    std::erase_if(m_timers, [&](const Timer& timer) { return timer.control == &control; });
}

std::vector<int> MemoryToolkit::RunningTimers(const Control& control) const {
    std::vector<int> ids;
    for (const Timer& timer : m_timers) {
        if (timer.control == &control) {
            ids.push_back(timer.id);
        }
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::optional<int64_t> MemoryToolkit::NextDue() const {
    std::optional<int64_t> next;
    for (const Timer& timer : m_timers) {
        if (!next || timer.due < *next) {
            next = timer.due;
        }
    }
    return next;
}

bool MemoryToolkit::FireOneTimer(int64_t limit) {
    Timer* earliest = nullptr;
    for (Timer& timer : m_timers) {
        if (timer.due <= limit && (earliest == nullptr || timer.due < earliest->due ||
                                   (timer.due == earliest->due && timer.order < earliest->order))) {
            earliest = &timer;
        }
    }
    if (earliest == nullptr) {
        return false;
    }
    m_clock.Set(earliest->due);
    earliest->due += earliest->interval;
    earliest->order = ++m_timerOrder;
    MemoryControl* control = earliest->control;
    const int id = earliest->id;
    // The handler may kill or restart timers and destroy controls: nothing of
    // the timer list is used after this call.
    control->Raise(kNotifyTimer, id, 0);
    return true;
}

int MemoryToolkit::AdvanceTime(int64_t ms) {
    const int64_t target = m_clock.NowMs() + std::max<int64_t>(0, ms);
    int fired = 0;
    ProcessPending();
    while (FireOneTimer(target)) {
        ++fired;
        ProcessPending();
    }
    m_clock.Set(target);
    ProcessPending();
    return fired;
}

void MemoryToolkit::Wake() {
    {
        std::lock_guard lock(m_wakeMutex);
        m_woken = true;
    }
    m_wakeSignal.notify_all();
}

void MemoryToolkit::WaitIdle(std::optional<int64_t> dueMs) {
    std::unique_lock lock(m_wakeMutex);
    if (!m_realTime || !dueMs) {
        m_wakeSignal.wait(lock, [&] { return m_woken; });
    } else {
        const auto start = std::chrono::steady_clock::now();
        const int64_t wait = std::max<int64_t>(0, *dueMs - m_clock.NowMs());
        m_wakeSignal.wait_for(lock, std::chrono::milliseconds(wait), [&] { return m_woken; });
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        m_clock.Advance(m_woken ? elapsed.count() : std::max<int64_t>(elapsed.count(), wait));
    }
    m_woken = false;
}

bool MemoryToolkit::RunUntil(const std::function<bool()>& done) {
    ++m_loopDepth;
    while (!done() && !m_quit) {
        if (ProcessPending() > 0 || FireOneTimer(m_clock.NowMs())) {
            continue;
        }
        const std::optional<int64_t> next = NextDue();
        if (next && !m_realTime) {
            m_clock.Set(*next); // virtual time: jump to the next timer
            continue;
        }
        WaitIdle(next);
    }
    const bool finished = done();
    if (--m_loopDepth == 0) {
        m_quit = false; // a quit ends the loops that run when it is asked, not later ones
    }
    return finished;
}

int MemoryToolkit::RunLoop() {
    if (m_inRunLoop) {
        return -1;
    }
    m_inRunLoop = true;
    m_quitCode = 0;
    RunUntil([] { return false; });
    m_inRunLoop = false;
    return m_quitCode;
}

void MemoryToolkit::Quit(int code) {
    // As with Qt: only a running RunLoop (and the modal runs inside it) can be quit.
    if (m_inRunLoop) {
        m_quit = true;
        m_quitCode = code;
    }
}

void MemoryToolkit::CallModalDriver(MemoryWindow& window) {
    if (m_modalDriver) {
        m_modalDriver(window);
    }
}

void MemoryToolkit::RemoveWindow(MemoryWindow& window) {
    std::erase(m_windows, &window);
}

bool MemoryToolkit::SetDpiForAll(int dpi) {
    if (!IsValidDpi(dpi)) {
        return false;
    }
    for (MemoryWindow* window : m_windows) {
        window->SetDpi(dpi);
    }
    return true;
}

int MemoryToolkit::AddTypeface(const std::string& path) {
    std::string bytes;
    if (!ReadTextFile(path, kMaxTypefaceBytes, bytes) || !LooksLikeFont(bytes)) {
        return -1;
    }
    const int handle = m_nextTypeface++;
    m_typefaces[handle] = path;
    return handle;
}

bool MemoryToolkit::RemoveTypeface(int handle) {
    return m_typefaces.erase(handle) != 0;
}

std::vector<std::string> MemoryToolkit::TypefaceFamilies(int handle) const {
    (void)handle; // no font engine here: the families are unknown
    return {};
}

std::unique_ptr<Menu> MemoryToolkit::OpenMenu(std::string_view layout, Point screenPosition,
                                              MenuReceiver& receiver, std::string* error) {
    const std::string path = m_resources.LayoutPath(layout);
    if (path.empty()) {
        SetError(error, "unknown menu layout '" + std::string(layout) + "'");
        return nullptr;
    }
    std::string text;
    std::vector<MenuEntry> entries;
    if (!ReadTextFile(path, kMaxLayoutBytes, text, error) || !ParseMenuLayout(text, entries, error)) {
        return nullptr;
    }
    auto menu = std::make_unique<MemoryMenu>(*this, std::move(entries), screenPosition, receiver);
    m_menus.push_back(menu.get());
    return menu;
}

std::unique_ptr<TrayIcon> MemoryToolkit::CreateTrayIcon(const std::string& iconPath, std::string_view toolTip,
                                                        TrayReceiver& receiver) {
    auto icon = std::make_unique<MemoryTrayIcon>(*this, m_resources.ImagePath(iconPath), toolTip, receiver);
    m_trayIcons.push_back(icon.get());
    return icon;
}

void MemoryToolkit::SetScreen(const Rect& screen, const Rect& workArea) {
    m_screen = screen;
    m_workArea = workArea;
}

std::vector<MemoryMenu*> MemoryToolkit::OpenMenus() const {
    return m_menus;
}

void MemoryToolkit::MenuClosed(MemoryMenu& menu) {
    std::erase(m_menus, &menu);
}

void MemoryToolkit::TrayIconGone(MemoryTrayIcon& icon) {
    std::erase(m_trayIcons, &icon);
}

// Without an image decoder this toolkit knows PNG by its header: the
// signature, and the size in the IHDR chunk.
bool MemoryToolkit::ImageUsable(std::string_view description, std::string* error) const {
    const auto fail = [error](std::string why) {
        if (error != nullptr) {
            *error = std::move(why);
        }
        return false;
    };
    const std::string path = m_resources.ImagePath(description);
    std::ifstream file(path, std::ios::binary);
    unsigned char header[24] = {};
    if (path.empty() || !file.read(reinterpret_cast<char*>(header), sizeof header)) {
        return fail("no picture at \"" + path + "\"");
    }
    static constexpr unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (std::memcmp(header, kSignature, sizeof kSignature) != 0 || std::memcmp(header + 12, "IHDR", 4) != 0) {
        return fail(path + " is not a picture");
    }
    const auto big = [&header](int at) {
        return uint32_t(header[at]) << 24 | uint32_t(header[at + 1]) << 16 | uint32_t(header[at + 2]) << 8 |
               uint32_t(header[at + 3]);
    };
    const uint32_t width = big(16);
    const uint32_t height = big(20);
    if (width == 0 || height == 0 || int64_t(width) * height * 4 > kMaxImageBytes) {
        return fail(path + " is too large or empty");
    }
    return true;
}

} // namespace velkor::ui
