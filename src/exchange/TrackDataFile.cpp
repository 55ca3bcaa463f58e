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

// Text in the encoding a byte-order mark names. Bytes that are not UTF-8
// after a UTF-8 mark are read as Windows-1252, as any text that is not
// UTF-8; a file marked as UTF-16 that is not is refused at the line where
// it stops being UTF-16, since nothing else it could be is known.
QString decodeMarked(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (encoding == QStringConverter::Utf8)
        return decoder.hasError() ? TextEncoding::decode8Bit(bytes.toByteArray()) : text;
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
    if (all.startsWith("\xEF\xBB\xBF"))
        return decodeMarked(QStringConverter::Utf8, all.sliced(3));
    if (all.startsWith("\xFF\xFE"))
        return decodeMarked(QStringConverter::Utf16LE, all.sliced(2));
    if (all.startsWith("\xFE\xFF"))
        return decodeMarked(QStringConverter::Utf16BE, all.sliced(2));

    return TextEncoding::decode8Bit(bytes);
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
