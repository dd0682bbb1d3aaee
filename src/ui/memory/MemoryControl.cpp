#include "ui/memory/MemoryControl.h"

#include "ui/ControlClasses.h"
#include "ui/LayoutReader.h"
#include "ui/memory/MemoryToolkit.h"
#include "ui/memory/MemoryWindow.h"

#include <algorithm>

namespace velkor::ui {

MemoryControl::MemoryControl(MemoryToolkit& toolkit, MemoryWindow& window, MemoryControl* parent,
                             std::string name, std::string className, ControlKind kind)
    : m_toolkit(toolkit), m_window(window), m_parent(parent), m_name(std::move(name)),
      m_className(std::move(className)), m_kind(kind) {
    if (kind == ControlKind::Progress) {
        m_maximum = 100;
    }
}

MemoryControl::~MemoryControl() {
    m_toolkit.StopAllTimers(*this);
    m_window.ForgetControl(this);
}

Window& MemoryControl::OwnerWindow() const {
    return m_window;
}

int MemoryControl::ChildCount() const {
    if (m_kind != ControlKind::List) {
        return int(m_children.size());
    }
    return int(
        std::count_if(m_items.begin(), m_items.end(), [](const Item& item) { return item.row != nullptr; }));
}

Control* MemoryControl::ChildAt(int index) const {
    if (index < 0) {
        return nullptr;
    }
    if (m_kind != ControlKind::List) {
        return index < int(m_children.size()) ? m_children[size_t(index)].get() : nullptr;
    }
    for (const Item& item : m_items) {
        if (item.row && index-- == 0) {
            return item.row.get();
        }
    }
    return nullptr;
}

int MemoryControl::IndexInParent() const {
    if (m_parent == nullptr) {
        return -1;
    }
    const int count = m_parent->ChildCount();
    for (int i = 0; i < count; ++i) {
        if (m_parent->ChildAt(i) == this) {
            return i;
        }
    }
    return -1;
}

bool MemoryControl::IsVisible() const {
    for (const MemoryControl* c = this; c != nullptr; c = c->m_parent) {
        if (!c->m_visible) {
            return false;
        }
        // A tab container shows only its current page.
        if (c->m_parent != nullptr && c->m_parent->m_kind == ControlKind::Tab &&
            c->IndexInParent() != c->m_parent->m_currentPage) {
            return false;
        }
    }
    return true;
}

bool MemoryControl::IsEnabled() const {
    for (const MemoryControl* c = this; c != nullptr; c = c->m_parent) {
        if (!c->m_enabled) {
            return false;
        }
    }
    return true;
}

Rect MemoryControl::Geometry() const {
    if (m_parent == nullptr) {
        const Rect window = m_window.Geometry();
        return Rect{0, 0, window.width, window.height};
    }
    return Rect{m_window.Scale(m_baseRect.x), m_window.Scale(m_baseRect.y), m_window.Scale(m_baseRect.width),
                m_window.Scale(m_baseRect.height)};
}

void MemoryControl::SetGeometry(const Rect& rect) {
    if (m_parent == nullptr) {
        const Rect window = m_window.Geometry();
        m_window.SetGeometry(Rect{window.x, window.y, rect.width, rect.height});
        return;
    }
    m_baseRect = Rect{m_window.Unscale(rect.x), m_window.Unscale(rect.y), m_window.Unscale(rect.width),
                      m_window.Unscale(rect.height)};
}

// Const like the tree's operations: a const control still hands out its parts.
RangeControl* MemoryControl::AsRange() const {
    return KindHasValue(m_kind) ? const_cast<MemoryControl*>(this) : nullptr;
}

ListControl* MemoryControl::AsList() const {
    return KindHasItems(m_kind) ? const_cast<MemoryControl*>(this) : nullptr;
}

RowViewControl* MemoryControl::AsRowView() const {
    return m_kind == ControlKind::RowView ? const_cast<MemoryControl*>(this) : nullptr;
}

SelectableControl* MemoryControl::AsSelectable() const {
    return KindHasSelection(m_kind) ? const_cast<MemoryControl*>(this) : nullptr;
}

PageControl* MemoryControl::AsPage() const {
    return m_kind == ControlKind::Tab ? const_cast<MemoryControl*>(this) : nullptr;
}

LightControl* MemoryControl::AsLight() const {
    return m_kind == ControlKind::KeyButton ? const_cast<MemoryControl*>(this) : nullptr;
}

WaveformControl* MemoryControl::AsWaveform() const {
    return m_className == kAudioRecordClass ? const_cast<MemoryControl*>(this) : nullptr;
}

bool MemoryControl::SetSelected(bool selected, bool notify) {
    if (!KindHasSelection(m_kind)) {
        return false;
    }
    if (m_selected == selected) {
        return true;
    }
    std::vector<MemoryControl*> changed;
    if (selected && m_kind == ControlKind::Option && m_autoExclusive && m_parent != nullptr) {
        for (const auto& sibling : m_parent->m_children) {
            if (sibling.get() != this && sibling->m_kind == ControlKind::Option && sibling->m_autoExclusive &&
                sibling->m_selected) {
                sibling->m_selected = false;
                changed.push_back(sibling.get());
            }
        }
    }
    m_selected = selected;
    changed.push_back(this);
    if (notify) {
        // A handler may close and destroy the window: stop raising then.
        const std::weak_ptr<int> alive = m_window.AliveToken();
        for (MemoryControl* control : changed) {
            if (alive.expired()) {
                break;
            }
            control->Raise(kNotifySelectChanged);
        }
    }
    return true;
}

int MemoryControl::CurrentPage() const {
    return m_kind == ControlKind::Tab ? m_currentPage : -1;
}

bool MemoryControl::SelectPage(int index) {
    if (m_kind != ControlKind::Tab || index < 0 || index >= int(m_children.size())) {
        return false;
    }
    m_currentPage = index;
    return true;
}

bool MemoryControl::KindHasItemsHere() const {
    return KindHasItems(m_kind);
}

bool MemoryControl::KindHasValueHere() const {
    return KindHasValue(m_kind);
}

int MemoryControl::InsertPosition(int index) const {
    if (!KindHasItemsHere()) {
        return -1;
    }
    if (index == -1) {
        return int(m_items.size());
    }
    return index >= 0 && index <= int(m_items.size()) ? index : -1;
}

bool MemoryControl::InsertItem(int index, std::string_view text, std::string_view userData) {
    const int at = InsertPosition(index);
    if (at < 0) {
        return false;
    }
    m_items.insert(m_items.begin() + at, Item{std::string(text), std::string(userData), nullptr});
    if (m_selectedIndex >= at) {
        ++m_selectedIndex;
    }
    return true;
}

Control* MemoryControl::InsertItemLayout(int index, std::string_view layout, ControlCreator* creator,
                                         std::string* error) {
    const int at = m_kind == ControlKind::List ? InsertPosition(index) : -1;
    if (at < 0) {
        if (error != nullptr) {
            *error =
                m_kind == ControlKind::List ? "row index out of range" : "'" + m_name + "' is not a list";
        }
        return nullptr;
    }
    LayoutNode node;
    std::unique_ptr<MemoryControl> row;
    if (!m_toolkit.ReadCheckedLayout(layout, creator, node, error) ||
        !m_toolkit.BuildTree(node, m_window, this, row, error)) {
        return nullptr;
    }
    MemoryControl* built = row.get();
    m_items.insert(m_items.begin() + at, Item{built->Text(), built->UserData(), std::move(row)});
    if (m_selectedIndex >= at) {
        ++m_selectedIndex;
    }
    OfferCustomControls(creator, *built);
    return built;
}

bool MemoryControl::RemoveItem(int index) {
    if (!ValidItem(index)) {
        return false;
    }
    m_items.erase(m_items.begin() + index);
    if (m_selectedIndex == index) {
        m_selectedIndex = -1;
    } else if (m_selectedIndex > index) {
        --m_selectedIndex;
    }
    if (m_scrolledItem >= int(m_items.size())) {
        m_scrolledItem = -1;
    }
    return true;
}

void MemoryControl::RemoveAllItems() {
    if (KindHasItemsHere()) {
        m_items.clear();
        m_selectedIndex = -1;
        m_scrolledItem = -1;
    }
}

std::string MemoryControl::ItemText(int index) const {
    return ValidItem(index) ? m_items[size_t(index)].text : std::string();
}

std::string MemoryControl::ItemDisplayText(int index) const {
    return ValidItem(index) ? Shown(m_items[size_t(index)].text) : std::string();
}

bool MemoryControl::SetItemText(int index, std::string_view text) {
    if (!ValidItem(index)) {
        return false;
    }
    m_items[size_t(index)].text = text;
    return true;
}

std::string MemoryControl::ItemUserData(int index) const {
    return ValidItem(index) ? m_items[size_t(index)].userData : std::string();
}

bool MemoryControl::SetItemUserData(int index, std::string_view data) {
    if (!ValidItem(index)) {
        return false;
    }
    m_items[size_t(index)].userData = data;
    return true;
}

Control* MemoryControl::ItemControl(int index) const {
    return ValidItem(index) ? m_items[size_t(index)].row.get() : nullptr;
}

bool MemoryControl::SelectItem(int index, bool notify) {
    if (!KindHasItemsHere() || index < -1 || index >= int(m_items.size())) {
        return false;
    }
    const int old = m_selectedIndex;
    m_selectedIndex = index;
    if (notify && old != index) {
        Raise(kNotifyItemSelect, index, old);
    }
    return true;
}

bool MemoryControl::EnsureItemVisible(int index) {
    if (!ValidItem(index)) {
        return false;
    }
    m_scrolledItem = index;
    return true;
}

bool MemoryControl::SetValue(int value) {
    if (!KindHasValue(m_kind)) {
        return false;
    }
    m_value = std::clamp(value, m_minimum, m_maximum);
    return true;
}

bool MemoryControl::SetRange(int minimum, int maximum) {
    if (!KindHasValue(m_kind) || minimum > maximum) {
        return false;
    }
    m_minimum = minimum;
    m_maximum = maximum;
    m_value = std::clamp(m_value, m_minimum, m_maximum);
    return true;
}

bool MemoryControl::SetLight(uint32_t rgb, uint8_t level) {
    if (m_kind != ControlKind::KeyButton) {
        return false;
    }
    m_lightColour = rgb & 0xFFFFFFu;
    m_lightLevel = level;
    return true;
}

bool MemoryControl::SetWaveform(std::span<const int16_t> samples) {
    if (m_className != kAudioRecordClass) {
        return false;
    }
    m_waveform.assign(samples.begin(),
                      samples.begin() + std::ptrdiff_t(std::min(samples.size(), kWaveformSamples)));
    Invalidate();
    return true;
}

bool MemoryControl::SetTimer(int id, int intervalMs) {
    return m_toolkit.StartTimer(*this, id, intervalMs);
}

bool MemoryControl::KillTimer(int id) {
    return m_toolkit.StopTimer(*this, id);
}

void MemoryControl::Raise(std::string_view type, int64_t wParam, int64_t lParam) {
    m_window.Deliver(type, this, wParam, lParam);
}

std::string MemoryControl::RawProperty(const std::string& key) const {
    const auto found = m_rawProperties.find(key);
    return found == m_rawProperties.end() ? std::string() : found->second;
}

std::string MemoryControl::Shown(const std::string& text) const {
    return m_resourceText ? m_toolkit.LookUpText(text) : text;
}

void MemoryControl::AddChild(std::unique_ptr<MemoryControl> child) {
    m_children.push_back(std::move(child));
    if (m_kind == ControlKind::Tab && m_currentPage < 0) {
        m_currentPage = 0;
    }
}

void MemoryControl::RemoveLastChild() {
    if (!m_children.empty()) {
        m_children.pop_back();
    }
    if (m_kind == ControlKind::Tab && m_currentPage >= int(m_children.size())) {
        m_currentPage = m_children.empty() ? -1 : 0;
    }
}

void MemoryControl::ApplyLayout(const LayoutNode& node) {
    for (const auto& [key, value] : node.properties) {
        m_rawProperties[key] = value.text;
    }
    m_text = node.String("text", node.String("title"));
    m_resourceText = node.Bool("resourceText", false);
    m_toolTip = node.String("toolTip");
    m_visible = node.Bool("visible", true);
    m_enabled = node.Bool("enabled", true);
    m_userData = node.String("userData");
    m_fontId = int(std::max<int64_t>(-1, node.Number("fontId", -1)));
    m_backgroundImage = node.String("bkImage");
    // CheckLayout has refused damaged colours already.
    m_backgroundColour = ParseColour(node.String("bkColor")).value_or(0);
    if (const LayoutValue* rect = node.Property("geometry");
        rect != nullptr && rect->type == LayoutValue::Type::Rect) {
        m_baseRect = rect->rect;
    }
    if (const auto title = node.attributes.find("title"); title != node.attributes.end()) {
        m_pageTitle = title->second.text;
    }
    m_autoExclusive = node.Bool("autoExclusive", m_kind == ControlKind::Option);
    if (KindHasSelection(m_kind)) {
        m_selected = node.Bool("checked", false);
    }
    if (KindHasValue(m_kind)) {
        m_minimum = int(node.Number("minimum", m_minimum));
        m_maximum = int(std::max<int64_t>(m_minimum, node.Number("maximum", m_maximum)));
        m_value = std::clamp(int(node.Number("value", m_minimum)), m_minimum, m_maximum);
    }
    if (m_kind == ControlKind::RowView) {
        const LayoutValue* minimum = node.Property("minimumSize");
        m_viewHeight = m_baseRect.height > 0                                            ? m_baseRect.height
                       : minimum != nullptr && minimum->type == LayoutValue::Type::Size ? minimum->rect.height
                                                                                        : 0;
    }
    if (KindHasItems(m_kind)) {
        for (const LayoutItem& item : node.items) {
            m_items.push_back(Item{item.text, item.userData, nullptr});
        }
        const int64_t current = node.Number(m_kind == ControlKind::List ? "currentRow" : "currentIndex",
                                            m_kind == ControlKind::Combo && !m_items.empty() ? 0 : -1);
        m_selectedIndex = current >= 0 && current < int64_t(m_items.size()) ? int(current) : -1;
    }
}

} // namespace velkor::ui
