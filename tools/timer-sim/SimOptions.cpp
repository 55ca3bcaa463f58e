#include "timer-sim/SimOptions.h"

#include <QCommandLineParser>

namespace {

QCommandLineOption valueOption(const char* name, const char* description, const char* valueName,
                               const char* defaultValue = nullptr)
{
    QCommandLineOption option(QString::fromLatin1(name), QString::fromUtf8(description), QString::fromLatin1(valueName));
    if (defaultValue)
        option.setDefaultValue(QString::fromLatin1(defaultValue));
    return option;
}

QCommandLineOption flagOption(const char* name, const char* description)
{
    return QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(description));
}

struct SimParser {
    QCommandLineParser parser;

    SimParser()
    {
        parser.setApplicationDescription(QStringLiteral(
            "Timer unit simulator: sends race texts as a timer unit does, over a pseudo-terminal of its\n"
            "own (the default) or a serial device, so that the VEXO Barcode System can be tried without\n"
            "a timer unit. Map a COM port to the printed device in the [Devices] section of the\n"
            "settings file (VEXO_BARCODE.ini beside the program, or vexo-barcode.ini in\n"
            "~/.local/share/vexo-barcode when installed). Ctrl+C ends it."));
        parser.addOptions({
            flagOption("help", "Show this help."),
            valueOption("device", "Send to this serial device instead of a pseudo-terminal.", "path"),
            valueOption("link", "Keep a symbolic link at this path pointing at the pseudo-terminal, replaced at each "
                                "start, so that [Devices] can name one path for good (COM11=path).",
                        "path"),
            valueOption("baud", "Line rate in bits per second (default 57600, as the application).", "rate", "57600"),
            valueOption("file", "Send the race texts of this file (races separated by a blank line), as they are.",
                        "path"),
            valueOption("form", "Generated races: single (one comma-separated line, the default), multi (fixed "
                                "columns) or mixed (the two by turns).",
                        "form", "single"),
            valueOption("race-number", "Number of the first generated race (1 to 999, default 1), then one more per race.",
                        "N", "1"),
            valueOption("age-group", "Age group of the generated races (default U12G).", "group", "U12G"),
            valueOption("event", "The timer unit's event code of the generated races (default 100M).", "code", "100M"),
            valueOption("places", "Places per generated race (1 to 99, default 8).", "N", "8"),
            valueOption("no-time-places", "Send the last K places with the time 00.00.", "K", "0"),
            valueOption("heat", "Heat of the generated races (0 to 99, default 1).", "N", "1"),
            flagOption("no-ctk", "Leave the C.T.K. line out of multi-line races."),
            valueOption("time", "Race time as the timer unit prints it (default: the computer's clock).", "hh:mm"),
            valueOption("date", "Race date as the timer unit prints it (default: the computer's clock).",
                        "dd/mm/yy"),
            valueOption("races", "Generated races per pass (default 1).", "N", "1"),
            valueOption("garble", "Garble every Nth generated race, as a noisy line does, so that the application "
                                  "refuses it (default 0: none).",
                        "N", "0"),
            valueOption("repeat", "Send everything this many times (default 1); 0 repeats until stopped.", "N", "1"),
            valueOption("chunk", "Bytes per write (default 0: a race in one write).", "N", "0"),
            valueOption("chunk-delay", "Pause between the writes of one race (default 0).", "ms", "0"),
            valueOption("race-delay", "Pause between races (default 3000; the application ends a "
                                      "multi-line race after 2000 ms of quiet).", "ms", "3000"),
            flagOption("back-to-back", "Send all races of a pass in one write, as a timer unit resending its memory."),
            flagOption("wait-key", "Send a race (or a back-to-back pass) each time Enter is pressed."),
            flagOption("no-wait", "Send at once, without waiting for the application to open the pseudo-terminal."),
        });
    }

    QString text(const char* name) const { return parser.value(QString::fromLatin1(name)); }
    bool isSet(const char* name) const { return parser.isSet(QString::fromLatin1(name)); }

    int number(const char* name, int lowest, int highest) const
    {
        bool ok = false;
        const QString given = text(name);
        const int value = given.toInt(&ok);
        if (!ok || value < lowest || value > highest)
            throw UsageError(QStringLiteral("--%1: give a whole number from %2 to %3, not \"%4\"")
                                 .arg(QString::fromLatin1(name))
                                 .arg(lowest)
                                 .arg(highest)
                                 .arg(given));
        return value;
    }

