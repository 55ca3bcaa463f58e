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
#include <atomic>
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

    // What an action did: exactly the expected rows added and none gone, and
    // either no box or one box under its caption, naming the refusal, short
    // enough for an official to read.
    void expectOutcome(const Snapshot& before, const Snapshot& expected, const QString& caption,
                       const QString& refusal)
    {
        const Snapshot after = snapshot();
        EXPECT_EQ(added(before, after), expected);
        EXPECT_EQ(added(after, before), Snapshot()) << "rows went";
        if (refusal.isEmpty()) {
            EXPECT_EQ(ui.errors, QStringList());
            return;
        }
        ASSERT_EQ(ui.errors.size(), 1);
        EXPECT_TRUE(ui.errors[0].startsWith(caption)) << ui.errors[0].left(300).toStdString();
        EXPECT_TRUE(ui.errors[0].contains(refusal)) << ui.errors[0].left(300).toStdString();
        EXPECT_LT(ui.errors[0].size(), 500) << "a box the official can read";
    }

    // One race text from the timer unit, processed once its log entry shows.
    void receive(const QByteArray& text)
    {
        // Written from a thread of its own: a long text fills the line, and
        // only the event loop, kept running here, empties it.
        const int logged = main->comsMemo->document()->characterCount();
        std::atomic<bool> sent {false};
        std::atomic<bool> written {false};
        std::thread unit([&] {
            sent = unitA->send(text);
            written = true;
        });
        // Until the whole text is written: a line refused for its length is
        // logged before its end has arrived.
        const bool processed = eventually(
            [&] { return main->comsMemo->document()->characterCount() != logged && written; }, 60000);
        unit.join();
        ASSERT_TRUE(sent);
        ASSERT_TRUE(processed) << "the text was never processed";
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
        {raceLine("8", "'[*]'", "%_[*", "1,12.34,B1,", "' OR ''='"), {raceRow("8", "'[*]'", "%_[*", "' OR ''='")},
         {resultRow("1", "12.34", "B1")}},
        {raceLine("9", "100M", controls), {raceRow("9", "100M", controls)}, {resultRow("1", "12.34", "B1")}},
        // Not UTF-8: read as Windows-1252.
        {raceLine("10", "M\xFC\x80", "Gr\xFC\xDF"), {raceRow("10", "Mü€", "Grüß")}, {resultRow("1", "12.34", "B1")}},
        // A line longer than any race line is refused once, not buffered for ever.
        {raceLine("11", "100M", oneMegabyte('x')), {}, {}, QStringLiteral("longer than any race line")},
        {raceLine("2147483647", "100M", ""), {raceRow("2147483647", "100M", "")}, {resultRow("1", "12.34", "B1")}},
        {raceLine("-2147483648", "100M", ""), {raceRow("-2147483648", "100M", "")}, {resultRow("1", "12.34", "B1")}},
        {raceLine("2147483648", "100M", ""), {}, {}, QStringLiteral("2147483648")},
        {raceLine("4294967296", "100M", ""), {}, {}, QStringLiteral("4294967296")},
        {raceLine("99999999999999999999999999", "100M", ""), {}, {}, QStringLiteral("99999999999999999999999999")},
        {raceLine("12", "100M", QByteArray("a\0b", 3)), {}, {}, QStringLiteral("NUL byte (code 0) at line 1, column 35 (field 7)")},
        // What the timer unit sends is stored whole, whatever the column widths.
        {raceLine("13", "12345678901", ""), {raceRow("13", "12345678901", "")}, {resultRow("1", "12.34", "B1")}},
        {raceLine("15", "100M", "", "1,12.34,B1,1234,12.56,B2,"), {raceRow("15", "100M", "")},
         {resultRow("1", "12.34", "B1"), resultRow("1234", "12.56", "B2")}},
        // A place that fails leaves the race and the places before it.
        {raceLine("16", "100M", "", "1," + QByteArray(60000, '9') + ",B1,"), {raceRow("16", "100M", "")}, {},
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
        // A race stored in part says what was stored; one refused whole, why.
        expectOutcome(before, expected,
                      c.races.isEmpty() ? QStringLiteral("Failed to Read race data correctly\n")
                                        : QStringLiteral("race ") + QString::fromUtf8(c.races[0][0].mid(7))
                              + QStringLiteral(" stored with "),
                      c.refusal);
    }
}

