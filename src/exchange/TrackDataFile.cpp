#include "exchange/TrackDataFile.h"

#include "store/Exception.h"
#include "store/TextEncoding.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

namespace {

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

} // namespace

namespace TrackDataFile {

QString decode(const QByteArray& bytes)
{
    const QByteArrayView all(bytes);
    if (all.startsWith("\xEF\xBB\xBF"))
        return decodeWith(QStringConverter::Utf8, all.sliced(3));
    if (all.startsWith("\xFF\xFE"))
        return decodeWith(QStringConverter::Utf16LE, all.sliced(2));
    if (all.startsWith("\xFE\xFF"))
        return decodeWith(QStringConverter::Utf16BE, all.sliced(2));

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
