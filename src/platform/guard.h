#pragma once

#include <functional>

class Platform;
class QWidget;

// Runs an event handler's body; a failure is shown by the standard error
// display and never crosses the Qt event boundary. Returns whether the body
// ran to its end.
bool guarded(Platform &platform, QWidget *parent, const std::function<void()> &body);