TEST_F(HostileInput, TrackDataLinesAreStoredAsWrittenOrRefusedByLine)
{
    struct Case {
        QByteArray line;          // line 1 of the file, between two good athletes
        QList<Row> athletes;      // what it makes, beside the two good ones
        QList<Row> pbs;
        QList<Row> events;
        QString refusal;          // a piece of the box after the line number; empty: no box
    };
    const auto athlete = [](const QByteArray& number, const QByteArray& first, const QByteArray& surname,
                            const QByteArray& team = "Blue", const QByteArray& gender = "F") {
        return Row{"number=" + number, "firstname=" + first, "surname=" + surname, "age=12", "team=" + team,
                   "gender=" + gender};
    };
    const QList<Case> cases = {
        {"A,101,O'Brien,'; DROP TABLE,12,\" OR 1=1,_", {athlete("101", "O'Brien", "'; DROP TABLE", "\" OR 1=1", "_")}},
        {"A,102,%_[*],'',12,--,'", {athlete("102", "%_[*]", "''", "--", "'")}},
        {"E,'; DROP--", {}, {}, {{"event='; DROP--", "tg_event=<null>"}}},
        {"A,103,A\x01\x1b[m\x7f" "z,Lee\x0b\x0c" "x,12,Blue,F", {athlete("103", "A\x01\x1b[m\x7f" "z", "Lee\x0b\x0c" "x")}},
        // Not UTF-8: the file is read as Windows-1252.
        {"A,104,J\xF6rg,M\xFCller \x80,12,Blue,F", {athlete("104", "Jörg", "Müller €")}},
        {"A,2147483647,Max,Int,12,Blue,F", {athlete("2147483647", "Max", "Int")}},
        {"A,-2147483648,Min,Int,12,Blue,F", {athlete("-2147483648", "Min", "Int")}},
        {"P,2147483647,100M,1e308", {}, {{"athlete_number=2147483647", "event=100M", "value=1e+308"}}},
        {"A,2147483648,Ann,Lee,12,Blue,F", {}, {}, {}, QStringLiteral("''2147483648'' is not a valid integer value")},
        {"A,105,Ann,Lee,4294967296,Blue,F", {}, {}, {}, QStringLiteral("''4294967296'' is not a valid integer value")},
        {"R,F,100M,99999999999999999999,12.5,1", {}, {}, {}, QStringLiteral("''99999999999999999999''")},
        {"P,106,100M,1e309", {}, {}, {}, QStringLiteral("'1e309' is not a valid floating point value")},
        {QByteArray("A,107,Ann,Le\0e,12,Blue,F", 24), {}, {}, {}, QStringLiteral("surname holds a NUL byte")},
        {QByteArray("P,108,10\0M,12.5", 15), {}, {}, {}, QStringLiteral("event holds a NUL byte")},
        {"A,109,Ann," + oneMegabyte('s') + ",12,Blue,F", {}, {}, {}, QStringLiteral("athletes.surname")},
        {"A,110,Ann,ABCDEFGHIJKLMNOPQRSTU,12,Blue,F", {}, {}, {}, QStringLiteral("athletes.surname")},
        {"E,ELEVENCHARS", {}, {}, {}, QStringLiteral("event.event")},
        {QByteArray("E,10\0M", 6), {}, {}, {}, QStringLiteral("event holds a NUL byte")},
    };
    sql("INSERT INTO event (event, tg_event) VALUES ('100M', 'EV1')");

    for (const Case& c : cases) {
        SCOPED_TRACE(shown(c.line).toStdString());
        // What an import keeps: the events; the other five tables it empties.
        Snapshot before = snapshot();
        for (const char* emptied : {"athletes", "races", "result", "record", "pb"})
            before[emptied].clear();
        ui.errors.clear();
        ASSERT_NO_FATAL_FAILURE(import("A,1,Ann,Lee,12,Blue,F\r\n" + c.line + "\r\nA,3,Cy,Fox,12,Blue,F\r\n"));

        Snapshot expected;
        QList<Row>& athletes = expected[QByteArrayLiteral("athletes")];
        athletes << athlete("1", "Ann", "Lee") << c.athletes;
        if (c.refusal.isEmpty())
            athletes << athlete("3", "Cy", "Fox");
        std::sort(athletes.begin(), athletes.end());
        if (!c.pbs.isEmpty())
            expected[QByteArrayLiteral("pb")] = c.pbs;
        if (!c.events.isEmpty())
            expected[QByteArrayLiteral("event")] = c.events;
        expectOutcome(before, expected, QStringLiteral("Failed to Save data to Database, error on line: 1\n"),
                      c.refusal);
    }
}

