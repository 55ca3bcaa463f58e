#include "exchange/TrackDataFile.h"

#include "exchange/TrackDataImport.h"
#include "store/Exception.h"
#include "store/TextEncoding.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

namespace {

// Where text decoded from UTF-16 stops being UTF-16: a surrogate without its
// pair, or the odd byte at the end, which the decoder lets through as they
// are or as a replacement character; -1 when it is UTF-16 throughout.
qsizetype firstNonUtf16(const QString& text, bool oddByte)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return i;
    }
    return oddByte ? text.size() - 1 : -1;
}

// 8-bit text decoded line by line, each line UTF-8 when it is valid UTF-8
// and Windows-1252 when not: a file kept in UTF-8 and added to once by a
// program that writes Windows-1252 (one pasted name) keeps every other
// line's names as written. The line ends themselves are kept: CR and LF
// are never part of a longer character in either encoding.
QString decodeLineByLine(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i <= size; ++i) {
        if (i < size && bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        text += TextEncoding::decode8Bit(bytes.sliced(start, i - start).toByteArray());
        if (i < size)
            text += QLatin1Char(bytes[i]);
        start = i + 1;
    }
    return text;
}

// Text in the UTF-16 a byte-order mark names. A file marked as UTF-16 that
// is not is refused at the line where it stops being UTF-16, since nothing
// else it could be is known.
QString decodeUtf16(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    const qsizetype bad = firstNonUtf16(text, bytes.size() % 2 != 0);
    if (bad < 0)
        return text;
    const QString before = text.left(bad);
    const bool atLineStart = before.isEmpty() || before.endsWith(QLatin1Char('\n')) || before.endsWith(QLatin1Char('\r'));
    const qsizetype line = TrackDataFile::splitLines(before).size() - (atLineStart ? 0 : 1);
    throw ETrackDataLine(int(line), QStringLiteral("The file begins with a UTF-16 byte-order mark, but this line is "
                                                   "not UTF-16 text; save the file again as CSV"));
}

} // namespace

namespace TrackDataFile {

QString decode(const QByteArray& bytes)
{
    const QByteArrayView all(bytes);
    if (all.startsWith("\xFF\xFE"))
        return decodeUtf16(QStringConverter::Utf16LE, all.sliced(2));
    if (all.startsWith("\xFE\xFF"))
        return decodeUtf16(QStringConverter::Utf16BE, all.sliced(2));
    // A UTF-8 mark says what the file's lines are meant to be; it is no
    // part of the first line.
    if (all.startsWith("\xEF\xBB\xBF"))
        return decodeLineByLine(all.sliced(3));
    return decodeLineByLine(all);
}

QList<QByteArray> splitLines(const QString& text)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines << QStringView(text).sliced(start, i - start).toUtf8();
        if (c == QLatin1Char('\r') && i + 1 < size && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines << QStringView(text).sliced(start).toUtf8();
    return lines;
}

QList<QByteArray> read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot read the track data file %1: %2")
                            .arg(QDir::toNativeSeparators(path), file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Exception(QStringLiteral("Cannot read the track data file %1: %2")
                            .arg(QDir::toNativeSeparators(path), file.errorString()));
    return splitLines(decode(bytes));
}

} // namespace TrackDataFile
