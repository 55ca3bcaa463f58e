#include "results-board/Meet.h"

namespace {

constexpr double noTime = 99999;

} // namespace

bool BoardPlace::hasTime() const
{
    return value > 0 && value < noTime;
}

QString BoardRace::group() const
{
    QString text = QStringLiteral("U%1").arg(age);
    if (!gender.isEmpty())
        text += QLatin1Char(' ') + gender;
    return text;
}

const BoardRace* Meet::race(int key) const
{
    for (const BoardRace& r : races)
        if (r.key == key)
            return &r;
    return nullptr;
}

const BoardRace* Meet::latestCompleted() const
{
    for (const BoardRace& r : races)
        if (r.completed)
            return &r;
    return nullptr;
}

void markPlace(BoardPlace& place, double personalBest, double record)
{
    place.record = false;
    place.personalBest = false;
    if (place.athleteNumber < 1)
        return;
    if (place.value <= record)
        place.record = true;
    else if (place.value <= personalBest)
        place.personalBest = true;
}
