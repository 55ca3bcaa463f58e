#include "exchange/ExchangeFixture.h"
#include "exchange/ResultsExport.h"
#include "store/Exception.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLocale>

namespace {

class ResultsExportTest : public ExchangeFixture {
protected:
    void race(int key, const char* datetime, const char* event)
    {
        exec("insert into races (race_id_pk, number, datetime, event, completed, age, gender, heat, hf, mode) values ("
             + QByteArray::number(key) + ", " + QByteArray::number(key) + ", " + datetime + ", " + event
             + ", 0, 12, 'F', 0, '', 'LANE')");
    }
    void result(int raceKey, const char* value, const char* athlete)
    {
        exec("insert into result (race_id_pk, place, value, lane, athlete_number) values (" + QByteArray::number(raceKey)
             + ", '1', " + value + ", 'B01', " + athlete + ")");
    }

    // The failure message of an export, empty when it succeeded.
    QString exportFailure(const QString& path)
    {
        try {
            ExportResults(*query, path);
        } catch (const Exception& e) {
            return e.message();
        }
        return {};
    }
};

} // namespace

TEST_F(ResultsExportTest, KnownDatabaseGivesExactBytes)
{
    race(1, "'2012-03-01 23:59:00'", "'100M'");
    race(2, "'2012-09-30 00:00:00'", "'100m'");
    race(3, "null", "null");
    race(4, "'2025-06-14 10:42:00'", "'800M'");
    result(1, "10", "101");
    result(1, "12.5", "102");
    result(1, "11.0", "0");     // not scanned
    result(1, "11.5", "null");  // not scanned
    result(2, "12.5", "1234");
    result(3, "null", "5");     // an empty date and value
    result(4, "141.23", "401");
    result(4, "99999", "402");  // no time
    result(4, "123.456789012345678", "403");
    result(4, "0.25", "404");

    // A regional comma must not split the value into two fields.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString path = dir.filePath(QStringLiteral("results.csv"));
    ExportResults(*query, path);
    QLocale::setDefault(before);

    EXPECT_EQ(readFile(path), QByteArray("Results\r\n"
                                         "2012-03-01,101,100M,10\r\n"
                                         "2012-03-01,102,100M,12.5\r\n"
                                         "2012-09-30,1234,100m,12.5\r\n"
                                         "1899-12-30,5,,0\r\n"
                                         "2025-06-14,401,800M,141.23\r\n"
                                         "2025-06-14,402,800M,99999\r\n"
                                         "2025-06-14,403,800M,123.456789012346\r\n"
                                         "2025-06-14,404,800M,0.25\r\n"));
    // Only read: nothing in the database changed.
    EXPECT_EQ(count("result"), 10);
}

// The records of a CSV file as a reader of quoted fields (RFC 4180) sees
// them: fields end at a comma and records at CR LF, both only outside
// quotes; a quote opens only at the start of a field.
QList<QStringList> csvRecords(const QByteArray& file)
{
    QList<QStringList> records;
    QStringList fields{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < file.size(); ++i) {
        const char c = file[i];
        const char next = i + 1 < file.size() ? file[i + 1] : '\0';
        if (quoted && c == '"' && next == '"') {
            fields.last() += QLatin1Char('"');
            ++i;
        } else if (quoted && c == '"') {
            quoted = false;
        } else if (!quoted && c == '"' && fields.last().isEmpty()) {
            quoted = true;
        } else if (!quoted && c == ',') {
            fields << QString();
        } else if (!quoted && c == '\r' && next == '\n') {
            records << fields;
            fields = QStringList{QString()};
            ++i;
        } else {
            fields.last() += QLatin1Char(c);
        }
    }
    if (quoted || fields != QStringList{QString()})
        records << QStringList{QStringLiteral("<no line end>")};
    return records;
}

TEST_F(ResultsExportTest, EventWithCommaQuoteOrLineBreakStaysOneField)
{
    race(1, "'2012-03-01 10:00:00'", "'1,500M'");
    race(2, "'2012-03-02 10:00:00'", "'G \"A\" 60M'");
    const QByteArray lineBreak = onServer() ? "chr(13) || chr(10)" : "char(13, 10)";
    race(3, "'2012-03-03 10:00:00'", ("'Rl' || " + lineBreak + " || '4x100'").constData());
    result(1, "301.5", "101");
    result(2, "12.5", "102");
    result(3, "55", "103");
    const QString path = dir.filePath(QStringLiteral("results.csv"));
    ExportResults(*query, path);

    const QByteArray file = readFile(path);
    EXPECT_EQ(csvRecords(file), (QList<QStringList>{{"Results"},
                                                    {"2012-03-01", "101", "1,500M", "301.5"},
                                                    {"2012-03-02", "102", "G \"A\" 60M", "12.5"},
                                                    {"2012-03-03", "103", "Rl\r\n4x100", "55"}}));
    EXPECT_TRUE(file.contains(",\"G \"\"A\"\" 60M\",")) << file.constData();
}

TEST_F(ResultsExportTest, WithoutScannedResultsOnlyTheTitle)
{
    race(1, "'2012-03-01 10:00:00'", "'100M'");
    result(1, "12.5", "0");
    const QString path = dir.filePath(QStringLiteral("results.csv"));
    ExportResults(*query, path);
    EXPECT_EQ(readFile(path), QByteArray("Results\r\n"));
}

TEST_F(ResultsExportTest, DateIsTheDayOfTheDayCount)
{
    EXPECT_EQ(ResultsExport::dateText(0), "1899-12-30");
    EXPECT_EQ(ResultsExport::dateText(40969 + 23.0 / 24 + 59.0 / 1440), "2012-03-01");
    // Within half a millisecond of midnight the date-time itself reads as
    // the next day.
    EXPECT_EQ(ResultsExport::dateText(40969.9999999999), "2012-03-02");
    EXPECT_EQ(ResultsExport::dateText(-1.25), "1899-12-29");
}

TEST_F(ResultsExportTest, ExportingAgainReplacesTheFile)
{
    race(1, "'2012-03-01 10:00:00'", "'100M'");
    result(1, "12.5", "7");
    const QString path = writeFile(QStringLiteral("results.csv"), QByteArray(5000, 'x'));
    ExportResults(*query, path);
    ExportResults(*query, path);
    EXPECT_EQ(readFile(path), QByteArray("Results\r\n2012-03-01,7,100M,12.5\r\n"));
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("results*")}, QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("results.csv")});
}

TEST_F(ResultsExportTest, FailureLeavesAnExistingFileAsItWas)
{
    race(1, "'2012-03-01 10:00:00'", "'100M'");
    result(1, "12.5", "7");

    // A folder that does not exist (tests may run as root, to whom every
    // existing folder is writable).
    const QString nowhere = dir.filePath(QStringLiteral("no such folder/results.csv"));
    const QString message = exportFailure(nowhere);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot create the results file ") + QDir::toNativeSeparators(nowhere)))
        << message.toStdString();

    // A folder where the file should be.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken.csv")));
    EXPECT_FALSE(exportFailure(dir.filePath(QStringLiteral("taken.csv"))).isEmpty());
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("taken.csv"))).isDir());

    // The query failing: the old file is kept as it was.
    const QString path = writeFile(QStringLiteral("results.csv"), "Results\r\n2011-01-01,1,60M,9\r\n");
    exec("alter table result rename to result_moved");
    EXPECT_FALSE(exportFailure(path).isEmpty());
    EXPECT_EQ(readFile(path), QByteArray("Results\r\n2011-01-01,1,60M,9\r\n"));
}
