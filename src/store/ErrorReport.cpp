#include "store/ErrorReport.h"

#include <QDebug>

#include <cerrno>
#include <cstring>
#include <utility>

namespace {
ErrorReporter& installedReporter()
{
    static ErrorReporter reporter;
    return reporter;
}

const char* const diskFullAdvice = ": the disk is full or cannot be written. Free some space on it (delete or move "
                                   "files that are not needed), then try again; nothing stored before is lost.";
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

bool meansDiskFull(const QString& reason)
{
    // The engine's own texts, then the system's for ENOSPC, EDQUOT and
    // EFBIG as a file reports them.
    for (const char* text : {"database or disk is full", "disk I/O error"})
        if (reason.contains(QLatin1String(text), Qt::CaseInsensitive))
            return true;
    for (const int code : {ENOSPC, EDQUOT, EFBIG})
        if (reason.contains(QString::fromLocal8Bit(std::strerror(code)), Qt::CaseInsensitive))
            return true;
    return false;
}

QString diskFullMessage(const QString& lead, const QString& reason)
{
    return lead + QLatin1String(diskFullAdvice) + QStringLiteral("\n(") + reason + QLatin1Char(')');
}

QString explainDiskFull(const QString& lead, const QString& message)
{
    if (!meansDiskFull(message) || message.contains(QLatin1String(diskFullAdvice)))
        return message;
    return diskFullMessage(lead, message);
}
