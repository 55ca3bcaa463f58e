// The settings file's INI layer on arbitrary bytes. Writing one key changes
// that key's line, or adds it (and its section), and nothing else: every
// other line stays byte for byte, line end included. What was written reads
// back, the other sections read as before, and writing the same again
// changes nothing.
#include "FuzzStore.h"

#include "shell/IniFile.h"
#include "store/Exception.h"

#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    fuzzCheck(file.open(QIODevice::ReadOnly), "cannot read the settings file back");
    return file.readAll();
}

// The lines of text, each with its own line end.
QList<QByteArray> linesOf(const QByteArray& text)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        end = end < 0 ? text.size() : end + 1;
        lines.append(text.mid(start, end - start));
        start = end;
    }
    return lines;
}

QByteArray withoutLineEnd(QByteArray line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir dir(fuzzFolderTemplate());
    static const bool started = (fuzzApplication(), true);
    (void)started;
    if (size < 1)
        return 0;
    static const QList<QByteArray> sections{"Coms", "Barcode", "coms", "Other"};
    static const QList<QByteArray> keys{"PortA", "Height", "porta", "X"};
    static const QList<QByteArray> values{"COM3", "", "a=b;c", "[Coms]"};
    const QByteArray section = sections[data[0] & 3];
    const QByteArray key = keys[(data[0] >> 2) & 3];
    const QByteArray value = values[(data[0] >> 4) & 3];
    const QByteArray before(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

    const QString path = QDir(dir.path()).filePath(QStringLiteral("VEXO_BARCODE.ini"));
    QFile::remove(path);
    {
        QFile file(path);
        fuzzCheck(file.open(QIODevice::WriteOnly), "cannot write the settings file");
        file.write(before);
    }
    IniFile ini(path);
    QList<QList<IniEntry>> others;
    for (const QByteArray& other : sections)
        others.append(ini.entries(other));

    ini.writeString(section, key, value);
    const QByteArray after = contents(path);

    fuzzCheck(ini.readString(section, key, "<missing>") == value, "the written value does not read back", after);
    for (qsizetype i = 0; i < sections.size(); ++i) {
        if (sections[i].compare(section, Qt::CaseInsensitive) == 0)
            continue;
        const QList<IniEntry> now = ini.entries(sections[i]);
        bool same = now.size() == others[i].size();
        for (qsizetype k = 0; same && k < now.size(); ++k)
            same = now[k].key == others[i][k].key && now[k].value == others[i][k].value;
        fuzzCheck(same, "another section reads differently", after);
    }

    // The lines before and after: a common head and tail, and between them
    // at most one old line (the key's) and at most two new ones (the key's
    // and its section's). The old last line may have gained a line end, or
    // the LF that its CR lacked.
    const QList<QByteArray> old = linesOf(before);
    const QList<QByteArray> now = linesOf(after);
    const auto same = [](const QByteArray& o, const QByteArray& n) {
        return o == n || (!o.endsWith('\n') && withoutLineEnd(n) == withoutLineEnd(o));
    };
    qsizetype head = 0;
    while (head < old.size() && head < now.size() && same(old[head], now[head]))
        ++head;
    qsizetype tail = 0;
    while (tail < old.size() - head && tail < now.size() - head
           && same(old[old.size() - 1 - tail], now[now.size() - 1 - tail]))
        ++tail;
    const qsizetype oldChanged = old.size() - head - tail;
    const qsizetype newChanged = now.size() - head - tail;
    fuzzCheck(oldChanged <= 1 && newChanged <= 2, "lines other than the key's changed",
              "before:\n" + before + "\nafter:\n" + after);

    ini.writeString(section, key, value);
    fuzzCheck(contents(path) == after, "writing the same again changed the file", after);
    return 0;
}
