#pragma once
// Loads a layout with QUiLoader. The file is read and checked with the layout
// reader first, so a damaged file, an unknown class or a damaged colour is
// refused with a reason before Qt sees it; the registered control classes
// (DeviceKeyButton, SelectPanel) and the classes left to a ControlCreator (plain
// frames) are made by the loader itself.
#include "ui/LayoutReader.h"
#include "ui/qt/QtWindow.h"

#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace velkor::ui {

class ControlCreator;
class ResourceIndex;

// Holds the read layout: `widgets` point into `node`, so it stays where it was made.
struct LoadedLayout {
    LoadedLayout() = default;
    LoadedLayout(const LoadedLayout&) = delete;
    LoadedLayout& operator=(const LoadedLayout&) = delete;

    LayoutNode node;
    QWidget* top = nullptr;
    std::vector<LoadedWidget> widgets; // layout order, top first
};

// Builds the layout's widgets below `parent` (a new window when null). False,
// with `error` set and nothing built, when the layout cannot be used.
bool LoadLayout(const ResourceIndex& resources, std::string_view layout, ControlCreator* creator,
                QWidget* parent, LoadedLayout& out, std::string* error);

} // namespace velkor::ui
