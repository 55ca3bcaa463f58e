#include "store/TextEncoding.h"

#include "store/Exception.h"

#include <QStringDecoder>

namespace {

// Windows-1252 differs from Latin-1 only in 0x80 to 0x9F. The five bytes the
// code page leaves undefined map to the control characters of the same
// value, as Windows itself converts them.
constexpr char16_t windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

} // namespace

namespace TextEncoding {

QString fromWindows1252(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = QChar(b >= 0x80 && b < 0xA0 ? windows1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

QString decode8Bit(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return fromWindows1252(bytes);
}

QByteArray toUtf8(const QByteArray& bytes)
{
    return decode8Bit(bytes).toUtf8();
}

void refuseNulByte(const QByteArray& text, const QString& field)
{
    const qsizetype at = text.indexOf('\0');
    if (at < 0)
        return;
    throw EConvertError(QStringLiteral("The %1 holds a NUL byte (code 0) at character %2, which no text can hold; "
                                       "save the file again as text")
                            .arg(field)
                            .arg(QString::fromUtf8(text.left(at)).size() + 1));
}

} // namespace TextEncoding
