#include "link/RaceJournal.h"

#include "store/ErrorReport.h"
#include "store/RaceText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
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

QString RaceJournal::received(const QByteArray& text, const QString& source, const QString& mends)
{
    if (QFile(m_fileName).size() > maxBytes) {
        QFile::remove(olderFileName());
        QFile::rename(m_fileName, olderFileName());
    }
    const QString port = source.size() == 1 ? QStringLiteral("port ") + source : source;
    m_current = {QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QLatin1Char(' ')
                     + port,
                 text, {}, 0};
    m_currentKept = true;
    QByteArray entry = "=== " + m_current.id.toUtf8() + ", " + QByteArray::number(text.size()) + " bytes";
    if (!mends.isEmpty()) {
        entry += ", again for " + mends.toUtf8();
        m_mended.insert(mends);
    }
    entry += '\n' + text;
    if (!text.endsWith('\n'))
        entry += '\n';
    return append(entry, true);
}

QString RaceJournal::stored(qint32 number, qint32 key, int places)
{
    return outcome("stored as race " + QByteArray::number(number) + " (key " + QByteArray::number(key) + "), "
                       + QByteArray::number(places) + (places == 1 ? " place" : " places"),
                   0);
}

QString RaceJournal::storedInPart(const StoredRace& race)
{
    return outcome("stored in part (key " + QByteArray::number(race.key) + "): " + race.partMessage().toUtf8(),
                   race.key);
}

QString RaceJournal::refused(const QString& message)
{
    return outcome("refused: " + message.toUtf8(), 0);
}

QString RaceJournal::outcome(const QByteArray& line, qint32 partKey)
{
    QByteArray oneLine = line;
    oneLine.replace('\n', ' ');
    m_current.outcome = QString::fromUtf8(oneLine);
    m_current.partKey = partKey;
    const QString failure = append("--- " + oneLine + '\n', false);
    // A text to mend that the disk did not take is still offered.
    if (!m_currentKept && !oneLine.startsWith("stored as"))
        m_unwritten.append(m_current);
    return failure;
}

QString RaceJournal::waiting(const QString& message)
{
    return outcome("waiting: " + message.toUtf8(), 0);
}

std::optional<RaceJournal::Entry> RaceJournal::takeMending()
{
    std::optional<Entry> entry;
    std::swap(entry, m_mending);
    return entry;
}

namespace {

// Where the next entry begins after from: the start of a line "=== ";
// the end of all when none does.
qsizetype nextEntry(const QByteArray& all, qsizetype from)
{
    const qsizetype at = all.indexOf("\n=== ", from);
    return at < 0 ? all.size() : at + 1;
}

} // namespace

QList<RaceJournal::Entry> RaceJournal::textsToMend() const
{
    // The older journal first: a meet may have filled the journal once.
    QByteArray all;
    for (const QString& name : {olderFileName(), m_fileName}) {
        QFile file(name);
        if (file.open(QIODevice::ReadOnly))
            all += file.readAll();
        if (!all.isEmpty() && !all.endsWith('\n'))
            all += '\n';
    }
    static const QRegularExpression header(QStringLiteral("^=== (.+?), (\\d+) bytes(?:, again for (.+))?$"));
    static const QRegularExpression partKey(QStringLiteral("^stored in part \\(key (-?\\d+)\\)"));
    QList<Entry> entries;
    QSet<QString> mended = m_mended;
    for (qsizetype at = all.startsWith("=== ") ? 0 : nextEntry(all, 0); at < all.size();) {
        const qsizetype lineEnd = all.indexOf('\n', at);
        const auto m = header.match(QString::fromUtf8(all.mid(at, lineEnd < 0 ? -1 : lineEnd - at)));
        if (lineEnd < 0 || !m.hasMatch()) {
            at = nextEntry(all, at);
            continue;
        }
        Entry entry;
        entry.id = m.captured(1);
        entry.text = all.mid(lineEnd + 1, m.captured(2).toLongLong());
        if (!m.captured(3).isEmpty())
            mended.insert(m.captured(3));
        // The outcome follows the text, which is counted in bytes: a text
        // may itself hold a line that begins "=== ".
        qsizetype after = lineEnd + 1 + entry.text.size();
        if (!entry.text.endsWith('\n') && after < all.size() && all[after] == '\n')
            ++after;
        if (all.mid(after, 4) == "--- ") {
            const qsizetype outcomeEnd = all.indexOf('\n', after);
            entry.outcome = QString::fromUtf8(all.mid(after + 4, outcomeEnd < 0 ? -1 : outcomeEnd - after - 4));
        }
        if (const auto k = partKey.match(entry.outcome); k.hasMatch())
            entry.partKey = k.captured(1).toInt();
        if (entry.partKey != 0 || entry.outcome.startsWith(QLatin1String("refused: "))
            || entry.outcome.startsWith(QLatin1String("waiting: ")))
            entries.append(entry);
        at = nextEntry(all, std::min(after, all.size()) - 1);
    }
    entries += m_unwritten;
    // Newest first: the ids begin with the time, to the millisecond, and
    // entries of the same millisecond keep the journal's order, reversed.
    std::reverse(entries.begin(), entries.end());
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.id.left(23) > b.id.left(23); });
    entries.removeIf([&](const Entry& e) { return mended.contains(e.id); });
    return entries;
}

QString RaceJournal::append(const QByteArray& bytes, bool toDisk)
{
    // A journal that cannot be written must not cost a race: the text
    // still goes to the database and the Coms page. An entry the disk took
    // only part of is cut off again, so that the journal holds whole
    // entries and the next one begins on a line of its own.
    QFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return failed(file.errorString());
    const qint64 before = file.size();
    if (file.write(bytes) != bytes.size() || (toDisk && ::fdatasync(file.handle()) != 0)) {
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString()
                                                                     : QString::fromLocal8Bit(std::strerror(errno));
        file.resize(before);
        return failed(reason);
    }
    m_failing = false;
    return {};
}

QString RaceJournal::failed(const QString& reason)
{
    m_currentKept = false;
    // Told once, not with every race, until the journal is written again.
    if (m_failing)
        return {};
    m_failing = true;
    const QString lead = QStringLiteral("The race journal %1 cannot be written, so races are not kept in it for "
                                        "now; they are still stored in the database and shown on the Coms page")
                             .arg(QDir::toNativeSeparators(m_fileName));
    return meansDiskFull(reason) ? diskFullMessage(lead, reason) : lead + QStringLiteral(": ") + reason;
}