    // A field of the race text: no comma and no line end, or it would cut
    // the text differently at the reading end.
    QByteArray field(const char* name, int longest) const
    {
        const QByteArray value = text(name).toUtf8();
        bool blanks = false;
        for (const char c : value)
            blanks = blanks || static_cast<unsigned char>(c) <= 32 || c == ',';
        if (value.isEmpty() || value.size() > longest || blanks)
            throw UsageError(QStringLiteral("--%1: give 1 to %2 characters without blanks or commas, not \"%3\"")
                                 .arg(QString::fromLatin1(name))
                                 .arg(longest)
                                 .arg(text(name)));
        return value;
    }
};

constexpr int longestDelayMs = 24 * 60 * 60 * 1000;

int checkedBaud(const QString& given)
{
    bool ok = false;
    const int baud = given.toInt(&ok);
    static const int rates[] = {110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
    for (const int rate : rates) {
        if (ok && baud == rate)
            return baud;
    }
    throw UsageError(QStringLiteral("--baud: give one of 110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, "
                                    "57600, 115200 or 230400, not \"%1\"")
                         .arg(given));
}

} // namespace

SimOptions parseSimOptions(const QStringList& arguments)
{
    SimParser p;
    if (!p.parser.parse(arguments))
        throw UsageError(p.parser.errorText());
    if (!p.parser.positionalArguments().isEmpty())
        throw UsageError(QStringLiteral("Unexpected argument \"%1\"").arg(p.parser.positionalArguments().first()));

    SimOptions options;
    options.help = p.isSet("help");
    if (options.help)
        return options;

    options.device = p.text("device").toUtf8();
    if (p.isSet("device") && options.device.isEmpty())
        throw UsageError(QStringLiteral("--device: give the path of a serial device, such as /dev/ttyUSB0"));
    options.link = p.text("link").toUtf8();
    if (p.isSet("link") && (options.link.isEmpty() || !options.device.isEmpty()))
        throw UsageError(QStringLiteral("--link: give a path for the link to the simulator's own pseudo-terminal "
                                        "(not with --device)"));
    options.baud = checkedBaud(p.text("baud"));

    options.file = p.text("file");
    if (p.isSet("file") && options.file.isEmpty())
        throw UsageError(QStringLiteral("--file: give the path of a file of race texts"));
    if (!options.file.isEmpty()) {
        for (const char* generated : {"form", "race-number", "age-group", "event", "places", "no-time-places",
                                      "heat", "no-ctk", "time", "date", "races", "garble"}) {
            if (p.isSet(generated))
                throw UsageError(QStringLiteral("--%1 describes generated races and cannot be used with --file")
                                     .arg(QString::fromLatin1(generated)));
        }
    }

    const QString form = p.text("form");
    if (form == QLatin1String("single"))
        options.form = RaceForm::SingleLine;
    else if (form == QLatin1String("multi"))
        options.form = RaceForm::MultiLine;
    else if (form == QLatin1String("mixed"))
        options.mixedForms = true;
    else
        throw UsageError(QStringLiteral("--form: give single, multi or mixed, not \"%1\"").arg(form));

    TimerUnitRace& race = options.race;
    race.number = p.number("race-number", 1, 999);
    // Seven characters each: the multi-line form has columns 1-7 for the age
    // group and 8-14 for the event code.
    race.ageGroup = p.field("age-group", 7);
    race.event = p.field("event", 7);
    race.places = p.number("places", 1, 99);
    race.untimedPlaces = p.number("no-time-places", 0, race.places);
    race.heat = p.number("heat", 0, 99);
    race.ctkLine = !p.isSet("no-ctk");
    options.stampTime = !p.isSet("time");
    options.stampDate = !p.isSet("date");
    if (p.isSet("time"))
        race.clockTime = p.field("time", 8);
    if (p.isSet("date"))
        race.clockDate = p.field("date", 8);

    options.races = p.number("races", 1, 100000);
    options.repeat = p.number("repeat", 0, 1000000);
    options.garble = p.number("garble", 0, 100000);
    options.chunk = p.number("chunk", 0, 1 << 20);
    options.chunkDelayMs = p.number("chunk-delay", 0, longestDelayMs);
    options.raceDelayMs = p.number("race-delay", 0, longestDelayMs);
    options.backToBack = p.isSet("back-to-back");
    options.waitKey = p.isSet("wait-key");
    options.waitForOpen = !p.isSet("no-wait");
    return options;
}

QString simHelpText()
{
    SimParser p;
    return p.parser.helpText()
        + QStringLiteral("\nExamples:\n"
                         "  timer-sim --races 5 --places 8\n"
                         "  timer-sim --form multi --race-number 40 --age-group U9B --event 200M --races 3\n"
                         "  timer-sim --file races.txt --chunk 16 --chunk-delay 20\n"
                         "  timer-sim --races 50 --back-to-back --device /dev/ttyUSB0 --baud 115200\n"
                         "  timer-sim --form mixed --races 20 --back-to-back --garble 5\n");
}
