#include "store/ErrorReport.h"

#include <QDebug>

#include <utility>

namespace {
ErrorReporter& installedReporter()
{
    static ErrorReporter reporter;
    return reporter;
}
} // namespace

void setErrorReporter(ErrorReporter reporter)
{
    installedReporter() = std::move(reporter);
}

void reportError(const QString& message)
{
    if (auto& reporter = installedReporter())
        reporter(message);
    else
        qWarning().noquote() << message;
}
