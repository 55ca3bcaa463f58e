#include "link/RaceJournal.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

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
    // still goes to the database and the Coms page.
    QFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(bytes);
    file.flush();
    if (toDisk)
        ::fdatasync(file.handle());
}
