#include "store/DateTime.h"

#include <cmath>

namespace {
const QDate epoch(1899, 12, 30);
constexpr double msPerDay = 86400000.0;
} // namespace

namespace DayCount {

double fromDateTime(const QDateTime& wallClock)
{
    return fromDateTime(wallClock.date(), wallClock.time());
}

double fromDateTime(QDate date, QTime time)
{
    const double days = double(epoch.daysTo(date));
    const double fraction = double(time.msecsSinceStartOfDay()) / msPerDay;
    // Before the epoch the fraction counts away from zero, as the day count
    // format has it: -1.25 is 6:00 on 1899-12-29.
    return days >= 0 ? days + fraction : days - fraction;
}

QDateTime toDateTime(double days)
{
    // Far past any calendar (a number typed into a search): no date-time,
    // rather than a day number the conversion below cannot hold.
    if (!std::isfinite(days) || std::fabs(days) > 1e7)
        return QDateTime();
    const double whole = std::trunc(days);
    const double fraction = std::fabs(days - whole);
    qint64 ms = qint64(std::llround(fraction * msPerDay));
    qint64 dayNumber = qint64(whole);
    if (ms >= qint64(msPerDay)) {
        ms -= qint64(msPerDay);
        dayNumber += days >= 0 ? 1 : -1;
    }
    const QDate date = epoch.addDays(dayNumber);
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(ms));
    const QDateTime local(date, time);
    if (local.isValid() && local.date() == date && local.time() == time)
        return local;
    // The hour skipped when the clocks go forward shows on no local clock:
    // the reading is kept zone-free rather than moved or lost.
    return QDateTime(date, time, Qt::UTC);
}

} // namespace DayCount
