#include "timer-sim/RaceFile.h"

#include <algorithm>

namespace {

bool blankLine(const QByteArray& line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) <= 32; });
}

bool endsInLineEnd(const QByteArray& text)
{
    return text.endsWith('\n') || text.endsWith('\r');
}

} // namespace

QList<QByteArray> splitRaceFile(const QByteArray& contents)
{
    QList<QByteArray> races;
    QByteArray race;
    qsizetype start = 0;
    while (start < contents.size()) {
        // One line with its line end: CR LF, LF, or a CR on its own.
        qsizetype end = start;
        while (end < contents.size() && contents[end] != '\n' && contents[end] != '\r')
            ++end;
        if (end < contents.size()) {
            if (contents[end] == '\r' && end + 1 < contents.size() && contents[end + 1] == '\n')
                ++end;
            ++end;
        }
        const QByteArray line = contents.mid(start, end - start);
        start = end;
        if (blankLine(line)) {
            if (!race.isEmpty())
                races.append(race);
            race.clear();
        } else {
            race += line;
        }
    }
    if (!race.isEmpty())
        races.append(endsInLineEnd(race) ? race : race + "\r\n");
    return races;
}
