#pragma once
// The program as a user meets it: started once per test process on the Qt
// toolkit (offscreen) with the simulated family, in English, on a data home of
// its own. Tests walk its pages and tabs through the real widgets.
#include "app/Program.h"

#include <QAbstractButton>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

namespace velkor::test {

// The running program; null before main started it.
Program* RunningProgram();
// The main window's widget of the running program.
QWidget& MainWidget();

// The widgets of class T under `root`. The program's own widget classes
// declare no Q_OBJECT, so findChildren cannot tell them apart.
template <class T> std::vector<T*> WidgetsOf(const QWidget& root) {
    std::vector<T*> found;
    for (QWidget* widget : root.findChildren<QWidget*>()) {
        if (auto* typed = dynamic_cast<T*>(widget)) {
            found.push_back(typed);
        }
    }
    return found;
}

// Runs the Qt loop until `done` holds (a guard of 20 s against a hang, not a measurement).
bool ProcessUntil(const std::function<bool()>& done);
// Lets the loop run queued work and timers for `ms` milliseconds.
void ProcessFor(int ms);

// One device page with one of its option tabs chosen.
struct PageView {
    std::string device; // the device's model name key
    std::string tab;    // the option tab's control name
    QWidget* page = nullptr;
};
// Selects every listed device in turn and, on it, each option tab the page
// shows; calls `visit` with the page in front. False when a device or tab
// could not be chosen.
bool ForEachPageAndTab(const std::function<void(const PageView&)>& visit);
// Brings the page of the first device whose name key contains `device` to the
// front with the option tab `tab` chosen; null when it cannot.
QWidget* ShowPage(const std::string& device, const std::string& tab);

} // namespace velkor::test
