#pragma once

// The port tests' includes and their name for eventually(); both go once
// those tests include the shared helpers themselves.
#include "support/Eventually.h"
#include "support/PtyLine.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>

inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 15000)
{
    return eventually(condition, timeoutMs);
}
