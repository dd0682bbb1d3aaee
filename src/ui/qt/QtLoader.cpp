#include "ui/qt/QtLoader.h"

#include "ui/ControlClasses.h"
#include "ui/Errors.h"
#include "ui/ResourceIndex.h"
#include "ui/Toolkit.h"
#include "ui/qt/AudioRecord.h"
#include "ui/qt/ColorPalette.h"
#include "ui/qt/DeviceKeyButton.h"
#include "ui/qt/RowView.h"
#include "ui/qt/SelectPanel.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QPointer>
#include <QPushButton>
#include <QUiLoader>

namespace velkor::ui {

namespace {

class Loader final : public QUiLoader {
public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        const std::string type = className.toStdString();
        QWidget* widget = nullptr;
        if (type == kDeviceKeyButtonClass) {
            widget = new DeviceKeyButton(parent);
        } else if (type == kSelectPanelClass) {
            widget = new SelectPanel(parent);
        } else if (type == kRowViewClass) {
            widget = new RowView(parent);
        } else if (type == kColorPaletteClass) {
            widget = new ColorPalette(parent);
        } else if (type == kAudioRecordClass) {
            widget = new AudioRecord(parent);
        } else if (type == kRedioMacroButtonClass) {
            widget = new QPushButton(parent); // the layout's "redioimage" stays a dynamic property
        } else if (BuiltInKind(type)) {
            widget = QUiLoader::createWidget(className, parent, name);
        } else {
            // A class left to the creator: a container it can fill or attach to.
            widget = new QFrame(parent);
        }
        if (widget != nullptr) {
            const ControlKind kind = BuiltInKind(type).value_or(ControlKind::Custom);
            // The style sheet can address plain containers: QWidget[velkorContainer="true"]. Set
            // now, as Qt reads a widget's style once, when it first polishes it.
            if (kind == ControlKind::Container || kind == ControlKind::Custom || kind == ControlKind::Tab) {
                widget->setProperty("velkorContainer", true);
            }
            widget->setObjectName(name);
            created.push_back(widget);
        }
        return widget;
    }

    std::vector<QWidget*> created;
};

} // namespace

bool LoadLayout(const ResourceIndex& resources, std::string_view layout, ControlCreator* creator,
                QWidget* parent, LoadedLayout& out, std::string* error) {
    const std::string path = resources.LayoutPath(layout);
    if (path.empty()) {
        SetError(error, "unknown layout '" + std::string(layout) + "'");
        return false;
    }
    std::string text;
    if (!ReadTextFile(path, kMaxLayoutBytes, text, error)) {
        return false;
    }
    std::string problem;
    const auto canCreate = [creator](std::string_view className) {
        return creator != nullptr && creator->CanCreate(className);
    };
    if (!ParseLayout(text, out.node, &problem) || !CheckLayout(out.node, canCreate, &problem)) {
        SetError(error, path + ": " + problem);
        return false;
    }

    Loader loader;
    loader.setWorkingDirectory(QFileInfo(QString::fromStdString(path)).absoluteDir());
    QByteArray bytes(text.data(), qsizetype(text.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QWidget* top = loader.load(&buffer, parent);

    // Qt must have built exactly the widgets the reader saw, in the same order.
    std::vector<const LayoutNode*> nodes;
    out.node.Visit([&](const LayoutNode& node) { nodes.push_back(&node); });
    bool matches = top != nullptr && loader.created.size() == nodes.size() && loader.created.front() == top;
    for (size_t i = 0; matches && i < nodes.size(); ++i) {
        matches = loader.created[i]->objectName().toStdString() == nodes[i]->name;
    }
    if (!matches) {
        // Whatever Qt built goes again, also when it gave no top widget.
        QPointer<QWidget> first = top != nullptr           ? top
                                  : loader.created.empty() ? nullptr
                                                           : loader.created.front();
        delete first.data();
        SetError(error,
                 path + ": the layout could not be built (" + loader.errorString().toStdString() + ")");
        return false;
    }
    out.top = top;
    out.widgets.clear();
    for (size_t i = 0; i < nodes.size(); ++i) {
        out.widgets.push_back(LoadedWidget{loader.created[i], nodes[i]});
    }
    return true;
}

} // namespace velkor::ui
