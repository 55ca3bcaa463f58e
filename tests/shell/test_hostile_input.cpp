// Hostile input through the real windows: race texts from a timer unit on a
// pseudo-terminal, track data files through the main window's import, and
// search texts through its search box. Each input is either kept as plain
// data, byte for byte, or refused with a box that says what and where; and
// no row of the six tables changes but the rows it should make.

#include "link/LinkFixture.h"

#include "store/Schema.h"

#include <QPushButton>
#include <QToolButton>
#include <QCryptographicHash>
#include <QTextDocument>
#include <QLineEdit>
#include <QSqlRecord>
#include <QTabWidget>

#include <algorithm>
#include <thread>

namespace {

using Row = QList<QByteArray>;
// Every table's rows, each as its column values, sorted.
using Snapshot = QMap<QByteArray, QList<Row>>;

// Keys and clock readings the program draws itself: left out, so that a row
// can be written out in full before it exists.
bool drawnByTheProgram(const QByteArray& table, const QByteArray& column)
{
    return column == "race_id_pk" || column == "result_id_pk" || (table == "races" && column == "datetime");
}

QByteArray shown(const QVariant& value)
{
    if (value.isNull())
        return "<null>";
    const QByteArray bytes = value.toString().toUtf8();
    if (bytes.size() <= 200)
        return bytes;
    return "<" + QByteArray::number(bytes.size()) + " bytes, sha1 "
        + QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex() + ">";
}

QList<Row> minus(QList<Row> rows, const QList<Row>& taken)
{
    for (const Row& row : taken)
        if (const auto at = rows.indexOf(row); at >= 0)
            rows.removeAt(at);
    return rows;
}

QByteArray oneMegabyte(char c)
{
    return QByteArray(1 << 20, c);
}

// A single-line race: number, mode, event code, marker and heat, then the
// timed places as they come.
QByteArray raceLine(const QByteArray& number, const QByteArray& event, const QByteArray& hf,
                    const QByteArray& places = "1,12.34,B1,", const QByteArray& mode = "LANE")
{
    return "00:00,01/01/00," + number + "," + mode + ",U12G," + event + "," + hf + ",1," + places + "\r\n";
}

class HostileInput : public LinkFixture {
protected:
    void SetUp() override
    {
        LinkFixture::SetUp();
        ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand));
        ASSERT_TRUE(main->comPortA->Connected());
    }

    void sql(const QString& statement)
    {
        QSqlQuery q(main->database().connection());
        ASSERT_TRUE(q.exec(statement)) << statement.toStdString();
    }

    Snapshot snapshot()
    {
        Snapshot all;
        for (const TableDef& table : Schema::tables()) {
            QSqlQuery q(main->database().connection());
            EXPECT_TRUE(q.exec(QStringLiteral("SELECT * FROM ") + QString::fromUtf8(table.name)));
            QList<Row>& rows = all[table.name];
            while (q.next()) {
                Row row;
                for (const ColumnDef& c : table.columns)
                    if (!drawnByTheProgram(table.name, c.name))
                        row << c.name + "=" + shown(q.value(QString::fromUtf8(c.name)));
                rows << row;
            }
            std::sort(rows.begin(), rows.end());
        }
        return all;
    }

    // The rows that came and went between two snapshots.
    static Snapshot added(const Snapshot& before, const Snapshot& after)
    {
        Snapshot out;
        for (auto it = after.begin(); it != after.end(); ++it)
            if (const QList<Row> rows = minus(it.value(), before.value(it.key())); !rows.isEmpty())
                out[it.key()] = rows;
        return out;
    }

    // One race text from the timer unit, processed once its log entry shows.
    void receive(const QByteArray& text)
    {
        // Written from a thread of its own: a long text fills the line, and
        // only the event loop, kept running here, empties it. The loop waits
        // for events rather than polling, so that a megabyte read in short
        // pieces takes no longer than the pieces take.
        const int logged = main->comsMemo->document()->characterCount();
        bool sent = false;
        std::thread unit([&] { sent = unitA->send(text); });
        QDeadlineTimer deadline(60000);
        QTimer wake;
        wake.start(20);
        while (main->comsMemo->document()->characterCount() == logged && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        unit.join();
        ASSERT_TRUE(sent);
        ASSERT_FALSE(deadline.hasExpired()) << "the text was never processed";
    }

    // A track data file imported through the main window's button.
    void import(const QByteArray& bytes)
    {
        const QString path = dir.filePath(QStringLiteral("meet.csv"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        ui.confirmAnswers << true;
        ui.openAnswers << path;
        main->btnImport->click();
    }

    // What the page's grid shows after a search typed into the search box.
    QList<QByteArray> search(int page, const QString& text, const char* field)
    {
        main->PageControl->setCurrentIndex(page);
        main->edtSearch->setText(text);
        main->btnSearch->click();
        DataSet& table = main->tableOfPage(page);
        QList<QByteArray> found;
        for (int row = 0; row < table.RecordCount(); ++row)
            found << table.value(row, table.fieldIndex(field)).toString().toUtf8();
        std::sort(found.begin(), found.end());
        return found;
    }
};

Row raceRow(const QByteArray& number, const QByteArray& event, const QByteArray& hf, const QByteArray& mode = "LANE")
{
    return {"number=" + number, "event=" + event, "completed=0", "age=12", "gender=F", "heat=1", "hf=" + shown(hf),
            "mode=" + mode};
}

Row resultRow(const QByteArray& place, const QByteArray& value, const QByteArray& lane)
{
    return {"place=" + place, "value=" + value, "lane=" + lane, "athlete_number=<null>"};
}

} // namespace

TEST_F(HostileInput, RaceTextsAreStoredAsSentOrRefusedSayingWhatAndWhere)
{
    struct Case {
        QByteArray text;
        QList<Row> races;   // the rows it makes, in full
        QList<Row> results;
        QString refusal;    // a piece of the box's message; empty: no box
    };
    const QByteArray injection = "'; DROP TABLE races; --";
    const QByteArray controls = QByteArray("a\x01\x02\x1b[31m\x7f\x0b\x0c", 10) + "b";
    const QList<Case> cases = {
        {raceLine("7", "\" OR 1=1", injection, "'%,12.34,\"_,"),
         {raceRow("7", "\" OR 1=1", injection)}, {resultRow("'%", "12.34", "\"_")}},
        {raceLine("8", "[*]", "%_[*", "1,12.34,B1,", "' OR ''='"), {raceRow("8", "[*]", "%_[*", "' OR ''='")},
         {resultRow("1", "12.34", "B1")}},
        {raceLine("9", "100M", controls), {raceRow("9", "100M", controls)}, {resultRow("1", "12.34", "B1")}},
        // Not UTF-8: read as Windows-1252.
        {raceLine("10", "M\xFC\x80", "Gr\xFC\xDF"), {raceRow("10", "Mü€", "Grüß")}, {resultRow("1", "12.34", "B1")}},
        {raceLine("11", "100M", oneMegabyte('x')), {raceRow("11", "100M", oneMegabyte('x'))},
         {resultRow("1", "12.34", "B1")}},
        {raceLine("2147483647", "100M", ""), {raceRow("2147483647", "100M", "")}, {resultRow("1", "12.34", "B1")}},
        {raceLine("-2147483648", "100M", ""), {raceRow("-2147483648", "100M", "")}, {resultRow("1", "12.34", "B1")}},
        {raceLine("2147483648", "100M", ""), {}, {}, QStringLiteral("2147483648")},
        {raceLine("4294967296", "100M", ""), {}, {}, QStringLiteral("4294967296")},
        {raceLine("99999999999999999999999999", "100M", ""), {}, {}, QStringLiteral("99999999999999999999999999")},
        {raceLine("12", "100M", QByteArray("a\0b", 3)), {}, {}, QStringLiteral("NUL byte (code 0) at line 1, column 35 (field 7)")},
        {raceLine("13", "12345678901", ""), {}, {}, QStringLiteral("races.event")},
        // A place that fails leaves the race and the places before it.
        {raceLine("15", "100M", "", "1,12.34,B1,1234,12.56,B2,"), {raceRow("15", "100M", "")},
         {resultRow("1", "12.34", "B1")}, QStringLiteral("result.place")},
        {raceLine("16", "100M", "", "1," + QByteArray(65536, '9') + ",B1,"), {raceRow("16", "100M", "")}, {},
         QStringLiteral("floating point")},
    };
    sql("INSERT INTO races (race_id_pk, number, event, completed, age, gender, hf, mode) "
        "VALUES (1, 1, '100M', 0, 12, 'F', 'x', 'LANE')");
    sql("INSERT INTO result (race_id_pk, place, value, lane) VALUES (1, '1', 12.5, 'B1')");
    sql("INSERT INTO event (event, tg_event) VALUES ('100M', 'EV1')");

    for (const Case& c : cases) {
        SCOPED_TRACE(shown(c.text).toStdString());
        const Snapshot before = snapshot();
        ui.errors.clear();
        ASSERT_NO_FATAL_FAILURE(receive(c.text));
        Snapshot expected;
        if (!c.races.isEmpty())
            expected[QByteArrayLiteral("races")] = c.races;
        if (!c.results.isEmpty())
            expected[QByteArrayLiteral("result")] = c.results;
        const Snapshot after = snapshot();
        EXPECT_EQ(added(before, after), expected);
        EXPECT_EQ(added(after, before), Snapshot()) << "rows went";
        if (c.refusal.isEmpty()) {
            EXPECT_EQ(ui.errors, QStringList());
        } else {
            ASSERT_EQ(ui.errors.size(), 1);
            EXPECT_TRUE(ui.errors[0].startsWith(QStringLiteral("Failed to Read race data correctly\n")));
            EXPECT_TRUE(ui.errors[0].contains(c.refusal)) << ui.errors[0].left(300).toStdString();
            EXPECT_LT(ui.errors[0].size(), 500) << "a box the official can read";
        }
    }
}
