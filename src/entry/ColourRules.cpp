#include "entry/ColourRules.h"

#include "store/Result.h"

namespace ColourRules {

namespace {

// The timer unit writes 99999 for a place that has no time; an empty or 0
// value is a place that was never timed. Neither has beaten anyone, and a
// missing record reads as 0, so without this check an untimed place would
// equal it.
bool isTime(double value)
{
    return value > 0 && value < RESULT::noTime;
}

} // namespace

QColor red()
{
    return QColor(255, 0, 0);
}

QColor yellow()
{
    return QColor(255, 255, 0);
}

QColor lightGreen()
{
    return QColor(144, 238, 144);
}

QColor lime()
{
    return QColor(0, 255, 0);
}

QColor pink()
{
    return QColor(255, 182, 193);
}

QColor lightBlue()
{
    return QColor(173, 216, 230);
}

QColor orange()
{
    return QColor(255, 165, 0);
}

std::optional<QColor> completedColour(std::optional<bool> completed)
{
    if (completed.value_or(false))
        return lime();
    return std::nullopt;
}

std::optional<QColor> genderColour(const QByteArray& gender)
{
    return gender == "F" ? pink() : lightBlue();
}

std::optional<QColor> performanceColour(std::optional<qint32> athleteNumber, const QByteArray& columnField,
                                        std::optional<double> value, std::optional<double> dpb,
                                        std::optional<double> grecord)
{
    if (athleteNumber.value_or(0) < 1)
        return std::nullopt;
    // Field names match without regard to case throughout the system.
    if (columnField.compare("athlete_number", Qt::CaseInsensitive) == 0)
        return std::nullopt;
    const double v = value.value_or(0);
    if (!isTime(v))
        return lightGreen();
    if (v <= grecord.value_or(0))
        return red();
    if (v <= dpb.value_or(0))
        return yellow();
    return lightGreen();
}

} // namespace ColourRules
