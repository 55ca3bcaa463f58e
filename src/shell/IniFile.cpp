#include "shell/IniFile.h"

#include "store/ErrorReport.h"
#include "store/Exception.h"
#include "store/Miscl.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

bool sameName(const QByteArray& a, const QByteArray& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Whether line starts a section, and which.
bool isSectionLine(const QByteArray& line, QByteArray& name)
{
    const QByteArray text = Miscl::trim(line);
    if (!text.startsWith('['))
        return false;
    const qsizetype close = text.indexOf(']');
    if (close < 0)
        return false;
    name = Miscl::trim(text.mid(1, close - 1));
    return true;
}

// Whether line is a "key=value" line, and its key and value. Comment lines
// are not keys even when they hold an "=".
bool isKeyLine(const QByteArray& line, QByteArray& key, QByteArray& value)
{
    const QByteArray text = Miscl::trimLeft(line);
    if (text.isEmpty() || text.startsWith(';') || text.startsWith('#') || text.startsWith('['))
        return false;
    const qsizetype equals = text.indexOf('=');
    if (equals <= 0)
        return false;
    key = Miscl::trim(text.left(equals));
    if (key.isEmpty())
        return false;
    value = Miscl::trim(text.mid(equals + 1)).left(IniFile::maxValueLength);
    return true;
}

// The line range of the first section called name: the index of its
// "[name]" line, and one past its last line. -1 when there is none.
qsizetype findSection(const QList<QByteArray>& lines, const QByteArray& name, qsizetype& end)
{
    QByteArray found;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!isSectionLine(lines[i], found) || !sameName(found, name))
            continue;
        end = i + 1;
        while (end < lines.size() && !isSectionLine(lines[end], found))
            ++end;
        return i;
    }
    end = -1;
    return -1;
}

bool holdsLineBreak(const QByteArray& text)
{
    return text.contains('\n') || text.contains('\r');
}

} // namespace

IniFile::IniFile(const QString& fileName)
    : m_fileName(QFileInfo(fileName).absoluteFilePath())
{
}

QString IniFile::fileName() const
{
    return m_fileName;
}

QList<QByteArray> IniFile::readLines(QByteArray* lineEnd, QList<QByteArray>* lineEnds) const
{
    QList<QByteArray> lines;
    if (lineEnd)
        *lineEnd = "\n";
    if (lineEnds)
        lineEnds->clear();
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    const QByteArray text = file.readAll();
    file.close();
    lines = text.split('\n');
    // A file that ends with a line end leaves an empty piece after it.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lineEnd && !lines.isEmpty() && lines.first().endsWith('\r'))
        *lineEnd = "\r\n";
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray& line = lines[i];
        // Each line's own end: a file edited on two systems mixes them.
        QByteArray end = "\n";
        if (line.endsWith('\r')) {
            line.chop(1);
            end = "\r\n";
        }
        // A last line without its LF has none, or its CR begins one.
        if (i + 1 == lines.size() && !text.endsWith('\n') && end == "\n")
            end.clear();
        if (lineEnds)
            lineEnds->append(end);
    }
    return lines;
}

QList<IniEntry> IniFile::entries(const QByteArray& section) const
{
    QList<IniEntry> result;
    const QList<QByteArray> lines = readLines();
    qsizetype end = 0;
    const qsizetype start = findSection(lines, section, end);
    if (start < 0)
        return result;
    for (qsizetype i = start + 1; i < end; ++i) {
        IniEntry entry;
        if (isKeyLine(lines[i], entry.key, entry.value))
            result.append(entry);
    }
    return result;
}

QByteArray IniFile::readString(const QByteArray& section, const QByteArray& key,
                               const QByteArray& fallback) const
{
    for (const IniEntry& entry : entries(section)) {
        if (sameName(entry.key, key))
            return entry.value;
    }
    return fallback;
}

QList<QByteArray> IniFile::keys(const QByteArray& section) const
{
    QList<QByteArray> result;
    for (const IniEntry& entry : entries(section)) {
        const bool seen = std::any_of(result.cbegin(), result.cend(),
                                      [&](const QByteArray& key) { return sameName(key, entry.key); });
        if (!seen)
            result.append(entry.key);
    }
    return result;
}

void IniFile::writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value)
{
    writeStrings(section, {IniEntry{key, value}});
}

void IniFile::writeStrings(const QByteArray& section, const QList<IniEntry>& values)
{
    const Exception unableToWrite(QStringLiteral("Unable to write to %1").arg(m_fileName));
    for (const IniEntry& entry : values) {
        if (holdsLineBreak(entry.key) || holdsLineBreak(entry.value)) {
            throw Exception(QStringLiteral("The setting %1 of section [%2] cannot be written to %3: "
                                           "its value holds a line break")
                                .arg(QString::fromUtf8(entry.key), QString::fromUtf8(section), m_fileName));
        }
    }

    const QFileInfo info(m_fileName);
    // A file that exists but cannot be read must not be replaced by one
    // holding only the keys written now: the other keys would be lost.
    if (info.exists()) {
        QFile probe(m_fileName);
        if (!info.isFile() || !info.isWritable() || !probe.open(QIODevice::ReadOnly))
            throw unableToWrite;
    }

    QByteArray lineEnd;
    QList<QByteArray> lineEnds;
    QList<QByteArray> lines = readLines(&lineEnd, &lineEnds);
    qsizetype end = 0;
    qsizetype start = findSection(lines, section, end);
    for (const IniEntry& entry : values) {
        if (start < 0) {
            lines.append('[' + section + ']');
            lineEnds.append(lineEnd);
            start = lines.size() - 1;
            end = lines.size();
        }
        const QByteArray line = entry.key + '=' + entry.value;
        qsizetype at = -1;
        for (qsizetype i = start + 1; i < end && at < 0; ++i) {
            QByteArray key;
            QByteArray value;
            if (isKeyLine(lines[i], key, value) && sameName(key, entry.key))
                at = i;
        }
        if (at >= 0) {
            lines[at] = line;
            continue;
        }
        // After the section's last line that is not blank, so that a blank
        // line separating it from the next section stays where it is.
        qsizetype insertAt = end;
        while (insertAt - 1 > start && Miscl::trim(lines[insertAt - 1]).isEmpty())
            --insertAt;
        lines.insert(insertAt, line);
        lineEnds.insert(insertAt, lineEnd);
        ++end;
    }

    // A last line without a line end gets one, as a line may follow it.
    QByteArray text;
    for (qsizetype i = 0; i < lines.size(); ++i)
        text += lines[i] + (lineEnds[i].isEmpty() ? lineEnd : lineEnds[i]);

    // Written to a new file that then replaces the old one, so that a failure
    // half way leaves the old settings in place.
    QSaveFile file(m_fileName);
    file.setDirectWriteFallback(true);
    // Flushed before the commit: a write that only reached the file's buffer
    // fails at the flush, and a commit after that would put an empty or
    // partial file in place of the settings.
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.flush() || !file.commit()) {
        // A disk with no room for the file says so, and what to do.
        const QString reason = file.errorString();
        if (meansDiskFull(reason))
            throw Exception(diskFullMessage(unableToWrite.message(), reason));
        throw unableToWrite;
    }
}
