#pragma once

#include <QDateTime>

// Date-times of the data store are day counts since 1899-12-30, the time of
// day as the fraction (12:00 on 1899-12-31 is 1.5). A day count is a wall
// clock reading, as the timer's computer showed it: it holds no time zone, so
// 01:30 on the night the clocks go forward, stored under another zone or
// typed in, is still 01:30 and still its own day.
namespace DayCount {

// The date and time the value shows, taken as they are.
double fromDateTime(const QDateTime& wallClock);
double fromDateTime(QDate date, QTime time);
// The wall clock reading: a local date-time, or a zone-free (UTC) one for a
// reading no local clock shows, so that it is never moved or refused.
QDateTime toDateTime(double days);

} // namespace DayCount
