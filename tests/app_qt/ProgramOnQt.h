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
