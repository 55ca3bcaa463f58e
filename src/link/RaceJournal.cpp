#include "link/RaceJournal.h"

#include "store/ErrorReport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <unistd.h>

RaceJournal::RaceJournal(const QString& folder)
    : m_fileName(QDir(folder).filePath(QStringLiteral("VEXO_COMS.log")))
{
}

QString RaceJournal::olderFileName() const
{
    return m_fileName.chopped(4) + QStringLiteral(".old.log");
}

void RaceJournal::received(const QByteArray& text, const QString& source)
{
    if (QFile(m_fileName).size() > maxBytes) {
        QFile::remove(olderFileName());
        QFile::rename(m_fileName, olderFileName());
    }
    const QString port = source.size() == 1 ? QStringLiteral("port ") + source : source;
    QByteArray entry = "=== "
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8() + ' '
        + port.toUtf8() + ", " + QByteArray::number(text.size()) + " bytes\n" + text;
    if (!text.endsWith('\n'))
        entry += '\n';
    append(entry, true);
}

void RaceJournal::stored(qint32 number, qint32 key, int places)
{
    append("--- stored as race " + QByteArray::number(number) + " (key " + QByteArray::number(key) + "), "
               + QByteArray::number(places) + (places == 1 ? " place\n" : " places\n"),
           false);
}

void RaceJournal::refused(const QString& message)
{
    QString oneLine = message;
    oneLine.replace(QLatin1Char('\n'), QLatin1Char(' '));
    append("--- refused: " + oneLine.toUtf8() + '\n', false);
}

void RaceJournal::append(const QByteArray& bytes, bool toDisk)
{
    // A journal that cannot be written must not cost a race: the text
    // still goes to the database and the Coms page. An entry the disk took
    // only part of is cut off again, so that the journal holds whole
    // entries and the next one begins on a line of its own.
    QFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        failed(file.errorString());
        return;
    }
    const qint64 before = file.size();
    if (file.write(bytes) != bytes.size() || (toDisk && ::fdatasync(file.handle()) != 0)) {
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString()
                                                                     : QString::fromLocal8Bit(std::strerror(errno));
        file.resize(before);
        failed(reason);
        return;
    }
    m_failing = false;
}

void RaceJournal::failed(const QString& reason)
{
    // Told once, not with every race, until the journal is written again.
    if (m_failing)
        return;
    m_failing = true;
    const QString lead = QStringLiteral("The race journal %1 cannot be written, so races are not kept in it for "
                                        "now; they are still stored in the database and shown on the Coms page")
                             .arg(QDir::toNativeSeparators(m_fileName));
    reportError(meansDiskFull(reason) ? diskFullMessage(lead, reason) : lead + QStringLiteral(": ") + reason);
}