TEST_F(HostileInput, TrackDataFilesNotInTheEncodingTheirMarkNamesAreReadAsWindows1252OrRefused)
{
    // After a UTF-8 mark, bytes that are not UTF-8 are Windows-1252 as well.
    ASSERT_NO_FATAL_FAILURE(import("\xEF\xBB\xBF" "A,1,J\xF6rg,M\xFCller,12,Blue,F\r\n"));
    EXPECT_EQ(ui.errors, QStringList());
    EXPECT_EQ(snapshot()[QByteArrayLiteral("athletes")],
              QList<Row>({{"number=1", "firstname=Jörg", "surname=Müller", "age=12", "team=Blue", "gender=F"}}));

    // A file marked as UTF-16 that is not stops where it goes wrong.
    const QByteArray utf16 = QByteArray("\xFF\xFE") + QByteArray::fromRawData(
        reinterpret_cast<const char*>(u"A,2,Ann,Lee,12,Blue,F\r\nA,3,Cy,Fox,12,Blue,F\r\n"), 2 * 45);
    for (const QByteArray& damage : {QByteArray("A\x00\x00\xD8,\x00", 6), QByteArray("A\x00,", 3)}) {
        ui.errors.clear();
        ASSERT_NO_FATAL_FAILURE(import(utf16 + damage));
        ASSERT_EQ(ui.errors.size(), 1);
        EXPECT_TRUE(ui.errors[0].startsWith(QStringLiteral("Failed to Save data to Database, error on line: 2\n")))
            << ui.errors[0].toStdString();
        EXPECT_EQ(snapshot()[QByteArrayLiteral("athletes")].size(), 1) << "nothing was imported";
    }
}

