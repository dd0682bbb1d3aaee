#include "ui/Control.h"

#include "ui/Window.h"

namespace velkor::ui {

namespace {

template <typename Visit> bool WalkBelow(const Control& control, const Visit& visit) {
    const int count = control.ChildCount();
    for (int i = 0; i < count; ++i) {
        Control* child = control.ChildAt(i);
        if (child == nullptr) {
            continue;
        }
        if (visit(*child) || WalkBelow(*child, visit)) {
            return true;
        }
    }
    return false;
}

} // namespace

Control* Control::FindChild(std::string_view name) const {
    Control* found = nullptr;
    WalkBelow(*this, [&](Control& child) {
        if (child.Name() == name) {
            found = &child;
        }
        return found != nullptr;
    });
    return found;
}

Control* Control::FindFirstOfClass(std::string_view className) const {
    Control* found = nullptr;
    WalkBelow(*this, [&](Control& child) {
        if (child.ClassName() == className) {
            found = &child;
        }
        return found != nullptr;
    });
    return found;
}

std::vector<Control*> Control::FindAllOfClass(std::string_view className) const {
    std::vector<Control*> found;
    WalkBelow(*this, [&](Control& child) {
        if (child.ClassName() == className) {
            found.push_back(&child);
        }
        return false;
    });
    return found;
}

bool Control::Contains(const Control* other) const {
    for (const Control* c = other; c != nullptr; c = c->Parent()) {
        if (c == this) {
            return true;
        }
    }
    return false;
}

Rect Control::ScreenGeometry() const {
    Rect rect = Geometry();
    if (Parent() == nullptr) {
        rect.x = 0;
        rect.y = 0;
    }
    for (const Control* up = Parent(); up != nullptr && up->Parent() != nullptr; up = up->Parent()) {
        const Rect at = up->Geometry();
        rect.x += at.x;
        rect.y += at.y;
    }
    const Rect window = OwnerWindow().Geometry();
    rect.x += window.x;
    rect.y += window.y;
    return rect;
}

} // namespace velkor::ui
