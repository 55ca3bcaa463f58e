#include "timer-sim/SimOptions.h"

#include <gtest/gtest.h>

namespace {

SimOptions parsed(QStringList arguments)
{
    arguments.prepend(QStringLiteral("timer-sim"));
    return parseSimOptions(arguments);
}

QString failure(QStringList arguments)
{
    try {
        parsed(std::move(arguments));
    } catch (const UsageError& e) {
        return e.message();
    }
    return {};
}

} // namespace

// The defaults that matter to the application at the other end.
TEST(SimOptions, DefaultsSuitTheApplication)
{
    const SimOptions options = parsed({});
    EXPECT_EQ(options.baud, 57600) << "the application's default rate";
    EXPECT_GT(options.raceDelayMs, 2000) << "multi-line races need the quiet between them";
    EXPECT_TRUE(options.waitForOpen);
    EXPECT_TRUE(options.stampTime && options.stampDate);
}

TEST(SimOptions, EveryOptionTakesItsValue)
{
    const SimOptions options =
        parsed({"--device", "/dev/ttyUSB0", "--baud=115200", "--form", "multi", "--race-number", "999", "--age-group",
                "U9B", "--event", "200M", "--places", "99", "--no-time-places", "99", "--heat", "0", "--no-ctk",
                "--time", "10:35", "--races", "3", "--repeat", "0", "--chunk", "7", "--chunk-delay", "20",
                "--race-delay", "0", "--back-to-back", "--wait-key", "--no-wait"});
    EXPECT_EQ(options.device, "/dev/ttyUSB0");
    EXPECT_EQ(options.baud, 115200);
    EXPECT_EQ(options.form, RaceForm::MultiLine);
    EXPECT_EQ(options.race.number, 999);
    EXPECT_EQ(options.race.ageGroup, "U9B");
    EXPECT_EQ(options.race.event, "200M");
    EXPECT_EQ(options.race.places, 99);
    EXPECT_EQ(options.race.untimedPlaces, 99);
    EXPECT_EQ(options.race.heat, 0);
    EXPECT_FALSE(options.race.ctkLine);
    EXPECT_EQ(options.race.clockTime, "10:35");
    EXPECT_FALSE(options.stampTime);
    EXPECT_TRUE(options.stampDate);
    EXPECT_EQ(options.races, 3);
    EXPECT_EQ(options.repeat, 0);
    EXPECT_EQ(options.chunk, 7);
    EXPECT_EQ(options.chunkDelayMs, 20);
    EXPECT_EQ(options.raceDelayMs, 0);
    EXPECT_TRUE(options.backToBack);
    EXPECT_TRUE(options.waitKey);
    EXPECT_FALSE(options.waitForOpen);

    EXPECT_EQ(parsed({"--file", "races.txt", "--repeat", "2"}).file, QStringLiteral("races.txt"));
    const SimOptions mixed = parsed({"--form", "mixed", "--garble", "20"});
    EXPECT_TRUE(mixed.mixedForms);
    EXPECT_EQ(mixed.garble, 20);
    EXPECT_EQ(parsed({}).garble, 0);
    EXPECT_TRUE(parsed({"--help", "--places", "0"}).help);
}

TEST(SimOptions, RefusedWithTheOptionNamed)
{
    const struct {
        QStringList arguments;
        QString message;
    } cases[] = {
        {{"--places", "0"}, "--places: give a whole number from 1 to 99, not \"0\""},
        {{"--places", "100"}, "--places: give a whole number from 1 to 99, not \"100\""},
        {{"--places", "3", "--no-time-places", "4"}, "--no-time-places: give a whole number from 0 to 3, not \"4\""},
        {{"--race-number", "1000"}, "--race-number: give a whole number from 1 to 999, not \"1000\""},
        {{"--races", "two"}, "--races: give a whole number from 1 to 100000, not \"two\""},
        {{"--chunk-delay", "-1"}, "--chunk-delay: give a whole number from 0 to 86400000, not \"-1\""},
        {{"--form", "double"}, "--form: give single, multi or mixed, not \"double\""},
        {{"--file", "races.txt", "--garble", "3"}, "--garble describes generated races and cannot be used with --file"},
        {{"--age-group", "U12,G"}, "--age-group: give 1 to 7 characters without blanks or commas, not \"U12,G\""},
        {{"--event", "100 M"}, "--event: give 1 to 7 characters without blanks or commas, not \"100 M\""},
        {{"--event", "12345678"}, "--event: give 1 to 7 characters without blanks or commas, not \"12345678\""},
        {{"--baud", "14400"}, "--baud: give one of 110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, "
                              "115200 or 230400, not \"14400\""},
        {{"--file", "races.txt", "--races", "3"}, "--races describes generated races and cannot be used with --file"},
        {{"--file", ""}, "--file: give the path of a file of race texts"},
        {{"--device"}, "Missing value after '--device'."},
        {{"--fast"}, "Unknown option 'fast'."},
        {{"races.txt"}, "Unexpected argument \"races.txt\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(failure(c.arguments), c.message) << c.arguments.join(QLatin1Char(' ')).toStdString();
}