TEST_F(HostileInput, SearchTextsFindWhatWasTypedOrAreRefusedSayingWhere)
{
    int key = 10;
    for (const char* event : {"'", "%", "_", "[", "\" OR 1=1", "100M", "a%"})
        sql(QStringLiteral("INSERT INTO races (race_id_pk, number, event, completed) VALUES (%1, %1, '%2', 0)")
                .arg(++key)
                .arg(QString::fromUtf8(QByteArray(event).replace("'", "''"))));
    sql("INSERT INTO races (race_id_pk, number, event, completed) VALUES (1, 2147483647, 'MAX', 0)");
    sql("INSERT INTO races (race_id_pk, number, event, completed) VALUES (2, -2147483648, 'MIN', 0)");
    for (const char* surname : {"O'Brien", "%", "_x", "[a]", "*star", "Smith"})
        sql(QStringLiteral("INSERT INTO athletes (number, surname) VALUES (%1, '%2')")
                .arg(++key)
                .arg(QString::fromUtf8(QByteArray(surname).replace("'", "''"))));
    sql("INSERT INTO pb (athlete_number, event, value) VALUES (2147483647, '100M', 12.5)");
    main->RaceTable().Refresh();
    main->AthleteTable().Refresh();
    main->PBTable().Refresh();
    const Snapshot before = snapshot();

    struct Case {
        int page;
        QString text;
        const char* field;
        QList<QByteArray> found;
    };
    const QList<Case> found = {
        {0, QStringLiteral("'"), "event", {"'"}},
        {0, QStringLiteral("%"), "event", {"%"}},
        {0, QStringLiteral("_"), "event", {"_"}},
        {0, QStringLiteral("["), "event", {"["}},
        {0, QStringLiteral("'; DROP TABLE races; --"), "event", {}},
        {0, QString(QStringLiteral("a") + QChar(0) + QStringLiteral("%")), "event", {}},
        {0, QString(1 << 20, QLatin1Char('x')), "event", {}},
        {0, QStringLiteral("2147483647"), "number", {"2147483647"}},
        {0, QStringLiteral("2147483648"), "number", {}},
        {0, QStringLiteral("-2147483648"), "number", {}},
        {0, QStringLiteral("4294967296"), "number", {}},
        {0, QStringLiteral("99999999999999999999999999"), "number", {}},
        {0, QStringLiteral("number = -2147483648"), "number", {"-2147483648"}},
        {0, QStringLiteral("number = 2147483648"), "number", {}},
        {0, QStringLiteral("number < 99999999999999999999999999"), "event", {"\" OR 1=1", "%", "'", "100M", "MAX", "MIN", "[", "_", "a%"}},
        {0, QStringLiteral("event = '%*'"), "event", {"%"}},
        {1, QStringLiteral("o'b"), "surname", {"O'Brien"}},
        {1, QStringLiteral("%"), "surname", {"%"}},
        {1, QStringLiteral("_"), "surname", {"_x"}},
        {1, QStringLiteral("["), "surname", {"[a]"}},
        {1, QStringLiteral("*"), "surname", {"*star"}},
        {4, QStringLiteral("2147483647"), "athlete_number", {"2147483647"}},
        {4, QStringLiteral("4294967296"), "athlete_number", {}},
        {3, QStringLiteral("'; DROP TABLE event; --"), "event", {}},
    };
    for (const Case& c : found) {
        SCOPED_TRACE(c.text.left(60).toStdString());
        ui.errors.clear();
        EXPECT_EQ(search(c.page, c.text, c.field), c.found);
        EXPECT_EQ(ui.errors, QStringList());
        // The box holds what it can of a long text (the toolkit's limit),
        // and that is what the page keeps.
        EXPECT_TRUE(main->searchText[c.page] == main->edtSearch->text().toUtf8());
    }

    // A pattern that cannot be read is refused where it goes wrong, and the
    // page keeps the search it had.
    const QList<std::pair<QString, QString>> refused = {
        {QStringLiteral("\" OR 1=1"), QStringLiteral("single quotes")},
        {QStringLiteral("event = 'x' OR 1=1"), QStringLiteral("position 16")},
        {QStringLiteral("number = 1; DROP TABLE races"), QStringLiteral("position 11")},
        {QStringLiteral("[ = 1"), QStringLiteral("position 1")},
        {QStringLiteral("event = 'it's'"), QStringLiteral("written twice")},
    };
    search(0, QStringLiteral("100M"), "event");
    for (const auto& [text, where] : refused) {
        SCOPED_TRACE(text.toStdString());
        ui.errors.clear();
        EXPECT_EQ(search(0, text, "event"), QList<QByteArray>{"100M"});
        ASSERT_EQ(ui.errors.size(), 1);
        EXPECT_TRUE(ui.errors[0].contains(where)) << ui.errors[0].toStdString();
        EXPECT_EQ(main->searchText[0], QByteArray("100M"));
    }
    EXPECT_EQ(snapshot(), before);
}
