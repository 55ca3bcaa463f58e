#pragma once

#include <QString>

// What the simulator tells its user: one line each, flushed at once, so
// that a script or a test reading the output sees every line as it happens.
void say(const QString& line);      // standard output
void complain(const QString& line); // standard error
