#pragma once

#include <QProcess>
#include <QString>

// Runs the sqlite3 shell on the database file as another program on the
// machine would; its output, trimmed, or "<no sqlite3>" when it cannot run.
inline QString otherProgramReads(const QString& file, const QString& sql)
{
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"), {file, sql});
    if (!shell.waitForStarted() || !shell.waitForFinished(30000))
        return QStringLiteral("<no sqlite3>");
    return QString::fromUtf8(shell.readAllStandardOutput() + shell.readAllStandardError()).trimmed();
}
