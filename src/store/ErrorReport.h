#pragma once

#include <QString>

#include <functional>

// The one door through which the core reports a failure that has no caller
// to return to (an exception thrown by a handler on a serial event thread,
// for one). The application installs a reporter that shows the standard
// error box; tests install one that records. Without a reporter the message
// goes to Qt's warning log.
using ErrorReporter = std::function<void(const QString& message)>;

void setErrorReporter(ErrorReporter reporter);
void reportError(const QString& message);
