// The framing of race texts and the layout rules it stands on, alone: no
// port, no window, no timer. Times are plain numbers, so the quiet interval
// is a fake clock: a row says when each chunk came, when the quiet time is
// over, and what is handed out at each step.

#include "SampleRaces.h"
#include "link/RaceFraming.h"
#include "store/Miscl.h"
#include "store/RaceText.h"
#include "timer-sim/RaceTexts.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

namespace {

constexpr qint64 quiet = 2000;
constexpr std::optional<qint64> none;

// Its first line feed stands after position 25, yet it is no single-line race.
const QByteArray longFirstLine = "U12G   100M   H03 Final, wind +1.2\r\n";

// One step of a row: a chunk received at a moment; the quiet time over
// (the owner's timer firing at the deadline); or the program closing.
// With what the step hands out, and the deadline after it.
struct Step {
    enum class Kind { Receive, QuietTime, Exit } kind;
    qint64 at = 0;
    QByteArray chunk;
    std::optional<qint64> deadline;
    QList<QByteArray> texts;
};

Step at(qint64 ms, QByteArray chunk, std::optional<qint64> deadline, QList<QByteArray> texts = {})
{
    return {Step::Kind::Receive, ms, std::move(chunk), deadline, std::move(texts)};
}
Step quietTime(QList<QByteArray> texts) { return {Step::Kind::QuietTime, 0, {}, none, std::move(texts)}; }
Step closing(QList<QByteArray> texts) { return {Step::Kind::Exit, 0, {}, none, std::move(texts)}; }

struct Row {
    const char* name;
    QList<Step> steps;
    QByteArray pending; // left at the end
};

QList<Row> receptionRows()
{
    QList<Row> rows;
    const QByteArray line = fortyCharacters + "\r\n";
    rows.append({"a single-line race in one chunk is complete at once", {at(0, line, none, {line})}, {}});
    rows.append({"a line in three chunks waits for its line end",
                 {at(0, fortyCharacters.left(15), none), at(10, fortyCharacters.mid(15), none), at(20, "\r\n", none, {line})},
                 {}});

    // Nothing waits for a quiet link after the line feed: a next race still
    // arriving is never cut by a wait left over from this one.
    const QByteArray eight = singleLineRace(8, 3);
    rows.append({"a carriage return waits for the quiet link; the line feed ends the race and the wait",
                 {at(0, fortyCharacters + '\r', quiet), at(10, "\n", none, {line}), at(20, eight.left(30), none),
                  at(30, eight.mid(30), none, {eight})},
                 {}});
    Row slow {"a race slower than the quiet interval after a line feed is not cut short",
              {at(0, fortyCharacters + '\r', quiet), at(10, "\n", none, {line})},
              {}};
    const QByteArray six = singleLineRace(8, 6);
    qint64 now = 10;
    for (qsizetype from = 0; from < six.size() - 2; from += 12)
        slow.steps.append(at(now += 300, six.mid(from, std::min<qsizetype>(12, six.size() - 2 - from)), none));
    EXPECT_GT(now, 10 + quiet + 200);
    slow.steps.append(at(now + 10, "\r\n", none, {six}));
    rows.append(slow);

    // Only a chunk with a line end moves the moment the text is complete.
    Row lineByLine {"each line end of a multi-line race moves the quiet time, a chunk without one does not", {}, {}};
    std::optional<qint64> deadline;
    for (qsizetype i = 0; i < raceLines.size(); ++i) {
        lineByLine.steps.append(at(100 * i, raceLines[i].chopped(2), deadline));
        deadline = 100 * i + 2 + quiet;
        lineByLine.steps.append(at(100 * i + 2, "\r\n", deadline));
    }
    lineByLine.steps.append(quietTime({shortFirst}));
    rows.append(lineByLine);

    rows.append({"a multi-line race over one and a half seconds is one text, two seconds after its last line",
                 {at(0, raceLines[0], 2000), at(500, raceLines[1], 2500), at(1000, raceLines[2], 3000),
                  at(1500, raceLines[3], 3500), at(3499, {}, 3500), quietTime({shortFirst})},
                 {}});
    rows.append({"a chunk at the end of the quiet time hands out the race that waited first",
                 {at(0, shortFirst, quiet), at(quiet, "U14B   200M\r\n", 2 * quiet, {shortFirst}),
                  at(quiet + 10, "RACE 013\r\n", 2 * quiet + 10), quietTime({"U14B   200M\r\nRACE 013\r\n"})},
                 {}});

    const QByteArray thirteen = "U14B   200M   H02\r\nRACE 013\r\n01  25.10    04\r\n";
    rows.append({"a last line without its line end is part of its race; the next race is one of its own",
                 {at(0, shortFirst.chopped(2), quiet), quietTime({shortFirst.chopped(2)}),
                  at(3000, thirteen, 3000 + quiet), quietTime({thirteen})},
                 {}});
    rows.append({"single-line races back to back are complete at once, a multi-line one after them at the quiet time",
                 {at(0, singleLineRace(31, 2) + singleLineRace(32, 3) + shortFirst, quiet,
                     {singleLineRace(31, 2), singleLineRace(32, 3)}),
                  quietTime({shortFirst})},
                 {}});
    const QByteArray restOfFourteen = "RACE 014\r\n01  12.34    L1\r\n02  12.56    L2\r\n";
    rows.append({"a multi-line race whose first line is longer than 25 characters waits for the quiet link",
                 {at(0, longFirstLine, quiet), at(10, restOfFourteen, 10 + quiet),
                  quietTime({longFirstLine + restOfFourteen})},
                 {}});
    rows.append({"multi-line races back to back: each complete once the next has begun, the last at the quiet time",
                 {at(0, shortFirst + longFirst + third, quiet, {shortFirst, longFirst}), quietTime({third})},
                 {}});
    return rows;
}

// The edges: what the quiet time and the program closing do with a line
// still arriving, and a line that never ends.
QList<Row> edgeRows()
{
    const QByteArray header = "U12G   100M\r\nRACE 009\r\n01  12.34    L1\r\n";
    const QByteArray begun = "10:35,01/01/00,10,LA";
    const QByteArray endless(RaceLayout::longestLine + 1, 'x');
    const QByteArray unended = "10:35,01/01/00,10,LANE,U12G,100M,,1,1,12.34,B1,";
    const QByteArray afterIt = "10:35,01/01/00,10,LANE,U12G,100M,,1,\r\n";
    return {
        {"a last place without its line end is part of its race at the quiet time",
         {at(10, header, 10 + quiet), at(20, "02  12.56    L2", 10 + quiet),
          quietTime({header + "02  12.56    L2"})},
         {}},
        {"a race number line without its line end too",
         {at(10, "U12G   100M\r\n", 10 + quiet), at(20, "RACE 009", 10 + quiet),
          quietTime({"U12G   100M\r\nRACE 009"})},
         {}},
        {"the next race begun before the quiet time waits for its line end",
         {at(10, header, 10 + quiet), at(20, begun, 10 + quiet), quietTime({header})},
         begun},
        {"too short to tell, it waits",
         {at(10, header, 10 + quiet), at(20, "02", 10 + quiet), quietTime({header})},
         "02"},
        {"on exit everything waiting is handed out",
         {at(10, header, 10 + quiet), at(20, begun, 10 + quiet), closing({header, begun})},
         {}},
        {"on exit a line without its line end too", {at(10, unended, none), closing({unended})}, {}},
        {"a line that never ends is handed out alone past its bound",
         {at(10, header, 10 + quiet), at(20, endless.left(40000), 10 + quiet),
          at(30, endless.mid(40000), none, {header, endless})},
         {}},
        {"and the rest of that line is dropped up to its line end",
         {at(10, endless, none, {endless}), at(20, "yyyy", none), at(30, "zz\r\n" + afterIt, none, {afterIt})},
         {}},
        {"up to its bound it waits", {at(10, endless.chopped(1), none)}, endless.chopped(1)},
    };
}

void check(const QList<Row>& rows)
{
    for (const Row& row : rows) {
        RaceFraming framing(quiet);
        for (qsizetype i = 0; i < row.steps.size(); ++i) {
            const Step& step = row.steps[i];
            QList<QByteArray> texts;
            switch (step.kind) {
            case Step::Kind::Receive:
                texts = framing.receive(step.chunk, step.at);
                break;
            case Step::Kind::QuietTime:
                // Only ever called when the owner's timer was armed.
                ASSERT_TRUE(framing.deadline()) << row.name << ", step " << i + 1;
                texts = framing.quietTimeOver();
                break;
            case Step::Kind::Exit:
                texts = framing.flush();
                break;
            }
            EXPECT_EQ(texts, step.texts) << row.name << ", step " << i + 1;
            EXPECT_EQ(framing.deadline(), step.deadline) << row.name << ", step " << i + 1;
        }
        EXPECT_EQ(framing.pending(), row.pending) << row.name;
    }
}

TEST(RaceFraming, WhenATextIsComplete)
{
    ASSERT_EQ(fortyCharacters.size(), 40);
    check(receptionRows());
}

TEST(RaceFraming, EdgesOfTheLine)
{
    check(edgeRows());
}

TEST(RaceLayout, WhatALineIs)
{
    struct Row {
        QByteArray line;
        bool singleLineRace;
        bool place;
    };
    const QList<Row> rows = {
        {fortyCharacters, true, false},
        {"00:00,01/01/00,9,LANE,U12G,100M,,1", true, false}, // the eight header fields, no places
        {"00:00,01/01/00,1O,LANE,U12G,100M,,1,1,12.34,B1,", true, false}, // garbled inside a field
        {"00:00,01/01/00,9,LANE,U12G,100M,1", false, false},                // seven fields
        {"10:35,01/01/00,10,LA", false, false},
        {"U12G   100M   H03 Final, wind +1.2", false, false},
        {"U12G   100M", false, false},
        {"RACE 012", false, false},
        {"01  12.34    L1", false, true},
        {" 1  12.34    04", false, true},
        {"    12.34    04", false, true},
        {"00  C.T.K.   00", false, true},
        {"C.T.K.", false, true},
        {"01  12.34    4", false, false}, // 14 characters end the places
        {"01 12.34     L1", false, false},
        {"1A  12.34    L1", false, false},
        {"12345678901234", false, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(RaceLayout::isSingleLineRace(row.line), row.singleLineRace) << row.line.constData();
        EXPECT_EQ(RaceLayout::isPlaceLine(row.line), row.place) << row.line.constData();
    }
}

TEST(RaceLayout, WhereTheNextRaceBegins)
{
    struct Row {
        const char* name;
        QByteArray race;
        QByteArray next; // none: the text is one race
    };
    const QByteArray seven = singleLineRace(7, 2);
    // A race as the timer unit prints it, with a C.T.K. line and a line that
    // ends the places.
    const QByteArray printed = "U12G   100M   H03 Final, wind +1.2\r\nRace No.   042\r\n01  12.34    04\r\n"
                               "02  12.56    07\r\n00  C.T.K.   00\r\nEnds 10:42:17.\r\n04  14.00    01\r\n";
    const QList<Row> rows = {
        {"a single-line race alone", seven, {}},
        {"a single-line race is its first line alone, whatever follows", seven, "01  12.34    L1\r\n"},
        {"single-line races back to back", seven, singleLineRace(8, 1)},
        {"a multi-line race alone", shortFirst, {}},
        {"a multi-line race with a C.T.K. line and a line after its places", printed, {}},
        {"a multi-line race, then a single-line one", shortFirst, seven},
        {"a short first line, then a long one", shortFirst, longFirst},
        {"a long first line, then a race number line of another form", longFirst, third},
        {"a race without places, then another", "U12G   100M\r\nRACE 012\r\n", "U14B   200M\r\nRACE 013\r\n"},
        {"lines ended by CR alone", "U12G   100M\rRACE 012\r01  12.34    L1\r", "U14B   200M\rRACE 013\r"},
        {"blank lines between races", seven + "  \r\n\r\n", shortFirst},
        {"the race number line is never a next race's first line",
         "U12G   100M\r\nRACE 012\r\nHeat 2 of 12\r\n01  12.34    L1\r\n", {}},
        {"a line before a place is no first line", shortFirst + "Wind +1.2\r\n02  12.56    02\r\n", {}},
        {"a line that begins with a digit is no first line", shortFirst + "10:42 end\r\nNo 13\r\n", {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(RaceLayout::nextRaceStart(row.race + row.next), row.next.isEmpty() ? -1 : row.race.size())
            << row.name;
}

// The framing over many seeds: the texts it hands out are the race texts
// sent, one each, in order.
TEST(RaceFramingFuzz, TextsComeOutAsTheyWereSent)
{
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::mt19937 random(seed);
        RaceFraming framing(2000);
        QList<QByteArray> sentTexts;
        QList<QByteArray> framed;
        qint64 now = 0;
        const auto expire = [&] {
            if (framing.deadline() && now >= *framing.deadline())
                framed += framing.quietTimeOver();
        };
        for (int i = 0; i < 100; ++i) {
            TimerUnitRace race;
            race.number = i % 999 + 1;
            race.places = int(random() % 12) + 1;
            race.ctkLine = random() % 2 == 0;
            const RaceForm form = random() % 2 ? RaceForm::SingleLine : RaceForm::MultiLine;
            const QByteArray text = random() % 20 == 0 ? garbledRaceText(race, form) : raceText(race, form);
            sentTexts << Miscl::trim(text);
            for (qsizetype at = 0; at < text.size();) {
                const qsizetype size = std::min<qsizetype>(qsizetype(random() % 64) + 1, text.size() - at);
                framed += framing.receive(text.mid(at, size), now);
                at += size;
                // Within a multi-line race the link is never quiet for the
                // quiet interval: a line holds at most 24 characters.
                now += form == RaceForm::MultiLine && at < text.size() ? random() % 80 : random() % 5000;
                expire();
            }
        }
        now += 5000;
        expire();
        QList<QByteArray> trimmed;
        for (const QByteArray& text : framed)
            trimmed << Miscl::trim(text);
        for (qsizetype i = 0; i < std::min(trimmed.size(), sentTexts.size()); ++i)
            ASSERT_EQ(trimmed[i], sentTexts[i]) << "seed " << seed << ", text " << i;
        ASSERT_EQ(trimmed.size(), sentTexts.size()) << "seed " << seed;
    }
}

} // namespace
