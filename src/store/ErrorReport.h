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

// Whether a reason given by the database engine or the operating system
// for a failed write means that the disk had no room for it, or would not
// take it: a full disk, a full quota, a file past its size limit, or the
// engine's write error (which is how it reports a disk it cannot write).
bool meansDiskFull(const QString& reason);

// The message for a write that the disk did not take: what failed (lead),
// what to do about it, and the reason as the engine or the operating
// system gave it, for whoever has to look further.
QString diskFullMessage(const QString& lead, const QString& reason);

// message as it stands, or the message above when it is a full disk's
// reason not yet explained.
QString explainDiskFull(const QString& lead, const QString& message);
