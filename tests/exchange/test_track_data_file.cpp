#include "exchange/TrackDataFile.h"
#include "store/Exception.h"
#include "store/StoreFixture.h"

#include <gtest/gtest.h>

#include <QStringEncoder>

namespace {

QByteArray encoded(QStringConverter::Encoding encoding, const QString& text)
{
    QStringEncoder encoder(encoding);
    return encoder.encode(text);
}

using Lines = QList<QByteArray>;

} // namespace

// The same names arrive as the same UTF-8 text whichever way the file was
// written: with a byte-order mark of UTF-8 or UTF-16 in either byte order,
// as plain UTF-8, or as Windows-1252 from a spreadsheet program.
TEST(TrackDataFile, EveryEncodingGivesTheSameText)
{
    const QString text = QStringLiteral("A,203,Ren\u00e9e,M\u00fcller,11,Caf\u00e9 \u20ac Club,F");
    const QByteArray utf8 = text.toUtf8();
    QByteArray windows1252 = "A,203,Ren\xe9" "e,M\xfc" "ller,11,Caf\xe9 \x80 Club,F";

    const struct {
        const char* name;
        QByteArray bytes;
    } files[] = {
        {"UTF-8", utf8},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + utf8},
        {"UTF-16LE with mark", "\xFF\xFE" + encoded(QStringConverter::Utf16LE, text)},
        {"UTF-16BE with mark", "\xFE\xFF" + encoded(QStringConverter::Utf16BE, text)},
        {"Windows-1252", windows1252},
    };
    for (const auto& file : files)
        EXPECT_EQ(TrackDataFile::splitLines(TrackDataFile::decode(file.bytes)), Lines{utf8}) << file.name;
}

TEST(TrackDataFile, Windows1252HighRangeIsNotLatin1)
{
    // Quotes and dashes that spreadsheets put in team names.
    EXPECT_EQ(TrackDataFile::decode("\x93Harriers\x94 \x96 \x8a"),
              QStringLiteral("\u201cHarriers\u201d \u2013 \u0160"));
    // One stray byte makes its own line Windows-1252, and only that line:
    // a UTF-8 name on it is taken as the two characters its bytes are.
    EXPECT_EQ(TrackDataFile::decode("M\xc3\xbcller,Jos\xe9\r\nM\xc3\xbcller"),
              QStringLiteral("M\u00c3\u00bcller,Jos\u00e9\r\nM\u00fcller"));
}

TEST(TrackDataFile, LineEndsOfEveryKind)
{
    const struct {
        const char* text;
        Lines lines;
    } cases[] = {
        {"", {}},
        {"A,1", {"A,1"}},
        {"A,1\r\n", {"A,1"}},
        {"A,1\r\nA,2\nA,3\rA,4", {"A,1", "A,2", "A,3", "A,4"}},
        // Empty lines count, so that line numbers match the file.
        {"A,1\r\n\r\n\n\rA,2\n", {"A,1", "", "", "", "A,2"}},
        {"\n", {""}},
        {"A,1\r\r\n", {"A,1", ""}},
        // Lines are handed on untrimmed.
        {"  A,1 \t\r\n", {"  A,1 \t"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TrackDataFile::splitLines(QString::fromLatin1(c.text)), c.lines) << c.text;
}

TEST(TrackDataFile, Utf16LineEndsAreCharactersNotBytes)
{
    // In UTF-16 the character U+0A0D holds the bytes of CR and LF.
    const QString text = QStringLiteral("E,\u0a0d100M\r\nE,200M");
    const QByteArray bytes = "\xFF\xFE" + encoded(QStringConverter::Utf16LE, text);
    EXPECT_EQ(TrackDataFile::splitLines(TrackDataFile::decode(bytes)),
              (Lines{QStringLiteral("E,\u0a0d100M").toUtf8(), "E,200M"}));
}

TEST(TrackDataFile, UnreadableFileNamesTheFile)
{
    try {
        TrackDataFile::read(QStringLiteral("/nonexistent/folder/meet.csv"));
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Cannot read the track data file /nonexistent/folder/meet.csv: ")))
            << e.message().toStdString();
    }
}
